#include "NodeIndex.h"

#include "BTreePage.h"
#include "Bytes.h"
#include "Failure.h"

#include <algorithm>

namespace store::native {

void NodeIndex::build(const FileSource& file, const Layout& layout, const BlockRef& root,
                      const std::atomic<bool>& abort)
{
    walkBTree(
        file, layout, root, PageType::NodeBTree, 0, abort,
        [&](const BTreePage& page) {
            if (page.level() != 0)
                return;
            for (int i = 0; i < page.count(); ++i)
                m_nodes.push_back(readNodeEntry(layout, page.entry(i)));
        },
        m_damage);

    std::stable_sort(m_nodes.begin(), m_nodes.end(),
                     [](const NodeEntry& a, const NodeEntry& b) { return a.nid < b.nid; });
    // A node listed twice keeps its first entry.
    m_nodes.erase(std::unique(m_nodes.begin(), m_nodes.end(),
                              [](const NodeEntry& a, const NodeEntry& b) { return a.nid == b.nid; }),
                  m_nodes.end());
    m_nodes.shrink_to_fit();

    m_byParent.resize(m_nodes.size());
    for (std::uint32_t i = 0; i < m_byParent.size(); ++i)
        m_byParent[i] = i;
    std::sort(m_byParent.begin(), m_byParent.end(), [this](std::uint32_t a, std::uint32_t b) {
        const NodeEntry& x = m_nodes[a];
        const NodeEntry& y = m_nodes[b];
        return x.parent != y.parent ? x.parent < y.parent : x.nid < y.nid;
    });
}

NodeEntry readNodeEntry(const Layout& layout, const char* e)
{
    NodeEntry node;
    if (layout.isAnsi()) {
        node.nid = get32(e);
        node.bidData = get32(e + 4);
        node.bidSub = get32(e + 8);
        node.parent = get32(e + 12);
    } else {
        node.nid = static_cast<std::uint32_t>(get64(e));
        node.bidData = get64(e + 8);
        node.bidSub = get64(e + 16);
        node.parent = get32(e + 24);
    }
    return node;
}

const NodeEntry* NodeIndex::find(std::uint32_t nid) const
{
    const auto it = std::lower_bound(m_nodes.begin(), m_nodes.end(), nid,
                                     [](const NodeEntry& e, std::uint32_t key) { return e.nid < key; });
    return it != m_nodes.end() && it->nid == nid ? &*it : nullptr;
}

const NodeEntry& NodeIndex::get(std::uint32_t nid) const
{
    if (const NodeEntry* node = find(nid))
        return *node;
    for (const BTreeDamage& d : m_damage) {
        if (nid >= d.from && (d.to == 0 || nid < d.to))
            fail("node " + hex(nid) + " is lost: " + d.reason);
    }
    fail("node " + hex(nid) + " is not in the node index");
}

std::vector<const NodeEntry*> NodeIndex::children(std::uint32_t nid) const
{
    const auto first =
        std::lower_bound(m_byParent.begin(), m_byParent.end(), nid,
                         [this](std::uint32_t i, std::uint32_t key) { return m_nodes[i].parent < key; });
    std::vector<const NodeEntry*> result;
    for (auto it = first; it != m_byParent.end() && m_nodes[*it].parent == nid; ++it) {
        if (m_nodes[*it].nid != nid)
            result.push_back(&m_nodes[*it]);
    }
    return result;
}

} // namespace store::native
