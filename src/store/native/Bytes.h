#pragma once

#include <cstdint>
#include <cstring>

namespace store::native {

// Little-endian values at a position the caller has checked to lie inside its buffer.
inline std::uint8_t get8(const char* at)
{
    return static_cast<std::uint8_t>(*at);
}
inline std::uint16_t get16(const char* at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(at);
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t get32(const char* at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(at);
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t get64(const char* at)
{
    return static_cast<std::uint64_t>(get32(at)) | (static_cast<std::uint64_t>(get32(at + 4)) << 32);
}

} // namespace store::native
