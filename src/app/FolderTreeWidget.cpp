#include "FolderTreeWidget.h"

#include "catalog/Catalogs.h"
#include "views/FolderImage.h"
#include "views/FolderTreeModel.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <array>
#include <unordered_set>
#include <vector>

namespace app {

namespace {

constexpr int NodeRole = Qt::UserRole + 1;

Qt::CheckState checkStateOf(int stateImage)
{
    return stateImage == views::FolderTreeModel::CheckedStateImage ? Qt::Checked : Qt::Unchecked;
}

} // namespace

FolderTreeWidget::FolderTreeWidget(views::FolderTreeModel& model, const catalog::Catalogs& catalogs,
                                   QWidget* parent)
    : QTreeWidget(parent), m_model(model), m_catalogs(catalogs)
{
    for (int i = 0; i < views::FolderImage::Count; ++i)
        m_icons[static_cast<std::size_t>(i)] =
            QIcon(QStringLiteral(":/folders/") + views::FolderImage::name(i) + QStringLiteral(".png"));
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setIconSize(QSize(16, 16));
    setSelectionMode(QAbstractItemView::SingleSelection);
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    // Expansion by the user is kept in the model, so that a later insertion below a collapsed
    // node expands it again as the model says.
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        if (!m_syncing)
            m_model.setExpanded(nodeOf(item), true);
    });
    connect(this, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) {
        if (!m_syncing)
            m_model.setExpanded(nodeOf(item), false);
    });
}

QIcon FolderTreeWidget::folderIcon(int imageIndex) const
{
    if (imageIndex < 0 || imageIndex >= views::FolderImage::Count)
        imageIndex = views::FolderImage::ClosedFolder;
    return m_icons[static_cast<std::size_t>(imageIndex)];
}

catalog::NodeId FolderTreeWidget::nodeOf(const QTreeWidgetItem* item) const
{
    if (!item)
        return catalog::NoNode;
    return static_cast<catalog::NodeId>(item->data(0, NodeRole).toUInt());
}

QTreeWidgetItem* FolderTreeWidget::itemOf(catalog::NodeId node) const
{
    const auto it = m_items.find(node);
    return it == m_items.end() ? nullptr : it->second;
}

bool FolderTreeWidget::isFolderNode(catalog::NodeId node) const
{
    return m_catalogs.IsCatalogFolderNode(node);
}

void FolderTreeWidget::sync()
{
    const QList<views::FolderTreeModel::Change> changes = m_model.changesSince(m_sequence);
    if (changes.isEmpty())
        return;
    m_syncing = true;
    setUpdatesEnabled(false);
    using Kind = views::FolderTreeModel::Change::Kind;
    // A node is refreshed from the model's current state, so one refresh per node covers every
    // change of it in this batch (a contacts folder's count changes with every contact).
    std::vector<catalog::NodeId> stale;
    std::unordered_set<quint32> staleSet;
    for (const auto& change : changes) {
        switch (change.kind) {
        case Kind::Cleared:
            clear();
            m_items.clear();
            stale.clear();
            staleSet.clear();
            break;
        case Kind::Inserted:
            insertNode(change.node);
            break;
        default:
            if (staleSet.insert(catalog::toInt(change.node)).second)
                stale.push_back(change.node);
            break;
        }
        m_sequence = change.sequence;
    }
    for (const catalog::NodeId node : stale)
        refreshNode(node);
    setUpdatesEnabled(true);
    m_syncing = false;
}

void FolderTreeWidget::insertNode(catalog::NodeId node)
{
    if (m_items.count(node) != 0)
        return;
    const auto state = m_model.node(node);
    if (!state)
        return;
    QTreeWidgetItem* item = nullptr;
    if (state->parent == catalog::NoNode) {
        item = new QTreeWidgetItem(this);
    } else {
        QTreeWidgetItem* parentItem = itemOf(state->parent);
        if (!parentItem)
            return;
        item = new QTreeWidgetItem(parentItem);
    }
    item->setData(0, NodeRole, catalog::toInt(node));
    // The check box is drawn from the check state but never toggled by the view itself: the
    // model's rules decide what a click does.
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    m_items.emplace(node, item);
    refreshNode(node);
}

void FolderTreeWidget::refreshNode(catalog::NodeId node)
{
    QTreeWidgetItem* item = itemOf(node);
    const auto state = m_model.node(node);
    if (!item || !state)
        return;
    item->setText(0, state->label);
    item->setToolTip(0, state->toolTip);
    item->setIcon(0, folderIcon(state->image));
    if (state->stateImage == views::FolderTreeModel::NoStateImage)
        item->setData(0, Qt::CheckStateRole, QVariant());
    else
        item->setCheckState(0, checkStateOf(state->stateImage));
    QFont font = item->font(0);
    if (font.bold() != state->bold) {
        font.setBold(state->bold);
        item->setFont(0, font);
    }
    if (item->isExpanded() != state->expanded)
        item->setExpanded(state->expanded);
}

bool FolderTreeWidget::isOnCheckBox(QTreeWidgetItem* item, const QPoint& pos) const
{
    if (!item || !item->data(0, Qt::CheckStateRole).isValid())
        return false;
    const QModelIndex index = indexFromItem(item);
    QStyleOptionViewItem option;
    const_cast<FolderTreeWidget*>(this)->initViewItemOption(&option);
    option.rect = visualRect(index);
    option.features |= QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay |
                       QStyleOptionViewItem::HasDecoration;
    option.checkState = item->checkState(0);
    option.text = item->text(0);
    option.icon = item->icon(0);
    option.decorationSize = iconSize();
    const QRect box = style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
    return box.contains(pos);
}

void FolderTreeWidget::toggleCheck(QTreeWidgetItem* item)
{
    m_model.clickCheckBox(nodeOf(item), [this](catalog::NodeId n) { return isFolderNode(n); });
    sync();
}

void FolderTreeWidget::mousePressEvent(QMouseEvent* event)
{
    m_swallowRelease = false;
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    if (!item) {
        // A click anywhere on a row counts as on its node: right of a short label as well.
        const QModelIndex index =
            indexAt(QPoint(header()->sectionViewportPosition(0) + 1, event->position().toPoint().y()));
        item = itemFromIndex(index);
    }
    if (!item)
        return;
    if (event->button() != Qt::LeftButton) {
        QTreeWidget::mousePressEvent(event);
        return;
    }
    setCurrentItem(item);
    setFocus(Qt::MouseFocusReason);
    const catalog::NodeId node = nodeOf(item);
    if (isFolderNode(node))
        Q_EMIT folderClicked(node);
    if (isOnCheckBox(item, event->position().toPoint())) {
        m_swallowRelease = true;
        toggleCheck(item);
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

void FolderTreeWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_swallowRelease) {
        m_swallowRelease = false;
        return;
    }
    QTreeWidget::mouseReleaseEvent(event);
}

void FolderTreeWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    // A double click on a check box is two clicks on it, not an expansion.
    if (isOnCheckBox(itemAt(event->position().toPoint()), event->position().toPoint())) {
        mousePressEvent(event);
        return;
    }
    QTreeWidget::mouseDoubleClickEvent(event);
}

void FolderTreeWidget::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        // The space key works like a click on the selected node's check box, so the
        // keyboard reaches the same selection of folders as the mouse.
        if (QTreeWidgetItem* item = currentItem())
            toggleCheck(item);
        event->accept();
        return;
    }
    // A folder reached with the arrow keys (or Home, End, Page Up/Down, a typed letter) is listed
    // as a click on it is.
    QTreeWidgetItem* before = currentItem();
    QTreeWidget::keyPressEvent(event);
    QTreeWidgetItem* after = currentItem();
    if (after && after != before) {
        const catalog::NodeId node = nodeOf(after);
        if (isFolderNode(node))
            Q_EMIT folderClicked(node);
    }
}

} // namespace app
