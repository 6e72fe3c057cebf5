#pragma once

#include <cstddef>
#include <cstdint>

namespace storegen {

// The two encodings of a store's data blocks: "compressible" encryption, a fixed byte
// substitution, and "high" encryption, a chain of substitutions keyed with the low 32 bits of the
// block's id that is its own inverse.
class BlockCipher
{
public:
    static void permute(char* data, std::size_t size);
    static void unpermute(char* data, std::size_t size);
    static void cycle(char* data, std::size_t size, std::uint32_t key);
};

} // namespace storegen
