#pragma once

#include <QDialog>

namespace app {

// The about box: the product picture with the product name and version, a second line, the
// support address and the product page, and an "Ok" button. Modal; GUI thread.
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

} // namespace app
