#include "ClientArea.h"

#include <QPaintEvent>
#include <QPainter>

namespace app {

ClientArea::ClientArea(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("clientArea"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QColor ClientArea::backgroundColour()
{
    return QColor(255, 193, 26);
}

void ClientArea::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), backgroundColour());
}

void ClientArea::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Q_EMIT resized();
}

} // namespace app
