#include "BTreePage.h"

#include "Bytes.h"
#include "Checksum.h"
#include "Failure.h"
#include "FileSource.h"

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
    auto damaged = [&](const std::string& why) -> void {
        fail(std::string(what) + " at offset " + hex(ref.ib) + ": " + why);
    };
    BTreePage page;
    page.m_offset = ref.ib;
    page.m_bytes = file.read(ref.ib, layout.pageSize, what);
    const char* p = page.m_bytes.constData();
    const char* trailer = p + layout.pageSize - layout.pageTrailerSize;
    if (get8(trailer) != static_cast<std::uint8_t>(type) || get8(trailer + 1) != static_cast<std::uint8_t>(type))
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
    if (count > capacity || static_cast<std::size_t>(count) * static_cast<std::size_t>(page.m_entrySize) >
                                layout.btreeEntryBytes)
        damaged(std::to_string(count) + " entries do not fit");
    page.m_count = count;
    return page;
}

ChildRef readChildRef(const Layout& layout, const char* entry)
{
    if (layout.isAnsi())
        return ChildRef{get32(entry), BlockRef{get32(entry + 4), get32(entry + 8)}};
    return ChildRef{get64(entry), BlockRef{get64(entry + 8), get64(entry + 16)}};
}

} // namespace store::native
