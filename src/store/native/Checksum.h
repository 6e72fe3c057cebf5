#pragma once

#include <cstddef>
#include <cstdint>

namespace store::native {

// The store format's CRC-32 (polynomial 0xEDB88320, no inversion before or after) and the
// signature of a page or block trailer.
std::uint32_t formatCrc(const char* data, std::size_t size);
std::uint16_t blockSignature(std::uint64_t offset, std::uint64_t bid);

} // namespace store::native
