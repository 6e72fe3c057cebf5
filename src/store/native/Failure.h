#pragma once

#include "store/StoreError.h"

#include <cstdint>
#include <string>

namespace store::native {

// "0x1a2b", for the offsets and ids that every message about a damaged structure names.
std::string hex(std::uint64_t value);

// Throws the StoreError that a damaged or unreadable structure of the file causes.
[[noreturn]] void fail(const std::string& message);

} // namespace store::native
