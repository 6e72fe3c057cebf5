#pragma once

#include "FileHeader.h"

#include <cstdint>

namespace store::native {

// The trailer at the end of every block on disk: the data's size, a signature, the CRC of the
// data and the block's id; in 4k stores also the size of the data once inflated.
struct BlockTrailer
{
    std::uint16_t size = 0;
    std::uint16_t signature = 0;
    std::uint32_t crc = 0;
    std::uint64_t bid = 0;
    std::uint16_t inflated = 0;

    // trailer points at layout.blockTrailerSize bytes.
    static BlockTrailer read(const Layout& layout, const char* trailer);
};

} // namespace store::native
