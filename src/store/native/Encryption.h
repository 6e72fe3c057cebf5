#pragma once

#include <cstddef>
#include <cstdint>

namespace store::native {

// The store format's two encodings of data blocks. The permutation ("compressible") encoding
// substitutes each byte; the cyclic ("high") encoding is its own inverse, keyed with the low
// 32 bits of the block id. Both work in place.
void decodePermutation(char* data, std::size_t size);
void encodePermutation(char* data, std::size_t size);
void codeCyclic(char* data, std::size_t size, std::uint32_t key);

} // namespace store::native
