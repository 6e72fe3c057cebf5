#pragma once

#include "LayoutEngine.h"

#include <QSizeGrip>

class QWidget;

namespace app {

// The layout engine's view of a widget: its direct children are the controls, known by their
// object names, which are their decimal control ids. The window rectangle is the widget's own
// rectangle in screen coordinates, so that menu and frame play no part in the changes. GUI
// thread.
class WidgetLayoutHost : public LayoutHost
{
public:
    static constexpr int SizeGripId = -1;

    explicit WidgetLayoutHost(QWidget* client);

    LayoutRect windowRect() const override;
    LayoutRect clientRect() const override;
    std::optional<LayoutRect> childRect(int controlId) const override;
    std::vector<int> childIds() const override;
    int createSizeGrip() override;
    bool isMaximized() const override;
    bool isSizeGripVisible() const override;
    void setSizeGripVisible(bool visible) override;
    void placeControls(const std::vector<LayoutPlacement>& placements) override;

    QWidget* control(int controlId) const;
    QSizeGrip* sizeGrip() const { return m_grip; }

private:
    QWidget* m_client;
    QSizeGrip* m_grip = nullptr;
};

} // namespace app
