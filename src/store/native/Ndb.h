#pragma once

#include "BlockIndex.h"
#include "FileHeader.h"
#include "FileSource.h"
#include "NodeIndex.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <cstdint>
#include <vector>

namespace store::native {

// One block of a value stored in a data tree: its id and its size once read.
struct DataLeaf
{
    std::uint64_t bid = 0;
    std::uint32_t size = 0;
};

// One entry of a node's sub-node tree.
struct SubnodeEntry
{
    std::uint32_t nid = 0;
    std::uint64_t bidData = 0;
    std::uint64_t bidSub = 0;
};

// The node database layer: the file, its header and both B-trees, and the reading of blocks,
// data trees and sub-node trees. Every block read is checked (size, block id and checksum in its
// trailer), decoded and, in 4k stores, inflated. Immutable once opened; thread-safe.
class Ndb
{
public:
    // Largest value read whole (a property or a body); larger ones are read piece by piece.
    static constexpr std::size_t kMaxValueSize = 256u << 20;

    // Opens the file and reads its header and indexes. Throws OpenError when the file is not a
    // store, StoreError when its indexes cannot be read at all.
    explicit Ndb(const QString& path);
    // The same, for reading what the recovery pass found: blocks that the block index does not
    // list (or lists elsewhere) are also looked for among found, each candidate checked as any
    // block is. found need not be sorted.
    Ndb(const QString& path, std::vector<BlockEntry> found);
    Ndb(const Ndb&) = delete;
    Ndb& operator=(const Ndb&) = delete;

    const FileHeader& header() const { return m_header; }
    const Layout& layout() const { return m_header.layout; }
    const FileSource& file() const { return m_file; }
    const NodeIndex& nodes() const { return m_nodes; }
    const BlockIndex& blocks() const { return m_blocks; }

    // Makes reads in progress fail soon; for an open or a read that takes long.
    void abort() const { m_abort.store(true); }
    const std::atomic<bool>& abortFlag() const { return m_abort; }

    // One block's data, checked, decoded and inflated.
    QByteArray readBlock(std::uint64_t bid) const;
    // The blocks of a value: the block itself, or the leaves of its data tree, in order.
    std::vector<DataLeaf> dataLeaves(std::uint64_t bid) const;
    // The leaves' data, one array per block (heaps need their blocks apart).
    std::vector<QByteArray> readLeaves(std::uint64_t bid) const;
    // A whole value; throws when it is larger than kMaxValueSize.
    QByteArray readValue(std::uint64_t bid) const;
    // The entries of a sub-node tree, ordered by node id; empty for bid 0.
    std::vector<SubnodeEntry> readSubnodes(std::uint64_t bid) const;

private:
    // The places the block may be at: the block index's, then those found, by the recovery pass.
    std::vector<BlockEntry> candidates(std::uint64_t bid) const;
    QByteArray readBlockAt(const BlockEntry& entry) const;
    void collectLeaves(std::uint64_t bid, int depth, std::vector<DataLeaf>& leaves,
                       std::uint64_t& total) const;
    void collectSubnodes(std::uint64_t bid, int depth, std::vector<SubnodeEntry>& entries,
                         std::vector<std::uint64_t>& visited) const;

    FileSource m_file;
    FileHeader m_header;
    NodeIndex m_nodes;
    BlockIndex m_blocks;
    // Sorted by block id (the reserved bit cleared), then offset.
    std::vector<BlockEntry> m_found;
    mutable std::atomic<bool> m_abort{false};
};

inline bool isInternalBid(std::uint64_t bid)
{
    return (bid & 2) != 0;
}

} // namespace store::native
