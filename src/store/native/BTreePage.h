#pragma once

#include "FileHeader.h"

#include <QByteArray>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace store::native {

class FileSource;

enum class PageType : std::uint8_t
{
    BlockBTree = 0x80,
    NodeBTree = 0x81,
};

// One page of the node or block B-tree, read and checked: page type, checksum, the block id in
// the trailer and the entry counts. Entries are raw bytes of entrySize() each.
class BTreePage
{
public:
    // Throws StoreError naming the page's offset and what is wrong with it.
    static BTreePage read(const FileSource& file, const Layout& layout, const BlockRef& ref, PageType type);
    // The same checks on a page already read (layout.pageSize bytes) from the given place; a bid
    // of 0 accepts any page id.
    static BTreePage parse(QByteArray bytes, const Layout& layout, const BlockRef& ref, PageType type);

    int count() const { return m_count; }
    int entrySize() const { return m_entrySize; }
    int level() const { return m_level; }
    std::uint64_t offset() const { return m_offset; }
    const char* entry(int index) const { return m_bytes.constData() + index * m_entrySize; }

    // Entry sizes of the layouts: intermediate entries (key, block id, offset) and the leaves.
    static int intermediateEntrySize(const Layout& layout) { return layout.isAnsi() ? 12 : 24; }
    static int leafEntrySize(const Layout& layout, PageType type);

private:
    QByteArray m_bytes;
    std::uint64_t m_offset = 0;
    int m_count = 0;
    int m_entrySize = 0;
    int m_level = 0;
};

// A reference from an intermediate entry: the first key below it and the child page.
struct ChildRef
{
    std::uint64_t key;
    BlockRef page;
};
ChildRef readChildRef(const Layout& layout, const char* entry);

// A page of a B-tree that could not be read, with the range of keys it covers.
struct BTreeDamage
{
    std::uint64_t from = 0;
    std::uint64_t to = 0; // exclusive; 0: to the end
    std::string reason;
};

// Reads the pages of a B-tree from its root down to the given level, each page once, and hands
// each to visit (the root included, whatever its level). A page below the root that cannot be
// read, that is referenced twice or whose level does not fit is recorded in damage and its
// subtree skipped; the root must be readable (StoreError otherwise). Levels are checked to fall
// by one per step, so the walk ends on any file.
void walkBTree(const FileSource& file, const Layout& layout, const BlockRef& root, PageType type,
               int lowestLevel, const std::atomic<bool>& abort,
               const std::function<void(const BTreePage&)>& visit, std::vector<BTreeDamage>& damage);

} // namespace store::native
