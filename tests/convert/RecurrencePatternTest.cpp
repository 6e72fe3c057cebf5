#include "convert/RecurrencePattern.h"

#include "SampleRecurrence.h"

#include <QtEndian>
#include <gtest/gtest.h>

namespace {

using convert::RecurrencePattern;

using Blob = support::RecurrenceBlob;
using support::weeklySeriesWithException;

TEST(RecurrencePattern, AppointmentSeriesWithDeletedAndModifiedInstances)
{
    const auto pattern = RecurrencePattern::parse(weeklySeriesWithException(), true, 1252);
    ASSERT_TRUE(pattern);
    EXPECT_EQ(pattern->rrule(QString()), QStringLiteral("FREQ=WEEKLY;BYDAY=MO,WE;COUNT=6"));
    EXPECT_EQ(pattern->startMinutes, 540);
    ASSERT_EQ(pattern->removedDates().size(), 1u);
    EXPECT_EQ(pattern->removedDates()[0], QDate(2024, 4, 3));
    ASSERT_EQ(pattern->exceptions.size(), 1u);
    const RecurrencePattern::Exception& moved = pattern->exceptions[0];
    EXPECT_EQ(moved.originalDate, QDate(2024, 4, 8));
    EXPECT_EQ(moved.start.time(), QTime(10, 0));
    EXPECT_EQ(moved.end.time(), QTime(11, 30));
    // The wide-character copy wins over the 8-bit one.
    EXPECT_EQ(moved.subject, QStringLiteral("Mü"));
}

TEST(RecurrencePattern, EveryCutOfABlobIsReadOrRefusedWithoutReadingPastIt)
{
    const QByteArray blob = weeklySeriesWithException();
    for (qsizetype size = 0; size < blob.size(); ++size) {
        // Heap copies of the exact size let the address sanitizer see any read beyond the end.
        const QByteArray cut(blob.constData(), size);
        const auto pattern = RecurrencePattern::parse(cut, true, 1252);
        if (pattern) {
            EXPECT_GE(size, 60) << size;
        }
    }
    QByteArray huge = blob;
    qToLittleEndian<std::uint32_t>(0xFFFFFFF0u, huge.data() + 38); // deleted instance count
    EXPECT_FALSE(RecurrencePattern::parse(huge, true, 1252));
}

TEST(RecurrencePattern, RulesForEveryPatternType)
{
    struct Case
    {
        std::uint16_t frequency, type;
        std::uint32_t period;
        std::vector<std::uint32_t> specific;
        std::uint32_t endType, count;
        const char* rule;
    };
    const Case cases[] = {
        {0x200A, 0x0000, 1440, {}, 0x2023, 0, "FREQ=DAILY"},
        {0x200A, 0x0000, 4320, {}, 0x2022, 5, "FREQ=DAILY;INTERVAL=3;COUNT=5"},
        {0x200B,
         0x0001,
         2,
         {0b0111110},
         0x2021,
         0,
         "FREQ=WEEKLY;INTERVAL=2;BYDAY=MO,TU,WE,TH,FR;WKST=SU;UNTIL=X"},
        {0x200C, 0x0002, 1, {15}, 0x2023, 0, "FREQ=MONTHLY;BYMONTHDAY=15"},
        {0x200C, 0x0002, 3, {30}, 0x2023, 0, "FREQ=MONTHLY;INTERVAL=3;BYMONTHDAY=30,-1;BYSETPOS=1"},
        {0x200C, 0x0003, 1, {0b1000001, 5}, 0x2023, 0, "FREQ=MONTHLY;BYDAY=SU,SA;BYSETPOS=-1"},
        {0x200C, 0x0004, 1, {31}, 0x2023, 0, "FREQ=MONTHLY;BYMONTHDAY=-1"},
        {0x200D, 0x0002, 12, {29}, 0x2022, 4, "FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=29,-1;BYSETPOS=1;COUNT=4"},
        {0x200D,
         0x0003,
         24,
         {0b0010000, 4},
         0x2023,
         0,
         "FREQ=YEARLY;INTERVAL=2;BYMONTH=2;BYDAY=TH;BYSETPOS=4"},
    };
    for (const Case& c : cases) {
        Blob b;
        b.u16(0x3004).u16(0x3004).u16(c.frequency).u16(c.type).u16(0).u32(0).u32(c.period).u32(0);
        for (const std::uint32_t value : c.specific)
            b.u32(value);
        b.u32(c.endType).u32(c.count).u32(0).u32(0).u32(0).date(2024, 2, 29).date(2025, 2, 28);
        // A task's blob ends after the pattern.
        const auto pattern = RecurrencePattern::parse(b.data(), false, 1252);
        ASSERT_TRUE(pattern) << c.rule;
        EXPECT_EQ(pattern->rrule(QStringLiteral("X")), QString::fromLatin1(c.rule));
    }
}

} // namespace
