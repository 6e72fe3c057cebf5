#include "WidgetLayoutHost.h"

#include <QSizeGrip>
#include <QStyle>
#include <QWidget>

namespace app {

namespace {

LayoutRect toLayoutRect(const QRect& r)
{
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

std::optional<int> idOf(const QObject* object)
{
    bool ok = false;
    const int id = object->objectName().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return id;
}

} // namespace

WidgetLayoutHost::WidgetLayoutHost(QWidget* client) : m_client(client) {}

LayoutRect WidgetLayoutHost::windowRect() const
{
    return toLayoutRect(QRect(m_client->mapToGlobal(QPoint(0, 0)), m_client->size()));
}

LayoutRect WidgetLayoutHost::clientRect() const
{
    return toLayoutRect(m_client->rect());
}

QWidget* WidgetLayoutHost::control(int controlId) const
{
    if (controlId == SizeGripId)
        return m_grip;
    for (QObject* child : m_client->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget && idOf(widget) == controlId)
            return widget;
    }
    return nullptr;
}

std::optional<LayoutRect> WidgetLayoutHost::childRect(int controlId) const
{
    if (QWidget* widget = control(controlId))
        return toLayoutRect(widget->geometry());
    return std::nullopt;
}

std::vector<int> WidgetLayoutHost::childIds() const
{
    std::vector<int> ids;
    for (QObject* child : m_client->children()) {
        if (!child->isWidgetType())
            continue;
        if (child == m_grip)
            ids.push_back(SizeGripId);
        else if (const auto id = idOf(child))
            ids.push_back(*id);
    }
    return ids;
}

int WidgetLayoutHost::createSizeGrip()
{
    if (!m_grip) {
        m_grip = new QSizeGrip(m_client);
        m_grip->setObjectName(QStringLiteral("sizeGrip"));
    }
    const int extent = m_client->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_client);
    const QRect client = m_client->rect();
    m_grip->setGeometry(client.right() + 1 - extent, client.bottom() + 1 - extent, extent, extent);
    m_grip->raise();
    m_grip->show();
    return SizeGripId;
}

bool WidgetLayoutHost::isMaximized() const
{
    return m_client->window()->isMaximized();
}

bool WidgetLayoutHost::isSizeGripVisible() const
{
    return m_grip && !m_grip->isHidden();
}

void WidgetLayoutHost::setSizeGripVisible(bool visible)
{
    if (m_grip)
        m_grip->setVisible(visible);
}

void WidgetLayoutHost::placeControls(const std::vector<LayoutPlacement>& placements)
{
    // One repaint for the whole batch.
    m_client->setUpdatesEnabled(false);
    for (const LayoutPlacement& p : placements) {
        if (QWidget* widget = control(p.controlId))
            widget->setGeometry(p.x, p.y, qMax(0, p.width), qMax(0, p.height));
    }
    m_client->setUpdatesEnabled(true);
}

} // namespace app
