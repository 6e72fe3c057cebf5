#include "Permutation.h"

#include <stdexcept>

namespace storegen {

void Permutation::encode(char*, std::size_t)
{
    throw std::runtime_error("compressible encryption is not available yet");
}

void Permutation::decode(char*, std::size_t)
{
    throw std::runtime_error("compressible encryption is not available yet");
}

} // namespace storegen
