#include "Panes.h"

#include <QMouseEvent>
#include <algorithm>

namespace app {

PaneHandle::PaneHandle(Qt::Orientation orientation, QWidget* parent)
    : QWidget(parent), m_orientation(orientation)
{
    setCursor(orientation == Qt::Horizontal ? Qt::SplitHCursor : Qt::SplitVCursor);
}

int PaneHandle::along(const QPointF& point) const
{
    return qRound(m_orientation == Qt::Horizontal ? point.x() : point.y());
}

void PaneHandle::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_pressedAt = along(event->globalPosition());
    Q_EMIT dragStarted();
    event->accept();
}

void PaneHandle::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_pressedAt || !(event->buttons() & Qt::LeftButton))
        return QWidget::mouseMoveEvent(event);
    Q_EMIT dragged(along(event->globalPosition()) - *m_pressedAt);
    event->accept();
}

void PaneHandle::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_pressedAt || event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    Q_EMIT dragged(along(event->globalPosition()) - *m_pressedAt);
    m_pressedAt.reset();
    event->accept();
}

Panes::Panes(QWidget* client, const Controls& controls)
    : QObject(client), m_controls(controls), m_treeBoundary(new PaneHandle(Qt::Horizontal, client)),
      m_previewBoundary(new PaneHandle(Qt::Vertical, client))
{
    m_treeBoundary->setObjectName(QStringLiteral("treeBoundary"));
    m_previewBoundary->setObjectName(QStringLiteral("previewBoundary"));
    for (PaneHandle* handle : {m_treeBoundary, m_previewBoundary}) {
        connect(handle, &PaneHandle::dragStarted, this, [this] { m_offsetAtPress = m_offset; });
    }
    connect(m_treeBoundary, &PaneHandle::dragged, this, [this](int distance) {
        m_offset.setX(m_offsetAtPress.x() + distance);
        replace();
    });
    connect(m_previewBoundary, &PaneHandle::dragged, this, [this](int distance) {
        m_offset.setY(m_offsetAtPress.y() + distance);
        replace();
    });
}

int Panes::clampedX(int x) const
{
    // The tree keeps its smallest width, and so do the right side and the search field.
    const int lowest = MinimumTreeWidth - m_tree.width();
    const int highest = std::min(m_list.width() - MinimumRightWidth, m_searchField.width() - MinimumSearchFieldWidth);
    return highest < lowest ? std::min(0, std::max(x, highest)) : std::clamp(x, lowest, highest);
}

int Panes::clampedY(int y) const
{
    const int lowest = MinimumListHeight - m_list.height();
    const int highest = m_preview.height() - MinimumPreviewHeight;
    return highest < lowest ? std::min(0, std::max(y, highest)) : std::clamp(y, lowest, highest);
}

void Panes::place(const QRect& tree, const QRect& searchField, const QRect& list, const QRect& preview)
{
    m_tree = tree;
    m_searchField = searchField;
    m_list = list;
    m_preview = preview;
    replace();
}

void Panes::replace()
{
    // The distances stay as dragged; where a smaller window leaves less room they are cut
    // for now, and come back when the window grows again.
    const int dx = clampedX(m_offset.x());
    const int dy = clampedY(m_offset.y());
    const QRect tree = m_tree.adjusted(0, 0, dx, 0);
    const QRect searchField = m_searchField.adjusted(dx, 0, 0, 0);
    const QRect list = m_list.adjusted(dx, 0, 0, dy);
    const QRect preview = m_preview.adjusted(dx, dy, 0, 0);
    m_controls.tree->setGeometry(tree);
    m_controls.searchField->setGeometry(searchField);
    m_controls.list->setGeometry(list);
    m_controls.preview->setGeometry(preview);
    // The handles fill the gaps between the panes, and are never narrower than 4 pixels.
    const int gapLeft = tree.right() + 1;
    const int gapWidth = std::max(4, list.left() - gapLeft);
    m_treeBoundary->setGeometry(list.left() - gapLeft >= 4 ? gapLeft : (gapLeft + list.left()) / 2 - 2,
                                tree.top(), gapWidth, tree.height());
    const int gapTop = list.bottom() + 1;
    const int gapHeight = std::max(4, preview.top() - gapTop);
    m_previewBoundary->setGeometry(list.left(), preview.top() - gapTop >= 4 ? gapTop : (gapTop + preview.top()) / 2 - 2,
                                   list.width(), gapHeight);
    m_treeBoundary->raise();
    m_previewBoundary->raise();
}

} // namespace app
