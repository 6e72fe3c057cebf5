#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>

namespace engine {

// A Windows time zone as an appointment stores it: the rule in effect of a time-zone definition
// (PidLidAppointmentTimeZoneDefinitionStartDisplay and its kin) or the older time-zone structure
// (PidLidTimeZoneStruct). Converts UTC to the zone's local time and writes the iCalendar
// VTIMEZONE that describes it.
class TimeZoneDefinition
{
public:
    // A yearly transition: the n-th (5: last) weekday of a month at a local time.
    struct Transition
    {
        int month = 0;     // 0: the zone has no daylight saving time
        int dayOfWeek = 0; // 0 Sunday .. 6 Saturday
        int week = 0;
        int hour = 0;
        int minute = 0;
        QDate in(int year) const;
    };

    // The definition blob (version 2 header, key name, rules); none when it cannot be parsed.
    static std::optional<TimeZoneDefinition> fromDefinition(const QByteArray& blob);
    // The 48-byte time-zone structure, named by the given description.
    static std::optional<TimeZoneDefinition> fromStructure(const QByteArray& blob, const QString& name);

    const QString& name() const { return m_name; }
    bool hasDaylightTime() const { return m_standard.month != 0 && m_daylight.month != 0; }
    // Offsets from UTC in minutes (east positive).
    int standardOffset() const { return -(m_bias + m_standardBias); }
    int daylightOffset() const { return -(m_bias + m_daylightBias); }

    // The local wall-clock time of a UTC instant (a QDateTime without zone, Qt::UTC spec used as
    // a plain value).
    QDateTime toLocal(const QDateTime& utc) const;
    // The UTC instant of a local wall-clock time.
    QDateTime toUtc(const QDateTime& local) const;
    QByteArray vtimezone() const;

private:
    bool isDaylight(const QDateTime& localStandard) const;

    QString m_name;
    int m_bias = 0;
    int m_standardBias = 0;
    int m_daylightBias = 0;
    Transition m_standard;
    Transition m_daylight;
};

} // namespace engine
