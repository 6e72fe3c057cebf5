#include "Checksum.h"

#include <array>

namespace storegen {

namespace {

std::array<std::uint32_t, 256> makeTable()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? (0xEDB88320u ^ (c >> 1)) : (c >> 1);
        table[i] = c;
    }
    return table;
}

} // namespace

std::uint32_t Checksum::crc(const char* data, std::size_t size, std::uint32_t start)
{
    static const std::array<std::uint32_t, 256> table = makeTable();
    std::uint32_t c = start;
    for (std::size_t i = 0; i < size; ++i)
        c = table[(c ^ static_cast<std::uint8_t>(data[i])) & 0xFF] ^ (c >> 8);
    return c;
}

std::uint16_t Checksum::signature(std::uint64_t offset, std::uint64_t bid)
{
    // Only the low 32 bits of both take part.
    const std::uint32_t mixed = static_cast<std::uint32_t>(offset) ^ static_cast<std::uint32_t>(bid);
    return static_cast<std::uint16_t>((mixed >> 16) ^ (mixed & 0xFFFF));
}

} // namespace storegen
