#pragma once

#include <QPoint>
#include <QRect>
#include <QWidget>
#include <optional>

namespace app {

// A thin strip between two panes that the mouse drags; it reports how far it has been dragged
// since the press.
class PaneHandle : public QWidget
{
    Q_OBJECT

public:
    PaneHandle(Qt::Orientation orientation, QWidget* parent);

Q_SIGNALS:
    void dragStarted();
    void dragged(int distance);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int along(const QPointF& point) const;

    Qt::Orientation m_orientation;
    std::optional<int> m_pressedAt;
};

// The two boundaries the user can drag: between the folder tree and the right side (the search
// line, the item list and the preview), and between the item list and the preview. The window's
// own layout places the controls as it always has; the dragged distances are applied on top of
// that, kept within limits that leave every pane usable, and kept across window resizes. Nothing
// is saved. GUI thread.
class Panes : public QObject
{
    Q_OBJECT

public:
    struct Controls
    {
        QWidget* tree = nullptr;
        QWidget* searchField = nullptr;
        QWidget* list = nullptr;
        QWidget* preview = nullptr;
    };
    // The smallest sizes a drag leaves.
    static constexpr int MinimumTreeWidth = 80;
    static constexpr int MinimumRightWidth = 200;
    static constexpr int MinimumSearchFieldWidth = 60;
    static constexpr int MinimumListHeight = 40;
    static constexpr int MinimumPreviewHeight = 60;

    Panes(QWidget* client, const Controls& controls);

    // The controls' rectangles as the layout gives them, without the dragged distances: the
    // controls are placed from these with the distances added, and the handles between them.
    void place(const QRect& tree, const QRect& searchField, const QRect& list, const QRect& preview);
    // Places again from the rectangles last given.
    void replace();

    PaneHandle* treeBoundary() const { return m_treeBoundary; }
    PaneHandle* previewBoundary() const { return m_previewBoundary; }
    // How far the boundaries are moved from the layout's places (x: tree, y: preview).
    QPoint offset() const { return m_offset; }

private:
    int clampedX(int x) const;
    int clampedY(int y) const;

    Controls m_controls;
    PaneHandle* m_treeBoundary;
    PaneHandle* m_previewBoundary;
    QRect m_tree, m_searchField, m_list, m_preview;
    QPoint m_offset;
    QPoint m_offsetAtPress;
};

} // namespace app
