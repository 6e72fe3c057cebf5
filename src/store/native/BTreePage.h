#pragma once

#include "FileHeader.h"

#include <QByteArray>
#include <cstdint>
#include <string>

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

} // namespace store::native
