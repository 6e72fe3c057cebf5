#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

namespace convert {

// A Windows time zone as an appointment stores it: every rule of a time-zone definition
// (PidLidAppointmentTimeZoneDefinitionStartDisplay and its kin), each from its year on, or the
// older time-zone structure (PidLidTimeZoneStruct) with its one rule. Converts UTC to the zone's
// local time by the rule of the local year and writes the iCalendar VTIMEZONE that describes
// all of its rules.
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

    // The biases and transitions that apply from a year on (the first rule also before it).
    struct Rule
    {
        int year = 0;
        int bias = 0;
        int standardBias = 0;
        int daylightBias = 0;
        Transition standard;
        Transition daylight;

        bool hasDaylightTime() const { return standard.month != 0 && daylight.month != 0; }
        // Offsets from UTC in minutes (east positive).
        int standardOffset() const { return -(bias + standardBias); }
        int daylightOffset() const { return -(bias + daylightBias); }
        bool isDaylight(const QDateTime& localStandard) const;
        // The offset in force at a local wall-clock time of standard time.
        int offsetAt(const QDateTime& localStandard) const;
    };

    // The definition blob (version 2 header, key name, rules); none when it cannot be parsed.
    static std::optional<TimeZoneDefinition> fromDefinition(const QByteArray& blob);
    // The 48-byte time-zone structure, named by the given description.
    static std::optional<TimeZoneDefinition> fromStructure(const QByteArray& blob, const QString& name);

    const QString& name() const { return m_name; }
    void rename(const QString& name) { m_name = name; }
    // The rules by year, at least one.
    const std::vector<Rule>& rules() const { return m_rules; }
    bool hasDaylightTime() const;

    // The local wall-clock time of a UTC instant (a QDateTime without zone, Qt::UTC spec used as
    // a plain value).
    QDateTime toLocal(const QDateTime& utc) const;
    // The UTC instant of a local wall-clock time.
    QDateTime toUtc(const QDateTime& local) const;
    QByteArray vtimezone() const;

private:
    const Rule& ruleFor(int year) const;

    QString m_name;
    std::vector<Rule> m_rules;
};

} // namespace convert
