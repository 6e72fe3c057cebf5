#include "Checksum.h"

#include <zlib.h>

namespace store::native {

std::uint32_t formatCrc(const char* data, std::size_t size)
{
    // zlib's CRC-32 has the same polynomial but inverts before and after; undoing both gives the
    // format's variant at zlib's speed.
    uLong crc = 0xFFFFFFFFu;
    while (size > 0) {
        const auto chunk = static_cast<uInt>(size > 0x40000000u ? 0x40000000u : size);
        crc = crc32(crc, reinterpret_cast<const Bytef*>(data), chunk);
        data += chunk;
        size -= chunk;
    }
    return static_cast<std::uint32_t>(~crc & 0xFFFFFFFFu);
}

std::uint16_t blockSignature(std::uint64_t offset, std::uint64_t bid)
{
    const std::uint64_t mixed = offset ^ bid;
    return static_cast<std::uint16_t>((mixed >> 16) ^ mixed);
}

} // namespace store::native
