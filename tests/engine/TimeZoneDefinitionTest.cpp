#include "engine/TimeZoneDefinition.h"

#include <QTimeZone>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {

using engine::TimeZoneDefinition;

QByteArray systemTime(int month, int dayOfWeek, int week, int hour)
{
    QByteArray bytes(16, '\0');
    qToLittleEndian<std::uint16_t>(month, bytes.data() + 2);
    qToLittleEndian<std::uint16_t>(dayOfWeek, bytes.data() + 4);
    qToLittleEndian<std::uint16_t>(week, bytes.data() + 6);
    qToLittleEndian<std::uint16_t>(hour, bytes.data() + 8);
    return bytes;
}

// A definition with one rule, as appointments store it.
QByteArray definition(const QString& name, int bias, int daylightBias, const QByteArray& standard,
                      const QByteArray& daylight)
{
    QByteArray header;
    header.append("\x02\x00", 2);
    const std::u16string key = name.toStdU16String();
    QByteArray length(2, '\0');
    qToLittleEndian<std::uint16_t>(static_cast<std::uint16_t>(key.size()), length.data());
    header += length;
    header.append(reinterpret_cast<const char*>(key.data()), static_cast<qsizetype>(key.size() * 2));
    header.append("\x01\x00", 2);
    QByteArray blob("\x02\x01", 2);
    QByteArray size(2, '\0');
    qToLittleEndian<std::uint16_t>(static_cast<std::uint16_t>(header.size()), size.data());
    blob += size + header;
    QByteArray rule(22, '\0');
    rule[0] = 2;
    rule[1] = 1;
    rule[4] = 2; // the rule in effect
    QByteArray biases(12, '\0');
    qToLittleEndian<std::int32_t>(bias, biases.data());
    qToLittleEndian<std::int32_t>(daylightBias, biases.data() + 8);
    return blob + rule + biases + standard + daylight;
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

} // namespace
