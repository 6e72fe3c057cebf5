#include "Checksum.h"

#include <zlib.h>

namespace storegen {

std::uint32_t Checksum::crc(const char* data, std::size_t size, std::uint32_t start)
{
    // zlib's CRC-32 uses the same polynomial but inverts before and after; undoing both gives
    // the store format's variant at zlib's speed.
    uLong c = ~start & 0xFFFFFFFFu;
    while (size > 0) {
        const auto chunk = static_cast<uInt>(size > 0x40000000u ? 0x40000000u : size);
        c = crc32(c, reinterpret_cast<const Bytef*>(data), chunk);
        data += chunk;
        size -= chunk;
    }
    return static_cast<std::uint32_t>(~c & 0xFFFFFFFFu);
}

std::uint16_t Checksum::signature(std::uint64_t offset, std::uint64_t bid)
{
    // Only the low 32 bits of both take part.
    const std::uint32_t mixed = static_cast<std::uint32_t>(offset) ^ static_cast<std::uint32_t>(bid);
    return static_cast<std::uint16_t>((mixed >> 16) ^ (mixed & 0xFFFF));
}

} // namespace storegen
