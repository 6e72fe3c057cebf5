#pragma once

#include <cstddef>

namespace storegen {

// The on-disk variant: 64-bit Unicode with 512-byte pages, or 64-bit with 4k pages and
// zlib-compressed blocks.
enum class FileFormat
{
    Unicode,
    Unicode4k,
};

// Offline ("SO") or personal ("SM") content type.
enum class StoreKind
{
    Offline,
    Personal,
};

enum class Encryption
{
    None,
    Compressible,
};

struct StoreOptions
{
    FileFormat format = FileFormat::Unicode;
    StoreKind kind = StoreKind::Offline;
    Encryption encryption = Encryption::None;
    // How many index entries the writer sorts in memory before it spills them to a scratch file
    // beside the store; tests make it small to exercise the merge.
    std::size_t indexBatchEntries = std::size_t(1) << 17;
};

} // namespace storegen
