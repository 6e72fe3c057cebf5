#pragma once

#include "catalog/NodeId.h"

#include <QList>
#include <QString>
#include <functional>
#include <mutex>
#include <optional>
#include <unordered_map>

namespace views {

// The folder tree without widgets: nodes with label, image, check box (state image) and bold
// bit, the insertion rule with its icon table, and the check and bold rules.
// Written by the scan worker (InsertFolderNode, labels, bold) and read and changed by the GUI
// thread; every member is thread-safe. Each change is recorded in a change list with a
// sequence number, so the GUI can apply the changes in batches (changesSince).
class FolderTreeModel
{
public:
    using NodeId = catalog::NodeId;
    // Answers whether a node is a folder node (Catalogs::IsCatalogFolderNode).
    using FolderNodePredicate = std::function<bool(NodeId)>;

    static constexpr int NoStateImage = 0;
    static constexpr int UncheckedStateImage = 1;
    static constexpr int CheckedStateImage = 2;

    struct Node
    {
        NodeId id = catalog::NoNode;
        NodeId parent = catalog::NoNode; // NoNode: a top-level node (child of the invisible root)
        QString label;
        int image = 0;
        int selectedImage = 0;
        int stateImage = UncheckedStateImage;
        bool bold = false;
        bool expanded = false;
        QString toolTip; // what hovering over the node tells besides its label; mostly empty
        QList<NodeId> children;
    };

    struct Change
    {
        enum class Kind
        {
            Cleared,  // every node was removed (node is NoNode)
            Inserted, // node was inserted (last child of its parent)
            Label,    // node's label changed
            Bold,     // node's bold bit changed
            StateImage,
            Expanded,
        };
        quint64 sequence = 0;
        Kind kind = Kind::Inserted;
        NodeId node = catalog::NoNode;
    };

    FolderTreeModel() = default;
    FolderTreeModel(const FolderTreeModel&) = delete;
    FolderTreeModel& operator=(const FolderTreeModel&) = delete;

    // Inserts a node labelled `label` as the last child of `parent` (NoNode: the invisible root,
    // which makes it the root node with image 0), with the image of the folder table, then
    // expands the root node and the parent. Returns the new node; NoNode when `parent` is unknown.
    NodeId InsertFolderNode(NodeId parent, const QString& label);
    // Removes every node (choosing a new file, a confirmed stop). Ids are not reused.
    void clear();

    NodeId rootNode() const;
    bool contains(NodeId node) const;
    std::optional<Node> node(NodeId node) const;
    QList<NodeId> topLevelNodes() const;
    QList<NodeId> children(NodeId node) const; // NoNode: the top-level nodes
    NodeId parent(NodeId node) const;
    // Every node, parents before children, siblings in order.
    QList<Node> nodes() const;

    QString label(NodeId node) const;
    void setLabel(NodeId node, const QString& label);
    // Recorded as a change of the label.
    void setToolTip(NodeId node, const QString& toolTip);
    bool isBold(NodeId node) const;
    void setBold(NodeId node, bool bold);
    int image(NodeId node) const;
    int stateImage(NodeId node) const;
    void setStateImage(NodeId node, int stateImage);
    // State image minus one: 1 checked, 0 unchecked, -1 without a check box (or unknown node).
    int checkValue(NodeId node) const;
    bool isExpanded(NodeId node) const;
    void setExpanded(NodeId node, bool expanded);

    // The check rules. Checking a node checks it and sets bold when it is a folder node, and
    // otherwise only clears its bold bit; unchecking sets state image 1 and clears bold.
    void checkNode(NodeId node, const FolderNodePredicate& isFolderNode);
    void uncheckNode(NodeId node);
    void checkSubtree(NodeId node, const FolderNodePredicate& isFolderNode);
    void uncheckSubtree(NodeId node);
    // From the node's parent up: checked when no child has check value 0, else unchecked.
    void updateAncestorChecks(NodeId node, const FolderNodePredicate& isFolderNode);
    // From the node's parent up: bold when at least one child is bold.
    void updateAncestorBold(NodeId node);

    // A click on the node's check box: unchecks (check value not 0) or checks the node and its
    // subtree, then updates the ancestors' check boxes and bold bits.
    void clickCheckBox(NodeId node, const FolderNodePredicate& isFolderNode);
    // The space key on the selected node, after the handler's rule. Returns true when a further
    // space key press is to be posted to the tree (a folder node whose check value is 0). The
    // tree's own toggle of the check box is the caller's (toggleCheckBox).
    bool spaceKeyPressed(NodeId node, const FolderNodePredicate& isFolderNode);
    // The platform tree's own check-box toggle (state image 1 <-> 2).
    void toggleCheckBox(NodeId node);

    // The sequence number of the last change (0 before any).
    quint64 changeSequence() const;
    // The changes after `sequence`, oldest first. A clear drops the older entries and is
    // itself recorded, so a consumer behind a clear gets Cleared and all that followed.
    QList<Change> changesSince(quint64 sequence) const;

private:
    Node* find(NodeId node);
    const Node* find(NodeId node) const;
    void record(Change::Kind kind, NodeId node);
    void setBoldLocked(Node& node, bool bold);
    void setStateImageLocked(Node& node, int stateImage);
    void setExpandedLocked(Node& node, bool expanded);
    void checkNodeLocked(Node& node, const FolderNodePredicate& isFolderNode);
    void uncheckNodeLocked(Node& node);
    void checkSubtreeLocked(const Node& node, const FolderNodePredicate& isFolderNode);
    void uncheckSubtreeLocked(const Node& node);
    void updateAncestorChecksLocked(const Node& node, const FolderNodePredicate& isFolderNode);
    void updateAncestorBoldLocked(const Node& node);
    template <typename Self, typename Visit>
    static void forEachDescendantLocked(Self& self, NodeId top, Visit visit);

    mutable std::mutex m_mutex;
    std::unordered_map<NodeId, Node> m_nodes;
    QList<NodeId> m_topLevel;
    NodeId m_rootNode = catalog::NoNode;
    quint64 m_sequence = 0;
    QList<Change> m_changes;
};

} // namespace views
