#pragma once

#include "BTreePage.h"
#include "FileHeader.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace store::native {

class FileSource;

// One node of the store: its data block, its sub-node tree and the node it belongs to.
struct NodeEntry
{
    std::uint32_t nid = 0;
    std::uint32_t parent = 0;
    std::uint64_t bidData = 0;
    std::uint64_t bidSub = 0;
};

// Node ids carry their kind in the low five bits.
enum class NidType : std::uint32_t
{
    HeapNode = 0x00,
    Internal = 0x01,
    NormalFolder = 0x02,
    SearchFolder = 0x03,
    NormalMessage = 0x04,
    Attachment = 0x05,
    AssociatedMessage = 0x08,
    HierarchyTable = 0x0D,
    ContentsTable = 0x0E,
    AssociatedContentsTable = 0x0F,
};
// An entry of a leaf page of the node B-tree.
NodeEntry readNodeEntry(const Layout& layout, const char* entry);

inline NidType nidType(std::uint32_t nid)
{
    return static_cast<NidType>(nid & 0x1F);
}

// The node B-tree, read whole when the store is opened: 24 bytes per node in one sorted array,
// plus 4 bytes per node for the index of children by parent. Immutable after build(), so any
// number of threads may look nodes up at once.
//
// A page that cannot be read does not stop the build: its nodes are missing, and a lookup of one
// of them says which page was damaged and why.
class NodeIndex
{
public:
    // Reads every page below root. Throws StoreError when not even the root page can be read, or
    // when abort is set.
    void build(const FileSource& file, const Layout& layout, const BlockRef& root,
               const std::atomic<bool>& abort);

    std::size_t size() const { return m_nodes.size(); }
    const NodeEntry* find(std::uint32_t nid) const;
    // Throws StoreError when nid is not in the index, naming the damaged page it would be in.
    const NodeEntry& get(std::uint32_t nid) const;
    // The nodes whose parent is nid (not nid itself), in node-id order.
    std::vector<const NodeEntry*> children(std::uint32_t nid) const;
    // Every node, in node-id order.
    const std::vector<NodeEntry>& nodes() const { return m_nodes; }

    // Pages that could not be read, with the key range they cover.
    const std::vector<BTreeDamage>& damage() const { return m_damage; }

private:
    std::vector<NodeEntry> m_nodes;
    // Indexes into m_nodes ordered by (parent, nid).
    std::vector<std::uint32_t> m_byParent;
    std::vector<BTreeDamage> m_damage;
};

} // namespace store::native
