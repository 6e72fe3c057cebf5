#pragma once

#include <QByteArray>
#include <cstdint>
#include <functional>
#include <vector>

namespace storegen {

// Builds a heap-on-node: numbered allocations spread over blocks, each block closed by its page
// map. Allocation ids (HIDs) are final as soon as they are handed out, so structures can refer to
// each other in any order.
//
// By default every block stays in memory until blocks(). With a sink, a block that no later
// allocation can change is handed to the sink as soon as the heap moves on to the next one; only
// the first block (its header names the heap's root) and each bitmap block (it describes the
// 128 blocks after it) wait, and finish() hands over what is left.
class HeapBuilder
{
public:
    static constexpr std::size_t kMaxAllocation = 3580;
    // Receives a finished block: its index in the heap and its bytes.
    using Sink = std::function<void(std::size_t index, const QByteArray& bytes)>;

    HeapBuilder(std::uint8_t clientSignature, std::size_t maxBlockData, Sink sink = {});

    std::uint32_t allocate(const QByteArray& data);
    // Replaces an allocation by one of the same size while its block is still held.
    void replace(std::uint32_t hid, const QByteArray& data);
    void setUserRoot(std::uint32_t hid) { m_userRoot = hid; }

    // Builds a B-tree-on-heap of sorted records (key followed by data) and returns the HID of its
    // header.
    std::uint32_t addBTree(const std::vector<QByteArray>& records, std::uint8_t keySize,
                           std::uint8_t dataSize);

    std::size_t blockCount() const { return m_blocks.size(); }
    // The blocks of the node's data, in order (without a sink).
    std::vector<QByteArray> blocks() const;
    // Hands every block not yet handed over to the sink.
    void finish();

private:
    struct Block
    {
        std::vector<QByteArray> allocations;
        std::size_t count = 0;
        std::size_t used = 0;
        bool handedOver = false;
    };

    std::size_t headerSize(std::size_t blockIndex) const;
    std::size_t freeBytes(std::size_t blockIndex) const;
    QByteArray serialize(std::size_t blockIndex) const;
    void handOver(std::size_t blockIndex);
    // Called when the heap moves past a block: hands over whatever can no longer change.
    void closed(std::size_t blockIndex);

    std::uint8_t m_clientSignature;
    std::size_t m_maxBlockData;
    Sink m_sink;
    std::uint32_t m_userRoot = 0;
    std::vector<Block> m_blocks;
};

// Builds a B-tree-on-heap from records that arrive in ascending key order, holding one node per
// level: a full node is allocated in the heap when the next record for its level comes.
class HeapBTreeWriter
{
public:
    HeapBTreeWriter(HeapBuilder& heap, std::uint8_t keySize, std::uint8_t dataSize);

    // A record is the key followed by the data.
    void add(const char* record);
    // Allocates what is left and the tree's header; returns the header's HID.
    std::uint32_t finish();

private:
    struct Level
    {
        QByteArray node;
        std::size_t count = 0;
        std::size_t written = 0;
    };

    std::size_t recordSize(std::size_t level) const;
    // Where the next record of a level goes, after moving a full node into the heap.
    char* slot(std::size_t level);
    // Allocates a level's node and enters it one level up.
    void close(std::size_t level);

    HeapBuilder& m_heap;
    std::uint8_t m_keySize;
    std::uint8_t m_dataSize;
    std::vector<Level> m_levels;
};

} // namespace storegen
