#include "FileTime.h"

#include <array>
#include <cstdio>

namespace store {

namespace {

constexpr std::uint64_t kTicksPerSecond = 10'000'000;
constexpr std::uint64_t kSecondsPerDay = 86'400;
// Days from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kDaysFrom1601To1970 = 134'774;

struct CivilDate
{
    std::int64_t year;
    unsigned month;
    unsigned day;
};

// Proleptic Gregorian calendar from days since 1970-01-01 (H. Hinnant's civil_from_days).
CivilDate civilFromDays(std::int64_t days)
{
    days += 719'468;
    const std::int64_t era = (days >= 0 ? days : days - 146'096) / 146'097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146'097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36'524 - dayOfEra / 146'096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    const unsigned month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    const std::int64_t year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
    return {year, month, day};
}

} // namespace

std::optional<QString> fileTimeToText(std::uint64_t fileTime)
{
    static constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::uint64_t totalSeconds = fileTime / kTicksPerSecond;
    const auto days = static_cast<std::int64_t>(totalSeconds / kSecondsPerDay);
    const std::uint64_t secondOfDay = totalSeconds % kSecondsPerDay;
    const CivilDate date = civilFromDays(days - kDaysFrom1601To1970);
    if (date.year > 9999)
        return std::nullopt;
    char text[32];
    std::snprintf(text, sizeof text, "%s %02u, %04lld %02u:%02u:%02u", kMonths[date.month - 1], date.day,
                  static_cast<long long>(date.year), static_cast<unsigned>(secondOfDay / 3600),
                  static_cast<unsigned>(secondOfDay / 60 % 60), static_cast<unsigned>(secondOfDay % 60));
    return QString::fromLatin1(text);
}

} // namespace store
