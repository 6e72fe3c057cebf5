#include "BlockIndex.h"

#include "BTreePage.h"
#include "Bytes.h"
#include "Failure.h"

#include <algorithm>
#include <array>
#include <memory>

namespace store::native {

namespace {

constexpr std::uint64_t kReservedBit = 1;

std::atomic<std::uint64_t> g_nextSerial{1};

// Recently read leaf pages of the calling thread, for every store it reads. A message's blocks
// usually have neighbouring ids, so most lookups of one message hit the same page.
struct CachedPage
{
    std::uint64_t serial = 0;
    std::uint64_t ib = 0;
    std::shared_ptr<const BTreePage> page;
};
constexpr std::size_t kCacheSlots = 64;
thread_local std::array<CachedPage, kCacheSlots> t_cache;

} // namespace

void BlockIndex::build(const FileSource& file, const Layout& layout, const BlockRef& root,
                       const std::atomic<bool>& abort)
{
    m_file = &file;
    m_layout = layout;
    m_serial = g_nextSerial.fetch_add(1);
    // The leaves themselves are read when a block is looked up; the walk stops above them.
    walkBTree(
        file, layout, root, PageType::BlockBTree, 1, abort,
        [&](const BTreePage& page) {
            if (page.level() == 0) {
                m_leaves.push_back(Leaf{0, root.ib, root.bid}); // the root is the only leaf
                return;
            }
            if (page.level() != 1)
                return;
            for (int i = 0; i < page.count(); ++i) {
                const ChildRef child = readChildRef(layout, page.entry(i));
                m_leaves.push_back(Leaf{child.key & ~kReservedBit, child.page.ib, child.page.bid});
            }
        },
        m_damage);
    std::stable_sort(m_leaves.begin(), m_leaves.end(),
                     [](const Leaf& a, const Leaf& b) { return a.firstKey < b.firstKey; });
    m_leaves.shrink_to_fit();
}

BlockEntry BlockIndex::get(std::uint64_t bid) const
{
    if (const std::optional<BlockEntry> entry = find(bid))
        return *entry;
    const std::uint64_t key = bid & ~kReservedBit;
    for (const BTreeDamage& d : m_damage) {
        if (key >= d.from && (d.to == 0 || key < d.to))
            fail("block " + hex(bid) + " is lost: " + d.reason);
    }
    fail("block " + hex(bid) + " is not in the block index");
}

std::optional<BlockEntry> BlockIndex::find(std::uint64_t bid) const
{
    const std::uint64_t key = bid & ~kReservedBit;
    auto it = std::upper_bound(m_leaves.begin(), m_leaves.end(), key,
                               [](std::uint64_t k, const Leaf& leaf) { return k < leaf.firstKey; });
    if (it == m_leaves.begin())
        return std::nullopt;
    --it;

    CachedPage& slot = t_cache[(it->ib / m_layout.pageSize) % kCacheSlots];
    if (slot.serial != m_serial || slot.ib != it->ib || !slot.page) {
        auto page = std::make_shared<const BTreePage>(
            BTreePage::read(*m_file, m_layout, BlockRef{it->bid, it->ib}, PageType::BlockBTree));
        if (page->level() != 0)
            fail("block index page at offset " + hex(it->ib) + ": a leaf at level " +
                 std::to_string(page->level()));
        slot = CachedPage{m_serial, it->ib, std::move(page)};
    }
    const BTreePage& page = *slot.page;

    auto entryKey = [&](int i) {
        const char* e = page.entry(i);
        return (m_layout.isAnsi() ? get32(e) : get64(e)) & ~kReservedBit;
    };
    int low = 0;
    int high = page.count();
    while (low < high) {
        const int mid = (low + high) / 2;
        if (entryKey(mid) < key)
            low = mid + 1;
        else
            high = mid;
    }
    if (low == page.count() || entryKey(low) != key)
        return std::nullopt;
    return readBlockEntry(m_layout, page.entry(low));
}

BlockEntry readBlockEntry(const Layout& layout, const char* e)
{
    BlockEntry entry;
    if (layout.isAnsi()) {
        entry.bid = get32(e);
        entry.ib = get32(e + 4);
        entry.size = get16(e + 8);
        entry.inflated = entry.size;
    } else {
        entry.bid = get64(e);
        entry.ib = get64(e + 8);
        entry.size = get16(e + 16);
        entry.inflated = layout.is4k() ? get16(e + 18) : entry.size;
    }
    return entry;
}

} // namespace store::native
