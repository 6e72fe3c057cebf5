#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace store {

// A FILETIME (100-nanosecond intervals since 1601-01-01 UTC) as the 21-character date-time text
// "Jan 05, 2010 14:03:59", in UTC as stored. Years beyond 9999 have no text.
std::optional<QString> fileTimeToText(std::uint64_t fileTime);

// A FILETIME as milliseconds since 1970-01-01 UTC (negative before 1970).
inline qint64 fileTimeToMsecsSinceEpoch(std::uint64_t fileTime)
{
    constexpr std::int64_t EpochDifference = 116444736000000000LL; // 1601 to 1970 in 100 ns
    return (static_cast<std::int64_t>(fileTime) - EpochDifference) / 10000;
}

} // namespace store
