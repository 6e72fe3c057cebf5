#include "BTreePage.h"

#include "Bytes.h"
#include "Checksum.h"
#include "Failure.h"
#include "FileSource.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

namespace store::native {

int BTreePage::leafEntrySize(const Layout& layout, PageType type)
{
    if (layout.isAnsi())
        return type == PageType::NodeBTree ? 16 : 12;
    return type == PageType::NodeBTree ? 32 : 24;
}

BTreePage BTreePage::read(const FileSource& file, const Layout& layout, const BlockRef& ref, PageType type)
{
    const char* what = type == PageType::NodeBTree ? "node index page" : "block index page";
    return parse(file.read(ref.ib, layout.pageSize, what), layout, ref, type);
}

BTreePage BTreePage::parse(QByteArray bytes, const Layout& layout, const BlockRef& ref, PageType type)
{
    const char* what = type == PageType::NodeBTree ? "node index page" : "block index page";
    auto damaged = [&](const std::string& why) -> void {
        fail(std::string(what) + " at offset " + hex(ref.ib) + ": " + why);
    };
    if (bytes.size() != static_cast<qsizetype>(layout.pageSize))
        damaged("a short page");
    BTreePage page;
    page.m_offset = ref.ib;
    page.m_bytes = std::move(bytes);
    const char* p = page.m_bytes.constData();
    const char* trailer = p + layout.pageSize - layout.pageTrailerSize;
    if (get8(trailer) != static_cast<std::uint8_t>(type) ||
        get8(trailer + 1) != static_cast<std::uint8_t>(type))
        damaged("wrong page type " + hex(get8(trailer)));
    std::uint32_t crc = 0;
    std::uint64_t bid = 0;
    if (layout.isAnsi()) {
        bid = get32(trailer + 4);
        crc = get32(trailer + 8);
    } else {
        crc = get32(trailer + 4);
        bid = get64(trailer + 8);
    }
    const std::size_t covered = layout.pageSize - layout.pageTrailerSize;
    if (crc != formatCrc(p, covered))
        damaged("checksum mismatch");
    if (ref.bid != 0 && (bid & ~std::uint64_t(1)) != (ref.bid & ~std::uint64_t(1)))
        damaged("holds page " + hex(bid) + " instead of " + hex(ref.bid));

    const char* meta = p + layout.btreeEntryBytes;
    int count = 0;
    int capacity = 0;
    if (layout.is4k()) {
        count = get16(meta);
        capacity = get16(meta + 2);
        page.m_entrySize = get8(meta + 4);
        page.m_level = get8(meta + 5);
    } else {
        count = get8(meta);
        capacity = get8(meta + 1);
        page.m_entrySize = get8(meta + 2);
        page.m_level = get8(meta + 3);
    }
    const int expected = page.m_level == 0 ? leafEntrySize(layout, type) : intermediateEntrySize(layout);
    if (page.m_entrySize < expected)
        damaged("entries of " + std::to_string(page.m_entrySize) + " bytes");
    if (count > capacity ||
        static_cast<std::size_t>(count) * static_cast<std::size_t>(page.m_entrySize) > layout.btreeEntryBytes)
        damaged(std::to_string(count) + " entries do not fit");
    page.m_count = count;
    return page;
}

namespace {

// Deeper trees than this do not occur: a page holds at least 15 entries, so 12 levels address
// more keys than a store holds.
constexpr int kMaxLevels = 12;

const char* treeName(PageType type)
{
    return type == PageType::NodeBTree ? "node index page" : "block index page";
}

// The pages below a page lie anywhere in the file: asking for all of them at once lets a disk serve
// them together when the store is not in memory yet. Pages close to each other are asked for as
// one range (reading a small gap costs less than another request).
void prefetchChildren(const FileSource& file, const Layout& layout, const BTreePage& page)
{
    constexpr std::uint64_t kGap = 16 * 1024;
    std::vector<std::uint64_t> offsets;
    offsets.reserve(static_cast<std::size_t>(page.count()));
    for (int i = 0; i < page.count(); ++i) {
        const std::uint64_t ib = readChildRef(layout, page.entry(i)).page.ib;
        if (file.contains(ib, layout.pageSize))
            offsets.push_back(ib);
    }
    std::sort(offsets.begin(), offsets.end());
    for (std::size_t i = 0; i < offsets.size();) {
        const std::uint64_t begin = offsets[i];
        std::uint64_t end = begin + layout.pageSize;
        for (++i; i < offsets.size() && offsets[i] <= end + kGap; ++i)
            end = std::max(end, offsets[i] + layout.pageSize);
        file.prefetch(begin, static_cast<std::size_t>(end - begin));
    }
}

} // namespace

void walkBTree(const FileSource& file, const Layout& layout, const BlockRef& root, PageType type,
               int lowestLevel, const std::atomic<bool>& abort,
               const std::function<void(const BTreePage&)>& visit, std::vector<BTreeDamage>& damage)
{
    const BTreePage top = BTreePage::read(file, layout, root, type);
    if (top.level() > kMaxLevels)
        fail(std::string(treeName(type)) + " at offset " + hex(root.ib) + ": " + std::to_string(top.level()) +
             " levels");
    std::unordered_set<std::uint64_t> visited{root.ib};
    const std::function<void(const BTreePage&)> walk = [&](const BTreePage& page) {
        visit(page);
        if (page.level() <= lowestLevel)
            return;
        prefetchChildren(file, layout, page);
        for (int i = 0; i < page.count(); ++i) {
            if (abort.load(std::memory_order_relaxed))
                fail("the read was stopped");
            const ChildRef child = readChildRef(layout, page.entry(i));
            const std::uint64_t to = i + 1 < page.count() ? readChildRef(layout, page.entry(i + 1)).key : 0;
            if (!visited.insert(child.page.ib).second) {
                damage.push_back({child.key, to,
                                  std::string(treeName(type)) + " at offset " + hex(child.page.ib) +
                                      " is referenced twice"});
                continue;
            }
            try {
                const BTreePage sub = BTreePage::read(file, layout, child.page, type);
                if (sub.level() != page.level() - 1)
                    fail(std::string(treeName(type)) + " at offset " + hex(child.page.ib) + ": level " +
                         std::to_string(sub.level()) + " below level " + std::to_string(page.level()));
                walk(sub);
            } catch (const StoreError& e) {
                if (abort.load(std::memory_order_relaxed))
                    throw;
                damage.push_back({child.key, to, e.what()});
            }
        }
    };
    walk(top);
}

ChildRef readChildRef(const Layout& layout, const char* entry)
{
    if (layout.isAnsi())
        return ChildRef{get32(entry), BlockRef{get32(entry + 4), get32(entry + 8)}};
    return ChildRef{get64(entry), BlockRef{get64(entry + 8), get64(entry + 16)}};
}

} // namespace store::native
