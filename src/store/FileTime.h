#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace store {

// A FILETIME (100-nanosecond intervals since 1601-01-01 UTC) as the 21-character date-time text
// "Jan 05, 2010 14:03:59", in UTC as stored. Years beyond 9999 have no text.
std::optional<QString> fileTimeToText(std::uint64_t fileTime);

} // namespace store
