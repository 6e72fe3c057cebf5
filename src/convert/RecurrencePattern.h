#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace convert {

// The recurrence blob of an appointment (PidLidAppointmentRecur) or a task (PidLidTaskRecurrence):
// the pattern, its end, the deleted and modified instances and, for appointments, the
// exceptions with what they change. Dates and times are local to the item's time zone.
class RecurrencePattern
{
public:
    enum class Type
    {
        Daily,    // every `period` days
        Weekly,   // on the days of `days`, every `period` weeks
        Monthly,  // on day `dayOfMonth`, every `period` months
        MonthNth, // on the `nth` (5: last) of the days of `days`, every `period` months
        MonthEnd, // on the last day, every `period` months
    };
    enum class End
    {
        Never,
        AfterCount,
        ByDate,
    };

    struct Exception
    {
        QDateTime start; // local wall-clock times (Qt::UTC used as a plain value)
        QDateTime end;
        QDate originalDate; // the date of the instance it replaces
        std::optional<QString> subject;
        std::optional<QString> location;
        std::optional<int> busyStatus;
        std::optional<bool> reminderSet;
        std::optional<int> reminderMinutes;
        std::optional<bool> allDay;
        bool ownBody = false; // the instance's message has a body other than the series'
    };

    // Parses an appointment's blob (withTimes) or a task's, whose blob ends after the pattern.
    // codePage decodes the 8-bit subjects and locations of exceptions without wide-character
    // copies. None when the blob is not a recurrence pattern.
    static std::optional<RecurrencePattern> parse(const QByteArray& blob, bool withTimes, int codePage);

    Type type = Type::Daily;
    bool yearly = false;    // a monthly pattern that repeats every 12 * n months
    int period = 1;         // days, weeks or months as the type counts
    std::uint32_t days = 0; // bit 0 Sunday .. bit 6 Saturday
    int dayOfMonth = 0;
    int nth = 0;
    int firstDayOfWeek = 0; // 0 Sunday
    End end = End::Never;
    int occurrences = 0;
    QDate startDate;
    QDate endDate;
    int startMinutes = 0; // start and end of each instance after local midnight
    int endMinutes = 0;
    std::vector<QDate> deletedDates;  // deleted and modified instances, by their original dates
    std::vector<QDate> modifiedDates; // modified instances, by their new dates
    std::vector<Exception> exceptions;

    // The RRULE value; until is the value to put after UNTIL= (none: take it from endDate).
    QString rrule(const QString& until) const;
    // Deleted instances that are not modified ones: the EXDATEs.
    std::vector<QDate> removedDates() const;
};

} // namespace convert
