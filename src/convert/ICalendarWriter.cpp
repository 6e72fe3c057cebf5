#include "ICalendarWriter.h"

#include "ContentLines.h"
#include "ItemFields.h"
#include "store/MapiTags.h"
#include "RecurrencePattern.h"
#include "store/StoreError.h"

#include <QSet>
#include <QTimeZone>
#include <algorithm>
#include <cmath>

namespace convert {

namespace mapi = store::mapi;

namespace {

// Named properties by their LIDs ([MS-OXOCAL], [MS-OXOTASK], [MS-OXCMSG]).
constexpr std::uint32_t kBusyStatus = 0x8205;
constexpr std::uint32_t kAllDay = 0x8215;
constexpr std::uint32_t kAppointmentRecur = 0x8216;
constexpr std::uint32_t kRecurring = 0x8223;
constexpr std::uint32_t kTimeZoneStruct = 0x8233;
constexpr std::uint32_t kTimeZoneDescription = 0x8234;
constexpr std::uint32_t kTimeZoneDefinitionStart = 0x825E;
constexpr std::uint32_t kTimeZoneDefinitionRecur = 0x8260;
constexpr std::uint32_t kGlobalObjectId = 0x0003;
constexpr std::uint32_t kCleanGlobalObjectId = 0x0023;
constexpr std::uint32_t kReminderDelta = 0x8501;
constexpr std::uint32_t kReminderTime = 0x8502;
constexpr std::uint32_t kReminderSet = 0x8503;
constexpr std::uint32_t kCommonStart = 0x8516;
constexpr std::uint32_t kCommonEnd = 0x8517;
constexpr std::uint32_t kTaskStatus = 0x8101;
constexpr std::uint32_t kPercentComplete = 0x8102;
constexpr std::uint32_t kTaskStartDate = 0x8104;
constexpr std::uint32_t kTaskDueDate = 0x8105;
constexpr std::uint32_t kTaskDateCompleted = 0x810F;
constexpr std::uint32_t kTaskRecurrence = 0x8116;
constexpr std::uint32_t kTaskComplete = 0x811C;
constexpr std::uint32_t kLogStart = 0x8706;
constexpr std::uint32_t kRecipientFlags = 0x5FFD;
constexpr std::uint32_t kRecipientTrackStatus = 0x5FFF;
constexpr std::uint32_t kAttachMethod = 0x3705;
constexpr std::uint32_t kExceptionReplaceTime = 0x8228;
constexpr std::uint32_t kExceptionStartTime = 0x7FFB;
constexpr std::uint32_t kAttachmentFlags = 0x7FFD;
constexpr std::uint32_t kAttachmentFlagException = 0x0002;

QString utcText(const QDateTime& time)
{
    return time.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
}

QString localText(const QDateTime& local)
{
    return local.toString(QStringLiteral("yyyyMMdd'T'HHmmss"));
}

QString dateText(const QDate& date)
{
    return date.toString(QStringLiteral("yyyyMMdd"));
}

// How times are written: in the item's zone, in UTC, or as dates.
struct TimeWriter
{
    const std::optional<TimeZoneDefinition>& zone;
    bool allDay = false;

    QDate dateOf(const QDateTime& utc) const
    {
        // Without a zone an all-day item's midnight is local to a zone we do not know; noon of
        // the UTC day lands on its date from UTC-12 to UTC+12.
        return zone ? zone->toLocal(utc).date() : utc.toUTC().addSecs(12 * 3600).date();
    }
    // name;parameters:value for a UTC instant.
    void add(ContentLines& lines, const QString& name, const QDateTime& utc) const
    {
        if (allDay)
            lines.add(name + QStringLiteral(";VALUE=DATE"), dateText(dateOf(utc)));
        else if (zone)
            lines.add(name + QStringLiteral(";TZID=") + ContentLines::parameter(zone->name()),
                      localText(zone->toLocal(utc)));
        else
            lines.add(name, utcText(utc));
    }
    // The same for a wall-clock time local to the zone (the recurrence blob's times).
    void addLocal(ContentLines& lines, const QString& name, const QDateTime& local) const
    {
        if (allDay)
            lines.add(name + QStringLiteral(";VALUE=DATE"), dateText(local.date()));
        else if (zone)
            lines.add(name + QStringLiteral(";TZID=") + ContentLines::parameter(zone->name()),
                      localText(local));
        else
            lines.add(name, localText(local) + QLatin1Char('Z'));
    }
    QString untilText(const QDateTime& local) const
    {
        if (allDay)
            return dateText(local.date());
        return utcText(zone ? zone->toUtc(local) : QDateTime(local.date(), local.time(), QTimeZone::utc()));
    }
};

QString sensitivityClass(std::optional<std::uint32_t> sensitivity)
{
    switch (sensitivity.value_or(0)) {
    case 1:
    case 2:
        return QStringLiteral("PRIVATE");
    case 3:
        return QStringLiteral("CONFIDENTIAL");
    default:
        return QStringLiteral("PUBLIC");
    }
}

QString busyStatusText(std::uint32_t status)
{
    switch (status) {
    case 0:
        return QStringLiteral("FREE");
    case 1:
        return QStringLiteral("TENTATIVE");
    case 3:
        return QStringLiteral("OOF");
    case 4:
        return QStringLiteral("WORKINGELSEWHERE");
    default:
        return QStringLiteral("BUSY");
    }
}

std::optional<TimeZoneDefinition> zoneOf(const ItemFields& fields, bool recurring)
{
    if (recurring) {
        if (const auto blob = fields.binary(kTimeZoneDefinitionRecur))
            if (auto zone = TimeZoneDefinition::fromDefinition(*blob))
                return zone;
    }
    if (const auto blob = fields.binary(kTimeZoneDefinitionStart))
        if (auto zone = TimeZoneDefinition::fromDefinition(*blob))
            return zone;
    if (const auto blob = fields.binary(kTimeZoneStruct))
        return TimeZoneDefinition::fromStructure(*blob, fields.text(kTimeZoneDescription));
    return std::nullopt;
}

QString uidOf(const ItemFields& fields)
{
    for (const std::uint32_t tag : {kCleanGlobalObjectId, kGlobalObjectId}) {
        const auto id = fields.binaryOfType(tag);
        if (id && id->size() >= 16)
            return QString::fromLatin1(id->toHex().toUpper());
    }
    // Without a global id the item's place in the store names it, the same on every run.
    std::uint32_t identifier = 0;
    try {
        identifier = fields.item().identifier();
    } catch (const store::StoreError&) {
    }
    return QStringLiteral("ost2eml-item-%1").arg(identifier);
}

void addStamp(ContentLines& lines, const ItemFields& fields, const QDateTime& fallback)
{
    QDateTime stamp = fields.time(mapi::PrLastModificationTime).value_or(QDateTime());
    if (!stamp.isValid())
        stamp = fields.time(mapi::PrCreationTime).value_or(fallback);
    if (!stamp.isValid())
        stamp = QDateTime(QDate(1601, 1, 1), QTime(0, 0), QTimeZone::utc());
    lines.add(QStringLiteral("DTSTAMP"), utcText(stamp));
}

// A display alarm; trigger is the TRIGGER line's name with parameters and its value.
void addAlarm(ContentLines& lines, const QString& trigger, const QString& value)
{
    lines.add(QStringLiteral("BEGIN"), QStringLiteral("VALARM"));
    lines.add(QStringLiteral("ACTION"), QStringLiteral("DISPLAY"));
    lines.add(QStringLiteral("DESCRIPTION"), QStringLiteral("Reminder"));
    lines.add(trigger, value);
    lines.add(QStringLiteral("END"), QStringLiteral("VALARM"));
}

void addAlarmBefore(ContentLines& lines, int minutes)
{
    addAlarm(lines, QStringLiteral("TRIGGER"),
             minutes == 0 ? QStringLiteral("PT0S") : QStringLiteral("-PT%1M").arg(minutes));
}

void addBusyStatus(ContentLines& lines, std::uint32_t status)
{
    lines.add(QStringLiteral("TRANSP"),
              status == 0 ? QStringLiteral("TRANSPARENT") : QStringLiteral("OPAQUE"));
    lines.add(QStringLiteral("X-MICROSOFT-CDO-BUSYSTATUS"), busyStatusText(status));
}

void addAttendees(ContentLines& lines, const ItemFields& fields)
{
    std::unique_ptr<store::Item> table;
    int rows = 0;
    try {
        table = fields.item().recipients();
        rows = table ? table->recordSetCount() : 0;
    } catch (const store::StoreError& error) {
        fields.addProblem(QStringLiteral("the attendees cannot be read: ") + error.message());
        return;
    }
    const auto organizerName = fields.text(mapi::PrSentRepresentingName);
    QString organizerAddress = fields.text(mapi::PrSentRepresentingSmtpAddress);
    if (organizerAddress.isEmpty() && fields.text(mapi::PrSentRepresentingAddressType)
                                              .compare(QLatin1String("SMTP"), Qt::CaseInsensitive) == 0)
        organizerAddress = fields.text(mapi::PrSentRepresentingEmailAddress);
    bool organizerWritten = false;
    const auto writeOrganizer = [&](const QString& name, const QString& address) {
        if (organizerWritten || address.isEmpty())
            return;
        organizerWritten = true;
        lines.add(QStringLiteral("ORGANIZER") +
                      (name.isEmpty() ? QString() : QStringLiteral(";CN=") + ContentLines::parameter(name)),
                  QStringLiteral("mailto:") + address);
    };
    if (rows > 0)
        writeOrganizer(organizerName, organizerAddress);
    for (int row = 0; row < rows; ++row) {
        try {
            const auto text = [&](std::uint32_t tag) {
                const auto value = table->utf8String(tag, row);
                return value ? QString::fromUtf8(*value).remove(QChar(0)) : QString();
            };
            const QString name = text(mapi::PrDisplayName);
            QString address = text(mapi::PrSmtpAddress);
            if (address.isEmpty() &&
                (text(mapi::PrAddressType).isEmpty() ||
                 text(mapi::PrAddressType).compare(QLatin1String("SMTP"), Qt::CaseInsensitive) == 0))
                address = text(mapi::PrEmailAddress);
            if (address.isEmpty())
                continue;
            const std::uint32_t flags = table->integer32(kRecipientFlags, row).value_or(0);
            if (flags & 0x0002) { // the organiser's own row
                writeOrganizer(name, address);
                continue;
            }
            const std::uint32_t type = table->integer32(mapi::PrRecipientType, row).value_or(1) & 0x0F;
            QString parameters = QStringLiteral("ATTENDEE");
            if (!name.isEmpty())
                parameters += QStringLiteral(";CN=") + ContentLines::parameter(name);
            parameters += type == 2   ? QStringLiteral(";ROLE=OPT-PARTICIPANT")
                          : type == 3 ? QStringLiteral(";CUTYPE=RESOURCE;ROLE=NON-PARTICIPANT")
                                      : QStringLiteral(";ROLE=REQ-PARTICIPANT");
            switch (table->integer32(kRecipientTrackStatus, row).value_or(0)) {
            case 2:
                parameters += QStringLiteral(";PARTSTAT=TENTATIVE");
                break;
            case 3:
                parameters += QStringLiteral(";PARTSTAT=ACCEPTED");
                break;
            case 4:
                parameters += QStringLiteral(";PARTSTAT=DECLINED");
                break;
            default:
                parameters += QStringLiteral(";PARTSTAT=NEEDS-ACTION");
                break;
            }
            lines.add(parameters, QStringLiteral("mailto:") + address);
        } catch (const store::StoreError& error) {
            fields.addProblem(
                QStringLiteral("attendee %1 cannot be read: %2").arg(row + 1).arg(error.message()));
        }
    }
}

void addAttachments(ContentLines& lines, const ItemFields& fields)
{
    try {
        const int count = fields.item().attachmentCount();
        for (int index = 0; index < count; ++index) {
            const std::unique_ptr<store::Item> attachment = fields.item().attachment(index);
            // Modified instances of a series are attached messages; they become VEVENTs of their own.
            if (attachment->attachmentType() != store::AttachmentType::Data)
                continue;
            if (attachment->integer32(kAttachMethod).value_or(1) != 1)
                continue;
            const auto text = [&](std::uint32_t tag) {
                const auto value = attachment->utf8String(tag);
                return value ? QString::fromUtf8(*value).remove(QChar(0)) : QString();
            };
            QString name = text(mapi::PrAttachLongFileName);
            if (name.isEmpty())
                name = text(mapi::PrAttachFileName);
            if (name.isEmpty())
                name = QStringLiteral("attachment %1").arg(index + 1);
            const std::uint64_t size = attachment->attachmentDataSize();
            if (size > ICalendarWriter::kMaxInlineAttachment) {
                fields.addProblem(
                    QStringLiteral("attachment \"%1\" (%2 bytes) is too large to embed").arg(name).arg(size));
                continue;
            }
            const QByteArray data = attachment->readAttachmentData(0, static_cast<std::size_t>(size));
            QString parameters = QStringLiteral("ATTACH;ENCODING=BASE64;VALUE=BINARY");
            const QString mimeType = text(mapi::PrAttachMimeTag);
            if (!mimeType.isEmpty() && !mimeType.contains(QLatin1Char('"')))
                parameters += QStringLiteral(";FMTTYPE=") + ContentLines::parameter(mimeType);
            parameters += QStringLiteral(";X-FILENAME=") + ContentLines::parameter(name);
            lines.add(parameters, QString::fromLatin1(data.toBase64()));
        }
    } catch (const store::StoreError& error) {
        fields.addProblem(QStringLiteral("attachments cannot be read: ") + error.message());
    }
}

bool addDescription(ContentLines& lines, const ItemFields& fields)
{
    const QString body = fields.plainBody();
    if (body.trimmed().isEmpty())
        return false;
    lines.addText(QStringLiteral("DESCRIPTION"), body);
    return true;
}

// The plain body and, for clients that show it, the HTML one; false when there is neither.
bool addBodies(ContentLines& lines, const ItemFields& fields)
{
    bool written = addDescription(lines, fields);
    const QString html = fields.htmlBody();
    if (!html.isEmpty()) {
        lines.add(QStringLiteral("X-ALT-DESC;FMTTYPE=text/html"), ContentLines::escaped(html));
        written = true;
    }
    return written;
}

int reminderMinutesOf(std::uint32_t delta)
{
    return static_cast<int>(std::min<std::uint32_t>(delta, 60 * 24 * 365));
}

// A modified instance as the series stores it in full: an embedded message in a hidden
// attachment, found by the start it replaces (UTC) or by its own start (local).
struct InstanceMessage
{
    std::unique_ptr<store::Item> attachment; // kept open while its message is read
    std::unique_ptr<store::Item> message;
    std::optional<QDateTime> replaces;
    std::optional<QDateTime> start;
};

std::optional<QDateTime> timeOf(const store::Item& item, std::uint32_t tag)
{
    const auto value = item.fileTime(tag);
    const QDateTime time = value ? ItemFields::fromFileTime(*value) : QDateTime();
    return time.isValid() ? std::optional<QDateTime>(time) : std::nullopt;
}

std::vector<InstanceMessage> instanceMessages(const ItemFields& series)
{
    std::vector<InstanceMessage> found;
    int count = 0;
    try {
        count = series.item().attachmentCount();
    } catch (const store::StoreError& error) {
        series.addProblem(QStringLiteral("the attachments cannot be listed: ") + error.message());
        return found;
    }
    for (int index = 0; index < count; ++index) {
        try {
            InstanceMessage instance;
            instance.attachment = series.item().attachment(index);
            if (instance.attachment->attachmentType() != store::AttachmentType::Item)
                continue;
            const bool flagged =
                instance.attachment->integer32(kAttachmentFlags).value_or(0) & kAttachmentFlagException;
            instance.start = timeOf(*instance.attachment, kExceptionStartTime);
            instance.message = instance.attachment->embeddedItem();
            if (!instance.message)
                continue;
            instance.replaces = timeOf(*instance.message, kExceptionReplaceTime);
            // Anything else attached to the appointment is not one of its instances.
            if (flagged || instance.replaces)
                found.push_back(std::move(instance));
        } catch (const store::StoreError& error) {
            series.addProblem(
                QStringLiteral("attachment %1 cannot be read: %2").arg(index + 1).arg(error.message()));
        }
    }
    return found;
}

// What the VEVENTs of one recurring appointment share.
struct Series
{
    const ItemFields& fields;
    const RecurrencePattern& recurrence;
    const std::optional<TimeZoneDefinition>& zone;
    bool allDay = false;
    QString uid;
    QString summary;
    QString location;
    QString sensitivity;
    std::optional<std::uint32_t> busy;
    bool reminder = false;
    int reminderMinutes = 0;
    QDateTime start;
};

// A modified instance: what the recurrence blob says of it, completed from its own message
// (body, attachments, all-day flag, busy status, reminder). Without a readable message the
// instance is still written from the blob, and the loss is noted.
void addModifiedInstance(ContentLines& lines, const Series& series,
                         const RecurrencePattern::Exception& exception,
                         const std::vector<InstanceMessage>& messages)
{
    const QDateTime originalStart(exception.originalDate,
                                  QTime(0, 0).addSecs(60 * series.recurrence.startMinutes), QTimeZone::utc());
    const QDateTime replaces = series.zone ? series.zone->toUtc(originalStart) : originalStart;
    auto found = std::find_if(messages.begin(), messages.end(),
                              [&](const InstanceMessage& m) { return m.replaces == replaces; });
    if (found == messages.end())
        found = std::find_if(messages.begin(), messages.end(),
                             [&](const InstanceMessage& m) { return m.start == exception.start; });
    const QString instance =
        QStringLiteral("the modified instance of %1").arg(exception.originalDate.toString(Qt::ISODate));
    std::optional<ItemFields> message;
    if (found != messages.end())
        message.emplace(*found->message);
    else
        series.fields.addProblem(
            instance + QStringLiteral(" has no readable message; written from the recurrence pattern"));

    bool allDay = exception.allDay.value_or(series.allDay);
    if (message)
        allDay = message->boolean(kAllDay).value_or(allDay);
    std::optional<std::uint32_t> busy = series.busy;
    if (exception.busyStatus)
        busy = message ? message->integer(kBusyStatus).value_or(*exception.busyStatus)
                       : static_cast<std::uint32_t>(*exception.busyStatus);
    bool reminder = series.reminder;
    if (exception.reminderSet)
        reminder = message ? message->boolean(kReminderSet).value_or(*exception.reminderSet)
                           : *exception.reminderSet;
    int reminderMinutes = series.reminderMinutes;
    if (exception.reminderMinutes)
        reminderMinutes =
            reminderMinutesOf(message ? message->integer(kReminderDelta).value_or(*exception.reminderMinutes)
                                      : static_cast<std::uint32_t>(*exception.reminderMinutes));

    // RECURRENCE-ID takes the value type of the series' DTSTART, whatever the instance's own.
    const TimeWriter seriesTimes{series.zone, series.allDay};
    const TimeWriter times{series.zone, allDay};
    lines.add(QStringLiteral("BEGIN"), QStringLiteral("VEVENT"));
    lines.addText(QStringLiteral("UID"), series.uid);
    addStamp(lines, series.fields, series.start);
    seriesTimes.addLocal(lines, QStringLiteral("RECURRENCE-ID"), originalStart);
    times.addLocal(lines, QStringLiteral("DTSTART"), exception.start);
    if (exception.end >= exception.start)
        times.addLocal(lines, QStringLiteral("DTEND"),
                       allDay && exception.end.date() <= exception.start.date() ? exception.start.addDays(1)
                                                                                : exception.end);
    lines.addText(QStringLiteral("SUMMARY"), exception.subject.value_or(series.summary));
    lines.addText(QStringLiteral("LOCATION"), exception.location.value_or(series.location));
    // An instance without a body of its own shows the series'.
    if (!(message && addBodies(lines, *message)) && !exception.ownBody)
        addBodies(lines, series.fields);
    lines.add(QStringLiteral("CLASS"), series.sensitivity);
    QStringList categories = message ? message->categories() : QStringList();
    lines.addList(QStringLiteral("CATEGORIES"),
                  categories.isEmpty() ? series.fields.categories() : categories);
    if (busy)
        addBusyStatus(lines, *busy);
    if (message)
        addAttachments(lines, *message);
    if (reminder)
        addAlarmBefore(lines, reminderMinutes);
    lines.add(QStringLiteral("END"), QStringLiteral("VEVENT"));
    if (message) {
        for (const QString& problem : message->problems())
            series.fields.addProblem(instance + QStringLiteral(": ") + problem);
    }
}

} // namespace

ICalendarWriter::Entry ICalendarWriter::appointment(const store::Item& item)
{
    const ItemFields fields(item);
    Entry entry;
    const QString summary = fields.subject();
    const QString location = fields.text(mapi::AppointmentLocation);
    entry.summary = summary;
    std::optional<QDateTime> start = fields.time(mapi::AppointmentStartTime);
    if (!start)
        start = fields.time(kCommonStart);
    std::optional<QDateTime> end = fields.time(mapi::AppointmentEndTime);
    if (!end)
        end = fields.time(kCommonEnd);
    if (!start) {
        entry.problems << QStringLiteral("the appointment has no start time");
        entry.problems += fields.problems();
        return entry;
    }
    entry.date = *start;
    const bool allDay = fields.boolean(kAllDay).value_or(false);
    std::optional<RecurrencePattern> recurrence;
    if (fields.boolean(kRecurring).value_or(false)) {
        if (const auto blob = fields.binary(kAppointmentRecur)) {
            recurrence = RecurrencePattern::parse(*blob, true, fields.codePage());
            if (!recurrence)
                entry.problems << QStringLiteral(
                    "the recurrence pattern cannot be read; written as a single event");
        } else {
            entry.problems << QStringLiteral(
                "the appointment is marked recurring but holds no recurrence pattern; written as a single event");
        }
    }
    entry.zone = zoneOf(fields, recurrence.has_value());
    const TimeWriter times{entry.zone, allDay};
    const QString uid = uidOf(fields);
    const QString sensitivity = sensitivityClass(fields.integer(mapi::PrSensitivity));
    const auto busy = fields.integer(kBusyStatus);
    const bool reminder = fields.boolean(kReminderSet).value_or(false);
    const int reminderMinutes = reminderMinutesOf(fields.integer(kReminderDelta).value_or(15));

    ContentLines lines;
    lines.add(QStringLiteral("BEGIN"), QStringLiteral("VEVENT"));
    lines.addText(QStringLiteral("UID"), uid);
    addStamp(lines, fields, *start);
    times.add(lines, QStringLiteral("DTSTART"), *start);
    if (end && *end >= *start)
        times.add(lines, QStringLiteral("DTEND"),
                  allDay && times.dateOf(*end) <= times.dateOf(*start) ? start->addDays(1) : *end);
    if (recurrence) {
        QString until;
        if (recurrence->end == RecurrencePattern::End::ByDate)
            until = times.untilText(QDateTime(
                recurrence->endDate, QTime(0, 0).addSecs(60 * recurrence->startMinutes), QTimeZone::utc()));
        lines.add(QStringLiteral("RRULE"), recurrence->rrule(until));
        for (const QDate& date : recurrence->removedDates())
            times.addLocal(
                lines, QStringLiteral("EXDATE"),
                QDateTime(date, QTime(0, 0).addSecs(60 * recurrence->startMinutes), QTimeZone::utc()));
    }
    lines.addText(QStringLiteral("SUMMARY"), summary);
    lines.addText(QStringLiteral("LOCATION"), location);
    addBodies(lines, fields);
    lines.add(QStringLiteral("CLASS"), sensitivity);
    lines.addList(QStringLiteral("CATEGORIES"), fields.categories());
    if (busy)
        addBusyStatus(lines, *busy);
    addAttendees(lines, fields);
    addAttachments(lines, fields);
    if (reminder)
        addAlarmBefore(lines, reminderMinutes);
    lines.add(QStringLiteral("END"), QStringLiteral("VEVENT"));

    if (recurrence && !recurrence->exceptions.empty()) {
        const Series series{fields,      *recurrence, entry.zone, allDay,          uid,   summary, location,
                            sensitivity, busy,        reminder,   reminderMinutes, *start};
        const std::vector<InstanceMessage> messages = instanceMessages(fields);
        for (const RecurrencePattern::Exception& exception : recurrence->exceptions) {
            if (exception.start.isValid() && exception.originalDate.isValid())
                addModifiedInstance(lines, series, exception, messages);
        }
    }
    entry.components = lines.bytes();
    entry.problems += fields.problems();
    return entry;
}

ICalendarWriter::Entry ICalendarWriter::task(const store::Item& item)
{
    const ItemFields fields(item);
    Entry entry;
    entry.summary = fields.subject();
    const auto start = fields.time(kTaskStartDate);
    const auto due = fields.time(kTaskDueDate);
    // Task dates are days: local midnight stored unconverted.
    const auto day = [](const QDateTime& time) {
        return time.toUTC().date();
    };
    entry.date = start ? *start : due.value_or(QDateTime());
    if (!entry.date.isValid())
        entry.date = fields.time(mapi::PrCreationTime).value_or(QDateTime());

    ContentLines lines;
    lines.add(QStringLiteral("BEGIN"), QStringLiteral("VTODO"));
    lines.addText(QStringLiteral("UID"), uidOf(fields));
    addStamp(lines, fields, entry.date);
    if (start)
        lines.add(QStringLiteral("DTSTART;VALUE=DATE"), dateText(day(*start)));
    if (due)
        lines.add(QStringLiteral("DUE;VALUE=DATE"),
                  dateText(start && day(*due) < day(*start) ? day(*start) : day(*due)));
    const auto completed = fields.time(kTaskDateCompleted);
    if (completed && fields.boolean(kTaskComplete).value_or(true))
        lines.add(QStringLiteral("COMPLETED"), utcText(*completed));
    if (const auto percent = fields.floating(kPercentComplete); percent && std::isfinite(*percent))
        lines.add(QStringLiteral("PERCENT-COMPLETE"),
                  QString::number(std::clamp(static_cast<int>(std::lround(*percent * 100)), 0, 100)));
    if (const auto status = fields.integer(kTaskStatus)) {
        static const char* const kStatus[] = {"NEEDS-ACTION", "IN-PROCESS", "COMPLETED", "NEEDS-ACTION",
                                              "CANCELLED"};
        lines.add(QStringLiteral("STATUS"), QString::fromLatin1(kStatus[*status < 5 ? *status : 0]));
    }
    if (const auto importance = fields.integer(mapi::PrImportance))
        lines.add(QStringLiteral("PRIORITY"), QString::number(*importance == 2   ? 1
                                                              : *importance == 0 ? 9
                                                                                 : 5));
    if (const auto blob = fields.binary(kTaskRecurrence); blob && (start || due)) {
        if (const auto recurrence = RecurrencePattern::parse(*blob, false, fields.codePage())) {
            lines.add(QStringLiteral("RRULE"), recurrence->rrule(dateText(recurrence->endDate)));
        }
    }
    lines.addText(QStringLiteral("SUMMARY"), entry.summary);
    addDescription(lines, fields);
    lines.add(QStringLiteral("CLASS"), sensitivityClass(fields.integer(mapi::PrSensitivity)));
    lines.addList(QStringLiteral("CATEGORIES"), fields.categories());
    if (fields.boolean(kReminderSet).value_or(false)) {
        if (const auto when = fields.time(kReminderTime))
            addAlarm(lines, QStringLiteral("TRIGGER;VALUE=DATE-TIME"), utcText(*when));
    }
    lines.add(QStringLiteral("END"), QStringLiteral("VTODO"));
    entry.components = lines.bytes();
    entry.problems += fields.problems();
    return entry;
}

ICalendarWriter::Entry ICalendarWriter::journal(const store::Item& item)
{
    const ItemFields fields(item);
    Entry entry;
    entry.summary = fields.subject();
    entry.date = fields.time(kLogStart).value_or(fields.time(mapi::PrCreationTime).value_or(QDateTime()));
    ContentLines lines;
    lines.add(QStringLiteral("BEGIN"), QStringLiteral("VJOURNAL"));
    lines.addText(QStringLiteral("UID"), uidOf(fields));
    addStamp(lines, fields, entry.date);
    if (entry.date.isValid())
        lines.add(QStringLiteral("DTSTART"), utcText(entry.date));
    lines.addText(QStringLiteral("SUMMARY"), entry.summary);
    addDescription(lines, fields);
    lines.add(QStringLiteral("CLASS"), sensitivityClass(fields.integer(mapi::PrSensitivity)));
    lines.addList(QStringLiteral("CATEGORIES"), fields.categories());
    lines.add(QStringLiteral("END"), QStringLiteral("VJOURNAL"));
    entry.components = lines.bytes();
    entry.problems += fields.problems();
    return entry;
}

QByteArray ICalendarWriter::calendarStart(const std::vector<TimeZoneDefinition>& zones)
{
    ContentLines lines;
    lines.add(QStringLiteral("BEGIN"), QStringLiteral("VCALENDAR"));
    lines.add(QStringLiteral("VERSION"), QStringLiteral("2.0"));
    lines.add(QStringLiteral("PRODID"), QStringLiteral("-//Tarvolin//OST to EML Converter//EN"));
    lines.add(QStringLiteral("CALSCALE"), QStringLiteral("GREGORIAN"));
    QSet<QString> written;
    for (const TimeZoneDefinition& zone : zones) {
        if (written.contains(zone.name()))
            continue;
        written.insert(zone.name());
        lines.append(zone.vtimezone());
    }
    return lines.bytes();
}

QByteArray ICalendarWriter::withZoneRenamed(const QByteArray& components, const QString& from,
                                            const QString& to)
{
    const QByteArray before =
        (QStringLiteral(";TZID=") + ContentLines::parameter(from) + QLatin1Char(':')).toUtf8();
    const QByteArray after =
        (QStringLiteral(";TZID=") + ContentLines::parameter(to) + QLatin1Char(':')).toUtf8();
    QByteArray unfolded = components;
    unfolded.replace("\r\n ", "");
    QByteArray result;
    for (const QByteArray& line : unfolded.split('\n')) {
        QByteArray text = line;
        if (text.endsWith('\r'))
            text.chop(1);
        if (!text.isEmpty())
            result += ContentLines::folded(text.replace(before, after));
    }
    return result;
}

QByteArray ICalendarWriter::calendarEnd()
{
    return QByteArrayLiteral("END:VCALENDAR\r\n");
}

} // namespace convert
