#include "NodeIndex.h"

#include "BTreePage.h"
#include "Bytes.h"
#include "Failure.h"

#include <algorithm>
#include <unordered_set>

namespace store::native {

namespace {

// Deeper trees than this do not occur: a page holds at least 15 entries, so 12 levels address
// more nodes than node ids exist.
constexpr int kMaxLevels = 12;

} // namespace

void NodeIndex::build(const FileSource& file, const Layout& layout, const BlockRef& root,
                      const std::atomic<bool>& abort)
{
    std::unordered_set<std::uint64_t> visited;
    const BTreePage top = BTreePage::read(file, layout, root, PageType::NodeBTree);
    if (top.level() > kMaxLevels)
        fail("node index page at offset " + hex(root.ib) + ": " + std::to_string(top.level()) + " levels");

    struct Walk
    {
        const FileSource& file;
        const Layout& layout;
        const std::atomic<bool>& abort;
        std::unordered_set<std::uint64_t>& visited;
        std::vector<NodeEntry>& nodes;
        std::vector<Damage>& damage;

        void page(const BTreePage& p)
        {
            if (p.level() == 0) {
                for (int i = 0; i < p.count(); ++i) {
                    const char* e = p.entry(i);
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
                    nodes.push_back(node);
                }
                return;
            }
            for (int i = 0; i < p.count(); ++i) {
                if (abort.load(std::memory_order_relaxed))
                    fail("the read was stopped");
                const ChildRef child = readChildRef(layout, p.entry(i));
                const std::uint64_t to = i + 1 < p.count() ? readChildRef(layout, p.entry(i + 1)).key : 0;
                if (!visited.insert(child.page.ib).second) {
                    damage.push_back({child.key, to, "node index page at offset " + hex(child.page.ib) +
                                                         " is referenced twice"});
                    continue;
                }
                try {
                    const BTreePage sub = BTreePage::read(file, layout, child.page, PageType::NodeBTree);
                    if (sub.level() != p.level() - 1)
                        fail("node index page at offset " + hex(child.page.ib) + ": level " +
                             std::to_string(sub.level()) + " below level " + std::to_string(p.level()));
                    page(sub);
                } catch (const StoreError& e) {
                    damage.push_back({child.key, to, e.what()});
                }
            }
        }
    };
    visited.insert(root.ib);
    Walk{file, layout, abort, visited, m_nodes, m_damage}.page(top);

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
    for (const Damage& d : m_damage) {
        if (nid >= d.from && (d.to == 0 || nid < d.to))
            fail("node " + hex(nid) + " is lost: " + d.reason);
    }
    fail("node " + hex(nid) + " is not in the node index");
}

std::vector<const NodeEntry*> NodeIndex::children(std::uint32_t nid) const
{
    const auto first = std::lower_bound(m_byParent.begin(), m_byParent.end(), nid,
                                        [this](std::uint32_t i, std::uint32_t key) { return m_nodes[i].parent < key; });
    std::vector<const NodeEntry*> result;
    for (auto it = first; it != m_byParent.end() && m_nodes[*it].parent == nid; ++it) {
        if (m_nodes[*it].nid != nid)
            result.push_back(&m_nodes[*it]);
    }
    return result;
}

} // namespace store::native
