#pragma once

#include <QWidget>

namespace app {

// The main window's client area: paints the window's background colour under the controls and
// reports its size changes to the window's size handler. GUI thread.
class ClientArea : public QWidget
{
    Q_OBJECT

public:
    explicit ClientArea(QWidget* parent = nullptr);

    static QColor backgroundColour();

Q_SIGNALS:
    void resized();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
};

} // namespace app
