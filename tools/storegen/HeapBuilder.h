#pragma once

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace storegen {

// Builds a heap-on-node: numbered allocations spread over blocks, each block closed by its page
// map. Allocation ids (HIDs) are final as soon as they are handed out, so structures can refer to
// each other in any order; an allocation's content may be replaced by one of the same size.
class HeapBuilder
{
public:
    static constexpr std::size_t kMaxAllocation = 3580;

    HeapBuilder(std::uint8_t clientSignature, std::size_t maxBlockData);

    std::uint32_t allocate(const QByteArray& data);
    void replace(std::uint32_t hid, const QByteArray& data);
    void setUserRoot(std::uint32_t hid) { m_userRoot = hid; }

    // Builds a B-tree-on-heap of sorted records (key followed by data) and returns the HID of its
    // header.
    std::uint32_t addBTree(const std::vector<QByteArray>& records, std::uint8_t keySize,
                           std::uint8_t dataSize);

    // The blocks of the node's data, in order.
    std::vector<QByteArray> blocks() const;

private:
    struct Block
    {
        std::vector<QByteArray> allocations;
        std::size_t used = 0;
    };

    std::size_t headerSize(std::size_t blockIndex) const;

    std::uint8_t m_clientSignature;
    std::size_t m_maxBlockData;
    std::uint32_t m_userRoot = 0;
    std::vector<Block> m_blocks;
};

} // namespace storegen
