#pragma once

#include "BlockIndex.h"
#include "FileHeader.h"
#include "NodeIndex.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

namespace store::native {

class FileSource;

// A node entry read from a leaf page of the node B-tree found in the file, and where that page is.
struct FoundNode
{
    NodeEntry node;
    std::uint64_t pageOffset = 0;
};

// What one sequential read of the whole file finds, whether the indexes still reference it or not:
// the entries of every leaf page of either B-tree whose trailer and checksum hold (checked as the
// live pages are), and every place where a block trailer fits the data before it (size, and the
// signature that ties the block id to its offset). A found block is only a candidate: its
// checksum is checked when it is read, like any block's.
struct FileScan
{
    std::vector<FoundNode> nodes;   // one entry per distinct (node, data, sub-nodes, parent)
    std::vector<BlockEntry> blocks; // from block trailers and from block index pages
    std::uint64_t nodePages = 0;
    std::uint64_t blockPages = 0;
};

// Reads the file front to back in large pieces, a few megabytes in memory at a time, and calls
// progress after each piece. Blocks that the live block index lists at the same place are left
// out, so that memory grows with what the indexes no longer reference, not with the store.
// Throws StoreError when a read fails or abort is set.
FileScan scanFile(const FileSource& file, const Layout& layout, const BlockIndex& live,
                  const std::atomic<bool>& abort,
                  const std::function<void(std::uint64_t done, std::uint64_t total)>& progress);

} // namespace store::native
