#include "Checksum.h"

#include <libdeflate.h>

namespace store::native {

std::uint32_t formatCrc(const char* data, std::size_t size)
{
    // libdeflate's CRC-32 has the same polynomial but inverts before and after; undoing both gives
    // the format's variant at the speed of its carry-less multiplication (every block read is
    // checked, so this counts).
    return ~libdeflate_crc32(0xFFFFFFFFu, data, size);
}

std::uint16_t blockSignature(std::uint64_t offset, std::uint64_t bid)
{
    const std::uint64_t mixed = offset ^ bid;
    return static_cast<std::uint16_t>((mixed >> 16) ^ mixed);
}

} // namespace store::native
