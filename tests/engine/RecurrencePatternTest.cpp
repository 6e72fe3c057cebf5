#include "engine/RecurrencePattern.h"

#include <QtEndian>
#include <gtest/gtest.h>

namespace {

using engine::RecurrencePattern;

class Blob
{
public:
    Blob& u16(std::uint16_t value)
    {
        char bytes[2];
        qToLittleEndian(value, bytes);
        m_data.append(bytes, 2);
        return *this;
    }
    Blob& u32(std::uint32_t value)
    {
        char bytes[4];
        qToLittleEndian(value, bytes);
        m_data.append(bytes, 4);
        return *this;
    }
    Blob& date(int year, int month, int day, int minutes = 0)
    {
        const qint64 days = QDate(1601, 1, 1).daysTo(QDate(year, month, day));
        return u32(static_cast<std::uint32_t>(days * 1440 + minutes));
    }
    const QByteArray& data() const { return m_data; }

private:
    QByteArray m_data;
};

// A weekly series on Monday and Wednesday from 2024-03-25, six times, 09:00-10:00, with the
// instance of 3 April deleted and that of 8 April moved to 9 April with a new subject.
QByteArray weeklyWithException()
{
    Blob b;
    b.u16(0x3004).u16(0x3004).u16(0x200B).u16(0x0001).u16(0).u32(0).u32(1).u32(0);
    b.u32(0b0001010);            // Monday, Wednesday
    b.u32(0x2022).u32(6).u32(1); // six instances, weeks start on Monday
    b.u32(2).date(2024, 4, 3).date(2024, 4, 8);
    b.u32(1).date(2024, 4, 9);
    b.date(2024, 3, 25).date(2024, 4, 10);
    b.u32(0x3006).u32(0x3009).u32(540).u32(600).u16(1);
    b.date(2024, 4, 9, 600).date(2024, 4, 9, 690).date(2024, 4, 8).u16(0x0001).u16(6).u16(5);
    QByteArray data = b.data() + QByteArray("Moved");
    Blob extended;
    extended.u32(0).u32(4).u32(0).u32(0).date(2024, 4, 9, 600).date(2024, 4, 9, 690).date(2024, 4, 8);
    extended.u16(2).u16(u'M').u16(0x00FC).u32(0).u32(0);
    return data + extended.data();
}

TEST(RecurrencePattern, AppointmentSeriesWithDeletedAndModifiedInstances)
{
    const auto pattern = RecurrencePattern::parse(weeklyWithException(), true, 1252);
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
    const QByteArray blob = weeklyWithException();
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
