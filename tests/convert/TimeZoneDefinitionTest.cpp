#include "convert/TimeZoneDefinition.h"

#include <QTimeZone>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {

using convert::TimeZoneDefinition;

QByteArray systemTime(int month, int dayOfWeek, int week, int hour)
{
    QByteArray bytes(16, '\0');
    qToLittleEndian<std::uint16_t>(month, bytes.data() + 2);
    qToLittleEndian<std::uint16_t>(dayOfWeek, bytes.data() + 4);
    qToLittleEndian<std::uint16_t>(week, bytes.data() + 6);
    qToLittleEndian<std::uint16_t>(hour, bytes.data() + 8);
    return bytes;
}

struct RuleBytes
{
    int year;
    int bias;
    int daylightBias;
    QByteArray standard;
    QByteArray daylight;
    bool effective = false;
};

// A definition with its rules in the given order, as appointments store it.
QByteArray definition(const QString& name, const std::vector<RuleBytes>& rules)
{
    QByteArray header;
    header.append("\x02\x00", 2);
    const std::u16string key = name.toStdU16String();
    QByteArray length(2, '\0');
    qToLittleEndian<std::uint16_t>(static_cast<std::uint16_t>(key.size()), length.data());
    header += length;
    header.append(reinterpret_cast<const char*>(key.data()), static_cast<qsizetype>(key.size() * 2));
    QByteArray count(2, '\0');
    qToLittleEndian<std::uint16_t>(static_cast<std::uint16_t>(rules.size()), count.data());
    header += count;
    QByteArray blob("\x02\x01", 2);
    QByteArray size(2, '\0');
    qToLittleEndian<std::uint16_t>(static_cast<std::uint16_t>(header.size()), size.data());
    blob += size + header;
    for (const RuleBytes& r : rules) {
        QByteArray rule(22, '\0');
        rule[0] = 2;
        rule[1] = 1;
        rule[4] = r.effective ? 2 : 0;
        qToLittleEndian<std::uint16_t>(static_cast<std::uint16_t>(r.year), rule.data() + 6);
        QByteArray biases(12, '\0');
        qToLittleEndian<std::int32_t>(r.bias, biases.data());
        qToLittleEndian<std::int32_t>(r.daylightBias, biases.data() + 8);
        blob += rule + biases + r.standard + r.daylight;
    }
    return blob;
}

QByteArray definition(const QString& name, int bias, int daylightBias, const QByteArray& standard,
                      const QByteArray& daylight)
{
    return definition(name, {{0, bias, daylightBias, standard, daylight, true}});
}

QDateTime utc(int y, int m, int d, int h, int min = 0)
{
    return QDateTime(QDate(y, m, d), QTime(h, min), QTimeZone::utc());
}

TEST(TimeZoneDefinition, SouthernHemisphereHasDaylightTimeAcrossTheTurnOfTheYear)
{
    // Sydney: UTC+10, daylight time (+11) from the first Sunday of October 02:00 to the first
    // Sunday of April 03:00.
    const auto zone =
        TimeZoneDefinition::fromDefinition(definition(QStringLiteral("AUS Eastern Standard Time"), -600, -60,
                                                      systemTime(4, 0, 1, 3), systemTime(10, 0, 1, 2)));
    ASSERT_TRUE(zone);
    EXPECT_EQ(zone->name(), QStringLiteral("AUS Eastern Standard Time"));
    EXPECT_EQ(zone->toLocal(utc(2024, 1, 15, 0)), utc(2024, 1, 15, 11));
    EXPECT_EQ(zone->toLocal(utc(2024, 7, 15, 0)), utc(2024, 7, 15, 10));
    // 2024-04-07 03:00 daylight time is 02:00 standard time: the last daylight minute is 15:59 UTC.
    EXPECT_EQ(zone->toLocal(utc(2024, 4, 6, 15, 59)), utc(2024, 4, 7, 2, 59));
    EXPECT_EQ(zone->toLocal(utc(2024, 4, 6, 16, 0)), utc(2024, 4, 7, 2, 0));
    for (const QDateTime& local : {utc(2024, 1, 15, 9), utc(2024, 7, 15, 9), utc(2024, 10, 6, 12)})
        EXPECT_EQ(zone->toLocal(zone->toUtc(local)), local) << local.toString(Qt::ISODate).toStdString();
    const QByteArray text = zone->vtimezone();
    EXPECT_TRUE(text.contains(
        "BEGIN:DAYLIGHT\r\nDTSTART:16011007T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=1SU\r\n"
        "TZOFFSETFROM:+1000\r\nTZOFFSETTO:+1100\r\n"))
        << text.constData();
}

TEST(TimeZoneDefinition, OlderStructureAndZonesWithoutDaylightTime)
{
    QByteArray structure(48, '\0');
    qToLittleEndian<std::int32_t>(300, structure.data()); // UTC-5
    const auto zone = TimeZoneDefinition::fromStructure(structure, QStringLiteral(" Bogota "));
    ASSERT_TRUE(zone);
    EXPECT_EQ(zone->name(), QStringLiteral("Bogota"));
    EXPECT_FALSE(zone->hasDaylightTime());
    EXPECT_EQ(zone->toLocal(utc(2024, 7, 1, 12)), utc(2024, 7, 1, 7));
    EXPECT_TRUE(zone->vtimezone().contains("TZOFFSETFROM:-0500\r\nTZOFFSETTO:-0500\r\n"));
}

TEST(TimeZoneDefinition, CutDefinitionsAreRefused)
{
    const QByteArray blob = definition(QStringLiteral("W. Europe Standard Time"), -60, -60,
                                       systemTime(10, 0, 5, 3), systemTime(3, 0, 5, 2));
    ASSERT_TRUE(TimeZoneDefinition::fromDefinition(blob));
    for (qsizetype size = 0; size < blob.size(); ++size)
        EXPECT_FALSE(TimeZoneDefinition::fromDefinition(QByteArray(blob.constData(), size))) << size;
    EXPECT_FALSE(TimeZoneDefinition::fromStructure(QByteArray(47, '\0'), QString()));
}

TEST(TimeZoneDefinition, EachYearFollowsTheRuleOfItsYear)
{
    const QByteArray none(16, '\0');
    // Moscow: UTC+3 with daylight time until 2010, UTC+4 all year from 2011, UTC+3 from 2014. The
    // rules come out of order, and 2014 twice: the rule in effect wins.
    const auto zone = TimeZoneDefinition::fromDefinition(
        definition(QStringLiteral("Russian Standard Time"),
                   {{2014, -240, 0, none, none},
                    {2011, -240, 0, none, none},
                    {2010, -180, -60, systemTime(10, 0, 5, 3), systemTime(3, 0, 5, 2)},
                    {2014, -180, 0, none, none, true}}));
    ASSERT_TRUE(zone);
    ASSERT_EQ(zone->rules().size(), 3u);
    EXPECT_TRUE(zone->hasDaylightTime());
    // The first rule also governs the years before it.
    EXPECT_EQ(zone->toLocal(utc(1990, 7, 1, 12)), utc(1990, 7, 1, 16));
    EXPECT_EQ(zone->toLocal(utc(2010, 1, 15, 12)), utc(2010, 1, 15, 15));
    EXPECT_EQ(zone->toLocal(utc(2010, 7, 1, 12)), utc(2010, 7, 1, 16));
    EXPECT_EQ(zone->toLocal(utc(2012, 1, 15, 12)), utc(2012, 1, 15, 16));
    EXPECT_EQ(zone->toLocal(utc(2020, 7, 1, 12)), utc(2020, 7, 1, 15));
    // The rules change at the local New Year, which is still the old year in UTC.
    EXPECT_EQ(zone->toLocal(utc(2010, 12, 31, 21, 30)), utc(2011, 1, 1, 1, 30));
    for (const QDateTime& local : {utc(2009, 6, 1, 9), utc(2011, 1, 1, 1, 30), utc(2016, 3, 1, 9)})
        EXPECT_EQ(zone->toLocal(zone->toUtc(local)), local) << local.toString(Qt::ISODate).toStdString();

    // The daylight rule ends with its last change before 2011; the later ones start at the New Year.
    const QByteArray text = zone->vtimezone();
    EXPECT_TRUE(text.contains("BEGIN:STANDARD\r\nDTSTART:16011028T030000\r\n"
                              "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU;COUNT=410\r\n"
                              "TZOFFSETFROM:+0400\r\nTZOFFSETTO:+0300\r\nEND:STANDARD\r\n"
                              "BEGIN:DAYLIGHT\r\nDTSTART:16010325T020000\r\n"
                              "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU;COUNT=410\r\n"
                              "TZOFFSETFROM:+0300\r\nTZOFFSETTO:+0400\r\nEND:DAYLIGHT\r\n"
                              "BEGIN:STANDARD\r\nDTSTART:20110101T000000\r\nTZOFFSETFROM:+0300\r\n"
                              "TZOFFSETTO:+0400\r\nEND:STANDARD\r\n"
                              "BEGIN:STANDARD\r\nDTSTART:20140101T000000\r\nTZOFFSETFROM:+0400\r\n"
                              "TZOFFSETTO:+0300\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n"))
        << text.constData();
}

} // namespace
