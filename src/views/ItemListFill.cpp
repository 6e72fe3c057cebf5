#include "ItemListFill.h"

#include "store/FileTime.h"

#include <array>
#include <limits>

namespace views {

namespace {

QString textOf(const std::optional<QString>& text)
{
    return text.value_or(QString());
}

// A stored code as its word; a code without one shows as its number.
template <std::size_t N>
QString codeText(std::optional<quint32> code, const std::array<const char*, N>& words)
{
    if (!code)
        return {};
    return *code < N ? QString::fromLatin1(words[*code]) : QString::number(*code);
}

template <typename R> std::optional<QString> subjectOf(const catalog::Catalog<R>& catalog, int serial)
{
    if (const auto record = catalog.bySerial(serial))
        return textOf(record->subject);
    return std::nullopt;
}

// Puts one row per record into `result` under `layout`; false (and nothing changed) when there
// are no records.
template <typename R, typename MakeRow>
bool fillRows(ItemListFill::Result& result, const QList<std::shared_ptr<const R>>& records,
              ListLayout::Kind layout, MakeRow makeRow)
{
    if (records.isEmpty())
        return false;
    result.layout = layout;
    result.rows.reserve(records.size());
    for (const auto& record : records)
        result.rows.append(makeRow(*record));
    return true;
}

} // namespace

QString ItemListFill::typeWord(ItemType type)
{
    switch (type) {
    case ItemType::Mail:
        return QStringLiteral("mail");
    case ItemType::Contact:
        return QStringLiteral("contact");
    case ItemType::Appointment:
        return QStringLiteral("appointment");
    case ItemType::Task:
        return QStringLiteral("task");
    case ItemType::Note:
        return QStringLiteral("note");
    case ItemType::Journal:
        return QStringLiteral("journal");
    }
    return {};
}

std::optional<ItemListFill::ItemType> ItemListFill::itemTypeFromWord(const QString& word)
{
    for (const ItemType type : {ItemType::Mail, ItemType::Contact, ItemType::Appointment, ItemType::Task,
                                ItemType::Note, ItemType::Journal}) {
        if (word == typeWord(type))
            return type;
    }
    return std::nullopt;
}

std::optional<ItemListFill::ItemType> ItemListFill::itemTypeOfSerial(const catalog::Catalogs& catalogs,
                                                                    int serial)
{
    if (serial <= 0)
        return std::nullopt;
    if (catalogs.mails().bySerial(serial))
        return ItemType::Mail;
    if (catalogs.contacts().bySerial(serial))
        return ItemType::Contact;
    if (catalogs.appointments().bySerial(serial))
        return ItemType::Appointment;
    if (catalogs.tasks().bySerial(serial))
        return ItemType::Task;
    if (catalogs.notes().bySerial(serial))
        return ItemType::Note;
    if (catalogs.journal().bySerial(serial))
        return ItemType::Journal;
    return std::nullopt;
}

QString ItemListFill::serialText(int serial)
{
    return serial == 0 ? QString() : QString::number(serial);
}

int ItemListFill::serialFromText(const QString& text)
{
    qint64 value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        value = value * 10 + (c.unicode() - u'0');
        // A number no serial can have finds no record rather than wrapping onto one that exists.
        if (value > std::numeric_limits<int>::max())
            return 0;
    }
    return static_cast<int>(value);
}

QStringList ItemListFill::mailRow(const catalog::MailRecord& record)
{
    return {serialText(record.serial),
            typeWord(ItemType::Mail),
            textOf(record.from),
            textOf(record.subject),
            textOf(record.flags),
            textOf(record.priority),
            dateText(record.deliveryTime),
            textOf(record.toNames),
            record.size ? sizeText(*record.size) : QString()};
}

QString ItemListFill::sizeText(quint32 size)
{
    return QString::number(static_cast<qint32>(size)) + QStringLiteral("  Bytes");
}

QStringList ItemListFill::contactRow(const catalog::ContactRecord& record)
{
    return {serialText(record.serial),
            record.kind != 0 ? typeWord(ItemType::Contact) : QString(),
            textOf(record.slot(6)),
            textOf(record.slot(13)),
            textOf(record.slot(12)),
            textOf(record.slot(1)),
            textOf(record.slot(16)),
            textOf(record.slot(17)),
            textOf(record.slot(15)),
            textOf(record.slot(8)),
            QString(),
            QString()};
}

QStringList ItemListFill::appointmentRow(const catalog::AppointmentRecord& record)
{
    return {serialText(record.serial),
            record.kind != 0 ? typeWord(ItemType::Appointment) : QString(),
            textOf(record.subject),
            textOf(record.location),
            textOf(record.start),
            textOf(record.end),
            QString(),
            QString()};
}

QString ItemListFill::dateText(std::optional<quint64> fileTime)
{
    return fileTime ? store::fileTimeToText(*fileTime).value_or(QString()) : QString();
}

QString ItemListFill::taskStatusText(std::optional<quint32> status)
{
    static constexpr std::array<const char*, 5> Words{"Not Started", "In Progress", "Completed",
                                                      "Waiting on someone else", "Deferred"};
    return codeText(status, Words);
}

QString ItemListFill::percentText(std::optional<double> fraction)
{
    // A value outside 0..1 (or not a number) is shown as stored rather than trusted.
    if (!fraction || !(*fraction >= 0.0 && *fraction <= 1.0))
        return fraction ? QString::number(*fraction) : QString();
    return QString::number(qRound(*fraction * 100.0)) + QLatin1Char('%');
}

QString ItemListFill::importanceText(std::optional<quint32> importance)
{
    static constexpr std::array<const char*, 3> Words{"Low", "Normal", "High"};
    return codeText(importance, Words);
}

QString ItemListFill::noteColorText(std::optional<quint32> color)
{
    static constexpr std::array<const char*, 5> Words{"Blue", "Green", "Pink", "Yellow", "White"};
    return codeText(color, Words);
}

QStringList ItemListFill::taskRow(const catalog::TaskRecord& record)
{
    return {serialText(record.serial),        typeWord(ItemType::Task),
            textOf(record.subject),           dateText(record.dueDate),
            taskStatusText(record.status),    percentText(record.percentComplete),
            importanceText(record.importance)};
}

QStringList ItemListFill::noteRow(const catalog::NoteRecord& record)
{
    return {serialText(record.serial), typeWord(ItemType::Note), textOf(record.subject),
            noteColorText(record.color), dateText(record.modificationTime)};
}

QStringList ItemListFill::journalRow(const catalog::JournalRecord& record)
{
    return {serialText(record.serial), typeWord(ItemType::Journal), textOf(record.subject),
            textOf(record.entryType), dateText(record.start)};
}

std::optional<QString> ItemListFill::otherKindSubject(const catalog::Catalogs& catalogs,
                                                      const catalog::SearchMatch& match)
{
    switch (match.kind) {
    case catalog::TaskRecord::Kind:
        return subjectOf(catalogs.tasks(), match.serial);
    case catalog::NoteRecord::Kind:
        return subjectOf(catalogs.notes(), match.serial);
    case catalog::JournalRecord::Kind:
        return subjectOf(catalogs.journal(), match.serial);
    default:
        return std::nullopt;
    }
}

QString ItemListFill::contactName(const catalog::ContactRecord& record)
{
    const QString full = textOf(record.slot(6));
    if (!full.isEmpty())
        return full;
    return QStringList{textOf(record.slot(13)), textOf(record.slot(12))}.join(QLatin1Char(' ')).trimmed();
}

QStringList ItemListFill::searchRow(const catalog::Catalogs& catalogs, const catalog::SearchMatch& match,
                                    const QString& folderPath)
{
    QStringList row;
    if (match.kind == catalog::MailRecord::Kind) {
        if (const auto mail = catalogs.mails().bySerial(match.serial))
            row = mailRow(*mail);
    } else if (match.kind == catalog::ContactRecord::Kind) {
        if (const auto contact = catalogs.contacts().bySerial(match.serial))
            row = QStringList{serialText(contact->serial), typeWord(ItemType::Contact), contactName(*contact),
                              textOf(contact->slot(1)), QString(), QString()};
    } else if (const std::optional<QString> subject = otherKindSubject(catalogs, match)) {
        const ItemType type = match.kind == catalog::TaskRecord::Kind   ? ItemType::Task
                              : match.kind == catalog::NoteRecord::Kind ? ItemType::Note
                                                                        : ItemType::Journal;
        row =
            QStringList{serialText(match.serial), typeWord(type), QString(), *subject, QString(), QString()};
    } else if (const auto appointment = catalogs.appointments().bySerial(match.serial)) {
        row = QStringList{serialText(appointment->serial), typeWord(ItemType::Appointment),
                          textOf(appointment->location), textOf(appointment->subject), QString(), QString()};
    }
    if (!row.isEmpty()) {
        // The folder is the last column, after a mail's own.
        while (row.size() < MailColumns)
            row.append(QString());
        row.append(folderPath);
    }
    return row;
}

ItemListFill::Result ItemListFill::FillItemList(const catalog::Catalogs& catalogs, catalog::NodeId node)
{
    Result result;
    if (!catalog::isValid(node))
        return result;

    // Each kind that has records replaces what an earlier kind put into the list, so only the
    // last one in the order contact, appointment, mail is ever shown; the others are not built.
    if (const auto mails = catalogs.mails().recordsForNode(node); !mails.isEmpty()) {
        result.layout = ListLayout::Kind::Mail;
        result.mails = mails;
    } else if (const auto appointments = catalogs.appointments().recordsForNode(node);
               !appointments.isEmpty()) {
        result.layout = ListLayout::Kind::Appointment;
        result.rows.reserve(appointments.size());
        for (const auto& record : appointments)
            result.rows.append(appointmentRow(*record));
    } else if (const auto contacts = catalogs.contacts().recordsForNode(node); !contacts.isEmpty()) {
        result.layout = ListLayout::Kind::Contact;
        result.rows.reserve(contacts.size());
        for (const auto& record : contacts)
            result.rows.append(contactRow(*record));
    } else if (!fillRows(result, catalogs.tasks().recordsForNode(node), ListLayout::Kind::Task, taskRow) &&
               !fillRows(result, catalogs.notes().recordsForNode(node), ListLayout::Kind::Note, noteRow)) {
        fillRows(result, catalogs.journal().recordsForNode(node), ListLayout::Kind::Journal, journalRow);
    }
    return result;
}

} // namespace views
