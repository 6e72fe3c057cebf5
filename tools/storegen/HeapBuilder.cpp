#include "HeapBuilder.h"

#include "Bytes.h"

#include <cstring>
#include <stdexcept>

namespace storegen {

using namespace bytes;

namespace {

// The fill level code of a block by its free bytes.
std::uint8_t fillLevel(std::size_t freeBytes)
{
    static const std::size_t limits[] = {3584, 2560, 2048, 1792, 1536, 1280, 1024, 768,
                                         512,  256,  128,  64,   32,   16,   8};
    std::uint8_t level = 0;
    for (std::size_t limit : limits) {
        if (freeBytes >= limit)
            return level;
        ++level;
    }
    return 0x0F;
}

bool isBitmapBlock(std::size_t index)
{
    return index % 128 == 8;
}

} // namespace

HeapBuilder::HeapBuilder(std::uint8_t clientSignature, std::size_t maxBlockData, Sink sink)
    : m_clientSignature(clientSignature), m_maxBlockData(maxBlockData), m_sink(std::move(sink))
{
}

std::size_t HeapBuilder::headerSize(std::size_t blockIndex) const
{
    if (blockIndex == 0)
        return 12;
    if (isBitmapBlock(blockIndex))
        return 66;
    return 2;
}

std::size_t HeapBuilder::freeBytes(std::size_t blockIndex) const
{
    const Block& block = m_blocks[blockIndex];
    // Header and data, aligned to two bytes, then the page map with count + 1 offsets.
    const std::size_t data = (headerSize(blockIndex) + block.used + 1) / 2 * 2;
    return m_maxBlockData - (data + 4 + 2 * (block.count + 1));
}

std::uint32_t HeapBuilder::allocate(const QByteArray& data)
{
    const auto size = static_cast<std::size_t>(data.size());
    if (size > kMaxAllocation)
        throw std::logic_error("heap allocation too large");
    auto fits = [&](const Block& block, std::size_t index) {
        const std::size_t count = block.count + 1;
        // Header, data, alignment of the page map, and the map with count + 1 offsets.
        return headerSize(index) + block.used + size + 1 + 4 + 2 * (count + 1) <= m_maxBlockData &&
               count < 2048;
    };
    if (m_blocks.empty() || !fits(m_blocks.back(), m_blocks.size() - 1)) {
        if (m_blocks.size() > 0xFFFF)
            throw std::runtime_error("heap of more than 65,536 blocks");
        m_blocks.emplace_back();
        if (m_blocks.size() > 1)
            closed(m_blocks.size() - 2);
    }
    Block& block = m_blocks.back();
    block.allocations.push_back(data);
    block.used += size;
    ++block.count;
    const auto blockIndex = static_cast<std::uint32_t>(m_blocks.size() - 1);
    const auto index = static_cast<std::uint32_t>(block.count);
    return (blockIndex << 16) | (index << 5);
}

void HeapBuilder::replace(std::uint32_t hid, const QByteArray& data)
{
    Block& block = m_blocks.at(hid >> 16);
    if (block.handedOver)
        throw std::logic_error("heap replacement in a block already written");
    QByteArray& slot = block.allocations.at(((hid >> 5) & 0x7FF) - 1);
    if (slot.size() != data.size())
        throw std::logic_error("heap replacement of another size");
    slot = data;
}

void HeapBuilder::closed(std::size_t blockIndex)
{
    if (!m_sink)
        return;
    if (blockIndex != 0 && !isBitmapBlock(blockIndex))
        handOver(blockIndex);
    // The bitmap block describing this one is complete with its last block.
    if (blockIndex >= 8 && (blockIndex - 8) % 128 == 127)
        handOver(blockIndex - 127);
}

void HeapBuilder::handOver(std::size_t blockIndex)
{
    m_sink(blockIndex, serialize(blockIndex));
    Block& block = m_blocks[blockIndex];
    block.allocations = std::vector<QByteArray>();
    block.handedOver = true;
}

void HeapBuilder::finish()
{
    for (std::size_t b = 0; b < m_blocks.size(); ++b) {
        if (!m_blocks[b].handedOver)
            handOver(b);
    }
}

std::uint32_t HeapBuilder::addBTree(const std::vector<QByteArray>& records, std::uint8_t keySize,
                                    std::uint8_t dataSize)
{
    HeapBTreeWriter tree(*this, keySize, dataSize);
    for (const QByteArray& record : records)
        tree.add(record.constData());
    return tree.finish();
}

QByteArray HeapBuilder::serialize(std::size_t b) const
{
    const Block& block = m_blocks[b];
    QByteArray data(static_cast<qsizetype>(headerSize(b)), '\0');
    std::vector<std::uint16_t> offsets;
    for (const QByteArray& a : block.allocations) {
        offsets.push_back(static_cast<std::uint16_t>(data.size()));
        data.append(a);
    }
    offsets.push_back(static_cast<std::uint16_t>(data.size()));
    if (data.size() % 2)
        data.append('\0');
    put16(data.data(), static_cast<std::uint16_t>(data.size()));
    append16(data, static_cast<std::uint16_t>(block.allocations.size()));
    append16(data, 0);
    for (std::uint16_t o : offsets)
        append16(data, o);

    // The first block's header names the heap's kind and root; bitmap headers and the first
    // header carry the fill levels of the blocks they describe.
    if (b == 0) {
        char* first = data.data();
        first[2] = static_cast<char>(0xEC);
        first[3] = static_cast<char>(m_clientSignature);
        put32(first + 4, m_userRoot);
        for (std::size_t i = 0; i < 8 && i < m_blocks.size(); ++i)
            first[8 + i / 2] =
                static_cast<char>(first[8 + i / 2] | (fillLevel(freeBytes(i)) << (4 * (i % 2))));
    } else if (isBitmapBlock(b)) {
        char* map = data.data() + 2;
        for (std::size_t i = 0; i < 128 && b + i < m_blocks.size(); ++i)
            map[i / 2] = static_cast<char>(map[i / 2] | (fillLevel(freeBytes(b + i)) << (4 * (i % 2))));
    }
    return data;
}

std::vector<QByteArray> HeapBuilder::blocks() const
{
    std::vector<QByteArray> out;
    out.reserve(m_blocks.size());
    for (std::size_t b = 0; b < m_blocks.size(); ++b)
        out.push_back(serialize(b));
    return out;
}

HeapBTreeWriter::HeapBTreeWriter(HeapBuilder& heap, std::uint8_t keySize, std::uint8_t dataSize)
    : m_heap(heap), m_keySize(keySize), m_dataSize(dataSize)
{
}

std::size_t HeapBTreeWriter::recordSize(std::size_t level) const
{
    return std::size_t(m_keySize) + (level == 0 ? m_dataSize : 4);
}

char* HeapBTreeWriter::slot(std::size_t level)
{
    if (m_levels.size() <= level)
        m_levels.emplace_back();
    if (m_levels[level].count == HeapBuilder::kMaxAllocation / recordSize(level))
        close(level);
    Level& l = m_levels[level];
    const qsizetype at = l.node.size();
    l.node.resize(at + static_cast<qsizetype>(recordSize(level)));
    ++l.count;
    return l.node.data() + at;
}

void HeapBTreeWriter::add(const char* record)
{
    std::memcpy(slot(0), record, recordSize(0));
}

void HeapBTreeWriter::close(std::size_t level)
{
    const std::uint32_t hid = m_heap.allocate(m_levels[level].node);
    const QByteArray firstKey = m_levels[level].node.left(m_keySize);
    m_levels[level].node.clear();
    m_levels[level].count = 0;
    ++m_levels[level].written;
    char* up = slot(level + 1);
    std::memcpy(up, firstKey.constData(), m_keySize);
    put32(up + m_keySize, hid);
}

std::uint32_t HeapBTreeWriter::finish()
{
    QByteArray header;
    append8(header, 0xB5);
    append8(header, m_keySize);
    append8(header, m_dataSize);
    append8(header, 0);
    append32(header, 0);
    // From the bottom up; the first level that never moved a node into the heap holds the root.
    for (std::size_t level = 0; level < m_levels.size(); ++level) {
        if (level + 1 == m_levels.size() && m_levels[level].written == 0) {
            header[3] = static_cast<char>(level);
            put32(header.data() + 4, m_heap.allocate(m_levels[level].node));
            break;
        }
        if (m_levels[level].count > 0)
            close(level);
    }
    m_levels.clear();
    return m_heap.allocate(header);
}

} // namespace storegen
