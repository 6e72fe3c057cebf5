#pragma once

#include <cstdint>

namespace store::native {

class FileSource;

// The three layouts of the file format: 32-bit ANSI (file versions 14 and 15), 64-bit Unicode
// (23) and Unicode with 4,096-byte pages and deflated blocks (36).
enum class Format
{
    Ansi,
    Unicode,
    Unicode4k,
};

// The sizes that differ between the layouts.
struct Layout
{
    Format format = Format::Unicode;
    std::uint32_t pageSize = 512;
    std::uint32_t pageTrailerSize = 16;
    // Bytes of a B-tree page that hold entries.
    std::uint32_t btreeEntryBytes = 488;
    std::uint32_t blockTrailerSize = 16;
    std::uint32_t blockAlign = 64;
    // The largest block on disk, trailer included.
    std::uint32_t maxBlockSize = 8192;
    // Size of block ids, file offsets and node ids in the index structures.
    std::uint32_t idSize = 8;

    static Layout of(Format format);
    bool isAnsi() const { return format == Format::Ansi; }
    bool is4k() const { return format == Format::Unicode4k; }
    std::uint32_t maxBlockData() const { return maxBlockSize - blockTrailerSize; }
    std::uint64_t alignedBlockSize(std::uint64_t dataSize) const
    {
        return (dataSize + blockTrailerSize + blockAlign - 1) / blockAlign * blockAlign;
    }
};

// A reference to a page or block: its id and where it is in the file.
struct BlockRef
{
    std::uint64_t bid = 0;
    std::uint64_t ib = 0;
};

enum class CryptMethod : std::uint8_t
{
    None = 0,
    Permute = 1,
    Cyclic = 2,
};

// What the store's first 564 bytes say: the layout, the content type ("SM", "SO", "AB"), the
// encoding of data blocks and the roots of the node and block B-trees.
struct FileHeader
{
    Layout layout;
    int version = 0;
    char contentType[2] = {0, 0};
    CryptMethod crypt = CryptMethod::None;
    std::uint64_t fileEof = 0;
    BlockRef nodeRoot;
    BlockRef blockRoot;
};

// Reads and checks the header. Throws OpenError (Unreadable) with the reason when the file is not
// a store this reader can read: wrong signature, damaged header, unknown version or encoding.
FileHeader readFileHeader(const FileSource& file);

} // namespace store::native
