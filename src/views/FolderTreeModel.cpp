#include "FolderTreeModel.h"

#include "FolderImage.h"

#include <atomic>

namespace views {

namespace {

// Ids come from one process-wide sequence, so a record that still names a node of a cleared
// tree (or of another model) can never be taken for a node of this one.
catalog::NodeId nextNodeId()
{
    static std::atomic<quint32> next{1};
    return catalog::NodeId{next.fetch_add(1)};
}

} // namespace

FolderTreeModel::Node* FolderTreeModel::find(NodeId id)
{
    const auto found = m_nodes.find(id);
    return found == m_nodes.end() ? nullptr : &found->second;
}

const FolderTreeModel::Node* FolderTreeModel::find(NodeId id) const
{
    const auto found = m_nodes.find(id);
    return found == m_nodes.end() ? nullptr : &found->second;
}

void FolderTreeModel::record(Change::Kind kind, NodeId id)
{
    m_changes.append(Change{++m_sequence, kind, id});
}

FolderTreeModel::NodeId FolderTreeModel::InsertFolderNode(NodeId parent, const QString& label)
{
    std::lock_guard lock(m_mutex);
    const bool underRoot = !catalog::isValid(parent);
    Node* parentNode = underRoot ? nullptr : find(parent);
    if (!underRoot && !parentNode)
        return catalog::NoNode;

    Node node;
    node.id = nextNodeId();
    node.parent = parent;
    node.label = label;
    // The store node always shows the plain folder, whatever the file is called.
    node.image = underRoot ? FolderImage::ClosedFolder : FolderImage::indexForFolderName(label);
    node.selectedImage = node.image;
    const NodeId id = node.id;
    m_nodes.emplace(id, std::move(node));
    if (underRoot) {
        m_topLevel.append(id);
        m_rootNode = id;
    } else {
        parentNode->children.append(id);
    }
    record(Change::Kind::Inserted, id);

    if (Node* root = find(m_rootNode))
        setExpandedLocked(*root, true);
    if (Node* p = find(parent))
        setExpandedLocked(*p, true);
    return id;
}

void FolderTreeModel::clear()
{
    std::lock_guard lock(m_mutex);
    m_nodes.clear();
    m_topLevel.clear();
    m_rootNode = catalog::NoNode;
    m_changes.clear();
    record(Change::Kind::Cleared, catalog::NoNode);
}

FolderTreeModel::NodeId FolderTreeModel::rootNode() const
{
    std::lock_guard lock(m_mutex);
    return m_rootNode;
}

bool FolderTreeModel::contains(NodeId id) const
{
    std::lock_guard lock(m_mutex);
    return find(id) != nullptr;
}

std::optional<FolderTreeModel::Node> FolderTreeModel::node(NodeId id) const
{
    std::lock_guard lock(m_mutex);
    if (const Node* n = find(id))
        return *n;
    return std::nullopt;
}

QList<FolderTreeModel::NodeId> FolderTreeModel::topLevelNodes() const
{
    std::lock_guard lock(m_mutex);
    return m_topLevel;
}

QList<FolderTreeModel::NodeId> FolderTreeModel::children(NodeId id) const
{
    std::lock_guard lock(m_mutex);
    if (!catalog::isValid(id))
        return m_topLevel;
    const Node* n = find(id);
    return n ? n->children : QList<NodeId>{};
}

FolderTreeModel::NodeId FolderTreeModel::parent(NodeId id) const
{
    std::lock_guard lock(m_mutex);
    const Node* n = find(id);
    return n ? n->parent : catalog::NoNode;
}

template <typename Self, typename Visit>
void FolderTreeModel::forEachDescendantLocked(Self& self, NodeId top, Visit visit)
{
    // Pre-order with an explicit stack: children in order, each before its own subtree, and no
    // recursion whose depth a deep folder chain could drive.
    QList<NodeId> stack;
    if (const auto* n = self.find(top))
        stack.append(QList<NodeId>(n->children.crbegin(), n->children.crend()));
    while (!stack.isEmpty()) {
        auto* n = self.find(stack.takeLast());
        if (!n)
            continue;
        visit(*n);
        stack.append(QList<NodeId>(n->children.crbegin(), n->children.crend()));
    }
}

QList<FolderTreeModel::Node> FolderTreeModel::nodes() const
{
    std::lock_guard lock(m_mutex);
    QList<Node> out;
    out.reserve(static_cast<qsizetype>(m_nodes.size()));
    for (const NodeId id : m_topLevel) {
        if (const Node* n = find(id)) {
            out.append(*n);
            forEachDescendantLocked(*this, id, [&out](const Node& d) { out.append(d); });
        }
    }
    return out;
}

QString FolderTreeModel::label(NodeId id) const
{
    std::lock_guard lock(m_mutex);
    const Node* n = find(id);
    return n ? n->label : QString();
}

void FolderTreeModel::setLabel(NodeId id, const QString& label)
{
    std::lock_guard lock(m_mutex);
    Node* n = find(id);
    if (!n || n->label == label)
        return;
    n->label = label;
    record(Change::Kind::Label, id);
}

void FolderTreeModel::setToolTip(NodeId id, const QString& toolTip)
{
    std::lock_guard lock(m_mutex);
    Node* n = find(id);
    if (!n || n->toolTip == toolTip)
        return;
    n->toolTip = toolTip;
    record(Change::Kind::Label, id);
}

bool FolderTreeModel::isBold(NodeId id) const
{
    std::lock_guard lock(m_mutex);
    const Node* n = find(id);
    return n && n->bold;
}

void FolderTreeModel::setBoldLocked(Node& n, bool bold)
{
    // Only real changes are recorded: the mail export sets bold once per item, and a folder of
    // 100,000 mails must not flood the change list.
    if (n.bold == bold)
        return;
    n.bold = bold;
    record(Change::Kind::Bold, n.id);
}

void FolderTreeModel::setBold(NodeId id, bool bold)
{
    std::lock_guard lock(m_mutex);
    if (Node* n = find(id))
        setBoldLocked(*n, bold);
}

int FolderTreeModel::image(NodeId id) const
{
    std::lock_guard lock(m_mutex);
    const Node* n = find(id);
    return n ? n->image : 0;
}

int FolderTreeModel::stateImage(NodeId id) const
{
    std::lock_guard lock(m_mutex);
    const Node* n = find(id);
    return n ? n->stateImage : NoStateImage;
}

void FolderTreeModel::setStateImageLocked(Node& n, int stateImage)
{
    if (n.stateImage == stateImage)
        return;
    n.stateImage = stateImage;
    record(Change::Kind::StateImage, n.id);
}

void FolderTreeModel::setStateImage(NodeId id, int stateImage)
{
    std::lock_guard lock(m_mutex);
    if (Node* n = find(id))
        setStateImageLocked(*n, stateImage);
}

int FolderTreeModel::checkValue(NodeId id) const
{
    std::lock_guard lock(m_mutex);
    const Node* n = find(id);
    return n ? n->stateImage - 1 : -1;
}

bool FolderTreeModel::isExpanded(NodeId id) const
{
    std::lock_guard lock(m_mutex);
    const Node* n = find(id);
    return n && n->expanded;
}

void FolderTreeModel::setExpandedLocked(Node& n, bool expanded)
{
    if (n.expanded == expanded)
        return;
    n.expanded = expanded;
    record(Change::Kind::Expanded, n.id);
}

void FolderTreeModel::setExpanded(NodeId id, bool expanded)
{
    std::lock_guard lock(m_mutex);
    if (Node* n = find(id))
        setExpandedLocked(*n, expanded);
}

void FolderTreeModel::checkNodeLocked(Node& n, const FolderNodePredicate& isFolderNode)
{
    if (isFolderNode && isFolderNode(n.id)) {
        setStateImageLocked(n, CheckedStateImage);
        setBoldLocked(n, true);
    } else {
        setBoldLocked(n, false);
    }
}

void FolderTreeModel::uncheckNodeLocked(Node& n)
{
    setStateImageLocked(n, UncheckedStateImage);
    setBoldLocked(n, false);
}

void FolderTreeModel::checkSubtreeLocked(const Node& node, const FolderNodePredicate& isFolderNode)
{
    forEachDescendantLocked(*this, node.id, [&](Node& d) { checkNodeLocked(d, isFolderNode); });
}

void FolderTreeModel::uncheckSubtreeLocked(const Node& node)
{
    forEachDescendantLocked(*this, node.id, [&](Node& d) { uncheckNodeLocked(d); });
}

void FolderTreeModel::updateAncestorChecksLocked(const Node& n, const FolderNodePredicate& isFolderNode)
{
    for (Node* ancestor = find(n.parent); ancestor; ancestor = find(ancestor->parent)) {
        bool anyUnchecked = false;
        for (const NodeId child : ancestor->children) {
            const Node* c = find(child);
            if (c && c->stateImage - 1 == 0) {
                anyUnchecked = true;
                break;
            }
        }
        if (anyUnchecked)
            uncheckNodeLocked(*ancestor);
        else
            checkNodeLocked(*ancestor, isFolderNode);
    }
}

void FolderTreeModel::updateAncestorBoldLocked(const Node& n)
{
    for (Node* ancestor = find(n.parent); ancestor; ancestor = find(ancestor->parent)) {
        bool anyBold = false;
        for (const NodeId child : ancestor->children) {
            const Node* c = find(child);
            if (c && c->bold) {
                anyBold = true;
                break;
            }
        }
        setBoldLocked(*ancestor, anyBold);
    }
}

void FolderTreeModel::checkNode(NodeId id, const FolderNodePredicate& isFolderNode)
{
    std::lock_guard lock(m_mutex);
    if (Node* n = find(id))
        checkNodeLocked(*n, isFolderNode);
}

void FolderTreeModel::uncheckNode(NodeId id)
{
    std::lock_guard lock(m_mutex);
    if (Node* n = find(id))
        uncheckNodeLocked(*n);
}

void FolderTreeModel::checkSubtree(NodeId id, const FolderNodePredicate& isFolderNode)
{
    std::lock_guard lock(m_mutex);
    if (const Node* n = find(id))
        checkSubtreeLocked(*n, isFolderNode);
}

void FolderTreeModel::uncheckSubtree(NodeId id)
{
    std::lock_guard lock(m_mutex);
    if (const Node* n = find(id))
        uncheckSubtreeLocked(*n);
}

void FolderTreeModel::updateAncestorChecks(NodeId id, const FolderNodePredicate& isFolderNode)
{
    std::lock_guard lock(m_mutex);
    if (const Node* n = find(id))
        updateAncestorChecksLocked(*n, isFolderNode);
}

void FolderTreeModel::updateAncestorBold(NodeId id)
{
    std::lock_guard lock(m_mutex);
    if (const Node* n = find(id))
        updateAncestorBoldLocked(*n);
}

void FolderTreeModel::clickCheckBox(NodeId id, const FolderNodePredicate& isFolderNode)
{
    std::lock_guard lock(m_mutex);
    Node* n = find(id);
    if (!n)
        return;
    if (n->stateImage - 1 != 0) {
        uncheckNodeLocked(*n);
        uncheckSubtreeLocked(*n);
    } else {
        checkNodeLocked(*n, isFolderNode);
        checkSubtreeLocked(*n, isFolderNode);
    }
    updateAncestorChecksLocked(*n, isFolderNode);
    updateAncestorBoldLocked(*n);
}

bool FolderTreeModel::spaceKeyPressed(NodeId id, const FolderNodePredicate& isFolderNode)
{
    std::lock_guard lock(m_mutex);
    Node* n = find(id);
    if (!n)
        return false;
    if (isFolderNode && isFolderNode(id))
        return n->stateImage - 1 == 0;
    if (n->stateImage - 1 != 0) {
        setBoldLocked(*n, false);
        uncheckSubtreeLocked(*n);
    } else {
        setBoldLocked(*n, true);
        checkSubtreeLocked(*n, isFolderNode);
    }
    updateAncestorChecksLocked(*n, isFolderNode);
    updateAncestorBoldLocked(*n);
    return false;
}

void FolderTreeModel::toggleCheckBox(NodeId id)
{
    std::lock_guard lock(m_mutex);
    Node* n = find(id);
    if (!n)
        return;
    setStateImageLocked(*n, n->stateImage == CheckedStateImage ? UncheckedStateImage : CheckedStateImage);
}

quint64 FolderTreeModel::changeSequence() const
{
    std::lock_guard lock(m_mutex);
    return m_sequence;
}

QList<FolderTreeModel::Change> FolderTreeModel::changesSince(quint64 sequence) const
{
    std::lock_guard lock(m_mutex);
    // The list is ordered by sequence; find the first newer entry by bisection.
    const auto first = std::upper_bound(m_changes.cbegin(), m_changes.cend(), sequence,
                                        [](quint64 s, const Change& c) { return s < c.sequence; });
    return QList<Change>(first, m_changes.cend());
}

} // namespace views
