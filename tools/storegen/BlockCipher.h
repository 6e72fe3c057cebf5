#pragma once

#include <cstddef>

namespace storegen {

// The "compressible encryption" of data blocks: a fixed byte substitution.
class Permutation
{
public:
    static void encode(char* data, std::size_t size);
    static void decode(char* data, std::size_t size);
};

} // namespace storegen
