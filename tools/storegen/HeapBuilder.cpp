#include "HeapBuilder.h"

#include "Bytes.h"

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

} // namespace

HeapBuilder::HeapBuilder(std::uint8_t clientSignature, std::size_t maxBlockData)
    : m_clientSignature(clientSignature), m_maxBlockData(maxBlockData)
{
}

std::size_t HeapBuilder::headerSize(std::size_t blockIndex) const
{
    if (blockIndex == 0)
        return 12;
    if (blockIndex % 128 == 8)
        return 66;
    return 2;
}

std::uint32_t HeapBuilder::allocate(const QByteArray& data)
{
    const auto size = static_cast<std::size_t>(data.size());
    if (size > kMaxAllocation)
        throw std::logic_error("heap allocation too large");
    auto fits = [&](const Block& block, std::size_t index) {
        const std::size_t count = block.allocations.size() + 1;
        // Header, data, alignment of the page map, and the map with count + 1 offsets.
        return headerSize(index) + block.used + size + 1 + 4 + 2 * (count + 1) <= m_maxBlockData &&
               count < 2048;
    };
    if (m_blocks.empty() || !fits(m_blocks.back(), m_blocks.size() - 1))
        m_blocks.emplace_back();
    Block& block = m_blocks.back();
    block.allocations.push_back(data);
    block.used += size;
    const auto blockIndex = static_cast<std::uint32_t>(m_blocks.size() - 1);
    const auto index = static_cast<std::uint32_t>(block.allocations.size());
    return (blockIndex << 16) | (index << 5);
}

void HeapBuilder::replace(std::uint32_t hid, const QByteArray& data)
{
    QByteArray& slot = m_blocks.at(hid >> 16).allocations.at(((hid >> 5) & 0x7FF) - 1);
    if (slot.size() != data.size())
        throw std::logic_error("heap replacement of another size");
    slot = data;
}

std::uint32_t HeapBuilder::addBTree(const std::vector<QByteArray>& records, std::uint8_t keySize,
                                    std::uint8_t dataSize)
{
    QByteArray header;
    append8(header, 0xB5);
    append8(header, keySize);
    append8(header, dataSize);
    append8(header, 0);
    append32(header, 0);
    const std::uint32_t headerHid = allocate(header);
    if (records.empty())
        return headerHid;

    // Leaves first; then index levels of (first key, HID) until one allocation holds the level.
    std::vector<QByteArray> level = records;
    std::size_t recordSize = std::size_t(keySize) + dataSize;
    int indexLevels = 0;
    for (;;) {
        const std::size_t perAllocation = kMaxAllocation / recordSize;
        std::vector<QByteArray> upper;
        std::uint32_t lastHid = 0;
        for (std::size_t from = 0; from < level.size(); from += perAllocation) {
            QByteArray chunk;
            const std::size_t end = std::min(level.size(), from + perAllocation);
            for (std::size_t i = from; i < end; ++i)
                chunk.append(level[i]);
            lastHid = allocate(chunk);
            QByteArray entry = level[from].left(keySize);
            append32(entry, lastHid);
            upper.push_back(entry);
        }
        if (upper.size() == 1) {
            header[3] = static_cast<char>(indexLevels);
            put32(header.data() + 4, lastHid);
            replace(headerHid, header);
            return headerHid;
        }
        level.swap(upper);
        recordSize = std::size_t(keySize) + 4;
        ++indexLevels;
    }
}

std::vector<QByteArray> HeapBuilder::blocks() const
{
    std::vector<QByteArray> out;
    std::vector<std::size_t> freeBytes;
    for (std::size_t b = 0; b < m_blocks.size(); ++b) {
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
        freeBytes.push_back(m_maxBlockData - static_cast<std::size_t>(data.size()));
        out.push_back(data);
    }
    if (out.empty())
        return out;
    // The first block's header names the heap's kind and root; bitmap headers and the first
    // header carry the fill levels of the blocks they describe.
    char* first = out[0].data();
    first[2] = static_cast<char>(0xEC);
    first[3] = static_cast<char>(m_clientSignature);
    put32(first + 4, m_userRoot);
    for (std::size_t i = 0; i < 8 && i < freeBytes.size(); ++i)
        first[8 + i / 2] = static_cast<char>(first[8 + i / 2] | (fillLevel(freeBytes[i]) << (4 * (i % 2))));
    for (std::size_t b = 8; b < out.size(); b += 128) {
        char* map = out[b].data() + 2;
        for (std::size_t i = 0; i < 128 && b + i < freeBytes.size(); ++i)
            map[i / 2] = static_cast<char>(map[i / 2] | (fillLevel(freeBytes[b + i]) << (4 * (i % 2))));
    }
    return out;
}

} // namespace storegen
