#include "Failure.h"

#include <cstdio>

namespace store::native {

std::string hex(std::uint64_t value)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

void fail(const std::string& message)
{
    throw StoreError(message);
}

} // namespace store::native
