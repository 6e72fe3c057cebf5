#include "store/FileTime.h"

#include <gtest/gtest.h>

namespace {

constexpr std::uint64_t kTicksPerSecond = 10'000'000;
// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::uint64_t kEpochOffset = 11'644'473'600;

std::uint64_t fromUnix(std::uint64_t seconds)
{
    return (seconds + kEpochOffset) * kTicksPerSecond;
}

struct Case
{
    std::uint64_t fileTime;
    const char* text;
};

TEST(FileTimeToText, FormatsTwentyOneCharactersInUtc)
{
    const Case cases[] = {
        {fromUnix(1262700239), "Jan 05, 2010 14:03:59"},
        {fromUnix(0), "Jan 01, 1970 00:00:00"},
        {fromUnix(951782400), "Feb 29, 2000 00:00:00"},          // leap day of a century leap year
        {fromUnix(4107456000 + 86399), "Feb 28, 2100 23:59:59"}, // 2100 is no leap year
        {fromUnix(1703980800 + 86399), "Dec 31, 2023 23:59:59"},
        {0, "Jan 01, 1601 00:00:00"},
        {fromUnix(1262700239) + kTicksPerSecond - 1,
         "Jan 05, 2010 14:03:59"},                         // fractions are cut, not rounded
        {2650467743999999999ULL, "Dec 31, 9999 23:59:59"}, // the last representable second
    };
    for (const Case& c : cases) {
        const std::optional<QString> text = store::fileTimeToText(c.fileTime);
        ASSERT_TRUE(text.has_value()) << c.text;
        EXPECT_EQ(text->toStdString(), c.text);
        EXPECT_EQ(text->size(), 21);
    }
}

TEST(FileTimeToText, GivesNoTextBeyondYear9999)
{
    EXPECT_FALSE(store::fileTimeToText(2650467744000000000ULL).has_value());
    EXPECT_FALSE(store::fileTimeToText(0xFFFFFFFFFFFFFFFFULL).has_value());
    EXPECT_FALSE(store::fileTimeToText(0x7FFFFFFFFFFFFFFFULL).has_value());
}

} // namespace
