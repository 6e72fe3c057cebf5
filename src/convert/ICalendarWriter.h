#pragma once

#include "TimeZoneDefinition.h"
#include "store/Item.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace convert {

// Writes appointments as VEVENTs (with their recurrence, deleted and modified instances, time
// zone, attendees, reminder and attachments; a modified instance with the body, attachments and
// flags of its own message), tasks as VTODOs and journal entries as VJOURNALs (RFC 5545), and puts
// the components of one folder into one VCALENDAR.
class ICalendarWriter
{
public:
    struct Entry
    {
        QByteArray components;                  // one or more components, CRLF lines
        std::optional<TimeZoneDefinition> zone; // the VTIMEZONE the components refer to
        QString summary;                        // for the report
        QDateTime date;                         // what the date filters compare: the start
        QStringList problems;                   // values that could not be read
    };

    // Attachments up to this size are embedded; larger ones are left out and noted.
    static constexpr std::uint64_t kMaxInlineAttachment = 4 * 1024 * 1024;

    static Entry appointment(const store::Item& item);
    static Entry task(const store::Item& item);
    static Entry journal(const store::Item& item);

    // One VCALENDAR: its start with each time zone once (by name, the first definition wins),
    // then the components, then its end.
    static QByteArray calendarStart(const std::vector<TimeZoneDefinition>& zones);
    // Components written with the zone named from, referring to the zone named to instead.
    static QByteArray withZoneRenamed(const QByteArray& components, const QString& from, const QString& to);
    static QByteArray calendarEnd();
};

} // namespace convert
