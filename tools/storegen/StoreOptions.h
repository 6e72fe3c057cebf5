#pragma once

#include <cstddef>
#include <cstdint>

namespace storegen {

// The on-disk variant: 64-bit Unicode with 512-byte pages, 64-bit with 4k pages and
// zlib-compressed blocks, or the 32-bit ANSI format (texts in a code page, at most 2 GB).
enum class FileFormat
{
    Unicode,
    Unicode4k,
    Ansi,
};

// Offline ("SO") or personal ("SM") content type.
enum class StoreKind
{
    Offline,
    Personal,
};

// How data blocks are encoded: not at all, by byte substitution ("compressible"), or by the
// substitution keyed with each block's id ("high").
enum class Encryption
{
    None,
    Compressible,
    High,
};

struct StoreOptions
{
    FileFormat format = FileFormat::Unicode;
    StoreKind kind = StoreKind::Offline;
    Encryption encryption = Encryption::None;
    // The Windows code page of the store's 8-bit texts: every text of an ANSI store, and the
    // 8-bit strings given as characters in any store.
    std::uint32_t codePage = 1252;
    // How many index entries the writer sorts in memory before it spills them to a scratch file
    // beside the store; tests make it small to exercise the merge.
    std::size_t indexBatchEntries = std::size_t(1) << 17;
    // The largest file the writer produces; 0 for the format's own limit (2 GB for ANSI stores,
    // none otherwise). Tests make it small to reach the limit quickly.
    std::uint64_t maxFileSize = 0;
};

} // namespace storegen
