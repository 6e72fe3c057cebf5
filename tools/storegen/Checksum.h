#pragma once

#include <cstddef>
#include <cstdint>

namespace storegen {

// The store format's checksums: a CRC-32 (reflected polynomial 0xEDB88320) that starts at zero and
// is not inverted, and the 16-bit signature that ties a block or page to its offset and id.
class Checksum
{
public:
    static std::uint32_t crc(const char* data, std::size_t size, std::uint32_t start = 0);
    static std::uint16_t signature(std::uint64_t offset, std::uint64_t bid);
};

} // namespace storegen
