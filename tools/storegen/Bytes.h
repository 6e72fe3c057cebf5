#pragma once

#include <QByteArray>
#include <cstdint>
#include <cstring>

// Little-endian encoding helpers shared by the store writer's layers.
namespace storegen::bytes {

inline void put16(char* at, std::uint16_t v)
{
    at[0] = static_cast<char>(v & 0xFF);
    at[1] = static_cast<char>(v >> 8);
}

inline void put32(char* at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline void put64(char* at, std::uint64_t v)
{
    for (int i = 0; i < 8; ++i)
        at[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline void append8(QByteArray& out, std::uint8_t v)
{
    out.append(static_cast<char>(v));
}

inline void append16(QByteArray& out, std::uint16_t v)
{
    char b[2];
    put16(b, v);
    out.append(b, 2);
}

inline void append32(QByteArray& out, std::uint32_t v)
{
    char b[4];
    put32(b, v);
    out.append(b, 4);
}

inline void append64(QByteArray& out, std::uint64_t v)
{
    char b[8];
    put64(b, v);
    out.append(b, 8);
}

inline std::uint16_t get16(const char* at)
{
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(at[0]) |
                                      (static_cast<std::uint8_t>(at[1]) << 8));
}

inline std::uint32_t get32(const char* at)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<std::uint8_t>(at[i]);
    return v;
}

inline std::uint64_t get64(const char* at)
{
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | static_cast<std::uint8_t>(at[i]);
    return v;
}

} // namespace storegen::bytes
