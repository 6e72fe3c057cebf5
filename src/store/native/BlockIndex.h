#pragma once

#include "BTreePage.h"
#include "FileHeader.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace store::native {

class FileSource;

// One block of the store as the block B-tree lists it.
struct BlockEntry
{
    std::uint64_t bid = 0;
    std::uint64_t ib = 0;
    std::uint32_t size = 0;     // bytes on disk
    std::uint32_t inflated = 0; // bytes once inflated (4k stores; else the same as size)
};

// An entry of a leaf page of the block B-tree.
BlockEntry readBlockEntry(const Layout& layout, const char* entry);

// The block B-tree. The intermediate pages are read when the store is opened into a directory of
// leaf pages (16 bytes per leaf page, which lists 20 to 169 blocks); a lookup reads one leaf page,
// kept in a small cache of the calling thread. Immutable after build(); thread-safe.
class BlockIndex
{
public:
    void build(const FileSource& file, const Layout& layout, const BlockRef& root,
               const std::atomic<bool>& abort);

    // Looks a block up, ignoring the reserved low bit of block ids. Throws StoreError when the
    // block is not listed or its leaf page is damaged.
    BlockEntry get(std::uint64_t bid) const;
    // The same, but none when the block is not listed; throws only when its leaf page is damaged.
    std::optional<BlockEntry> find(std::uint64_t bid) const;

    std::size_t leafPages() const { return m_leaves.size(); }

    // Intermediate pages that could not be read, with the key range they cover.
    const std::vector<BTreeDamage>& damage() const { return m_damage; }

private:
    struct Leaf
    {
        std::uint64_t firstKey;
        std::uint64_t ib;
        std::uint64_t bid;
    };

    const FileSource* m_file = nullptr;
    Layout m_layout;
    std::uint64_t m_serial = 0;
    std::vector<Leaf> m_leaves;
    std::vector<BTreeDamage> m_damage;
};

} // namespace store::native
