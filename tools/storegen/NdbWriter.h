#pragma once

#include "SortedSpill.h"
#include "StoreOptions.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace storegen {

// One entry of a node's sub-node tree, already written.
struct SubnodeRef
{
    std::uint32_t nid = 0;
    std::uint64_t bidData = 0;
    std::uint64_t bidSub = 0;
};

// The node database layer of a store file. Blocks go to disk as they are written, and so does each
// allocation map once the writing has moved past its region; the index entries of blocks and nodes
// are sorted in batches and spilled to scratch files beside the store. At the end both B-trees are
// built bottom-up from the merged entries, one page per level in memory, then the header. Memory
// therefore does not grow with the size of the store. Throws std::runtime_error on I/O failure.
class NdbWriter
{
public:
    NdbWriter(const QString& path, const StoreOptions& options);
    ~NdbWriter();
    NdbWriter(const NdbWriter&) = delete;
    NdbWriter& operator=(const NdbWriter&) = delete;

    // The most bytes one data block carries.
    std::size_t maxBlockData() const { return m_maxBlockData; }
    FileFormat format() const { return m_options.format; }

    // Writes one block and returns its id. Internal blocks (data-tree and sub-node blocks) are
    // never encrypted.
    std::uint64_t writeBlock(const QByteArray& data, bool internal);
    // The same, but never deflated when mayDeflate is false.
    std::uint64_t writeBlock(const QByteArray& data, bool internal, bool mayDeflate);
    // Writes a value made of the given blocks (each at most maxBlockData bytes) and returns the id
    // that references the whole: the block itself, or the root of a data tree.
    std::uint64_t writeDataTree(const std::vector<QByteArray>& chunks);
    // A block of a value written piece by piece, for writeDataTree(leaves).
    struct DataLeaf
    {
        std::uint64_t bid;
        std::uint64_t size;
    };
    // Writes one block of a value that has more than one.
    DataLeaf writeLeaf(const QByteArray& chunk);
    // The data tree over blocks already written (the block itself when there is one).
    std::uint64_t writeDataTree(const std::vector<DataLeaf>& leaves);
    // Splits a byte stream into blocks and writes it as a data tree.
    std::uint64_t writeBytes(const QByteArray& data);
    // Writes a sub-node tree (entries in any order) and returns its root block id; 0 when empty.
    std::uint64_t writeSubnodes(std::vector<SubnodeRef> entries);

    void addNode(std::uint32_t nid, std::uint64_t bidData, std::uint64_t bidSub, std::uint32_t parentNid);
    struct Node
    {
        std::uint64_t bidData;
        std::uint64_t bidSub;
    };
    // The blocks of the node added last.
    Node lastNode() const { return m_lastNode; }

    // Between beginFreed() and endFreed() the file is written as Outlook leaves what it deletes or
    // replaces: blocks stay where they are written but are left out of the block index and marked
    // free, and nodes are left out of the node index. endFreed() then writes leaf pages of both
    // indexes that list them, as the pages superseded by the deletion, also marked free.
    void beginFreed();
    void endFreed();

    // Writes the B-trees, maps and header and closes the file.
    void finish();

    std::uint64_t fileSize() const { return m_fileEnd; }
    // Index entries written to scratch files so far (for tests of the merge).
    std::size_t spilledRuns() const { return m_blocks.runCount() + m_nodes.runCount(); }

private:
    struct BlockEntry
    {
        std::uint64_t bid;
        std::uint64_t ib;
        std::uint16_t cb;
        std::uint16_t inflated;
        std::uint16_t refs;
        std::uint64_t key() const { return bid; }
    };
    struct NodeEntry
    {
        std::uint32_t nid;
        std::uint32_t parent;
        std::uint64_t bidData;
        std::uint64_t bidSub;
        std::uint32_t key() const { return nid; }
    };
    struct PageRef
    {
        std::uint64_t key;
        std::uint64_t bid;
        std::uint64_t ib;
    };

    std::uint64_t allocate(std::uint64_t size, std::uint64_t align);
    void markAllocated(std::uint64_t offset, std::uint64_t size);
    void ensureRegion(std::uint64_t index);
    // Writes the allocation map (and page map) of the region being left.
    void writeRegionMaps();
    std::uint64_t regionStart(std::uint64_t index) const;
    std::uint64_t regionReservedEnd(std::uint64_t index) const;
    void writeAt(std::uint64_t offset, const char* data, std::size_t size);
    std::uint64_t nextBid(bool internal);
    // A block's bytes as stored: encrypted if external, then deflated in 4k stores when smaller.
    QByteArray storedForm(const QByteArray& data, std::uint64_t bid, bool internal, bool mayDeflate) const;
    // Fills in a page's trailer: type, signature, checksum and id in the format's order.
    void sealPage(char* page, std::uint8_t ptype, std::uint16_t signature, std::uint64_t bid) const;
    // Block ids, byte offsets and the keys of the index are 4 bytes wide in ANSI stores, else 8.
    void putId(char* at, std::uint64_t value) const;
    void appendId(QByteArray& out, std::uint64_t value) const;
    PageRef writePage(QByteArray page, std::uint8_t ptype, std::uint64_t firstKey);
    // Writes the counts of a B-tree page after its entries.
    void putPageCounts(char* page, std::size_t count, std::size_t capacity, std::size_t entrySize,
                       std::size_t level) const;
    void markFree(std::uint64_t offset, std::uint64_t size);
    void putBlockEntry(char* at, const BlockEntry& e) const;
    void putNodeEntry(char* at, const NodeEntry& e) const;
    template <typename Entry, typename Put>
    void writeSupersededLeaves(std::uint8_t ptype, std::size_t entrySize, std::vector<Entry>& entries,
                               Put put);
    template <typename Entry, typename Put>
    PageRef buildTree(std::uint8_t ptype, std::size_t entrySize, SortedSpill<Entry>& entries, Put put);
    void writeHeader(const PageRef& nbt, const PageRef& bbt);

    StoreOptions m_options;
    QString m_path;
    std::FILE* m_file = nullptr;
    std::vector<char> m_buffer;
    std::uint64_t m_filePos = 0;
    std::uint64_t m_pos = 0;
    std::uint64_t m_fileEnd = 0;
    std::uint64_t m_nextBidIndex = 1;
    bool m_ansi;
    std::size_t m_idSize;
    std::size_t m_pageSize;
    // The bytes of a page before its trailer, which its checksum covers.
    std::size_t m_pageData;
    // Where an allocation map's bits start in its page, and how many bytes they take.
    std::size_t m_mapOffset;
    std::size_t m_mapBytes;
    // The entries of a B-tree page, followed by its counts.
    std::size_t m_btreeEntries;
    std::uint64_t m_firstAMap;
    std::uint64_t m_sizeLimit;
    std::size_t m_blockAlign;
    std::size_t m_blockTrailer;
    std::size_t m_maxBlockData;
    std::uint64_t m_regionSize;
    // The allocation map of the last region; the earlier ones are on disk.
    std::vector<std::uint8_t> m_allocation;
    std::uint64_t m_regions = 0;
    std::uint64_t m_freeUnits = 0;
    std::uint64_t m_nodeCount = 0;
    SortedSpill<BlockEntry> m_blocks;
    SortedSpill<NodeEntry> m_nodes;
    bool m_freeing = false;
    Node m_lastNode{0, 0};
    std::vector<BlockEntry> m_freedBlocks;
    std::vector<NodeEntry> m_freedNodes;
    std::uint32_t m_maxNidIndex[32] = {};
};

} // namespace storegen
