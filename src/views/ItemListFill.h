#pragma once

#include "ListLayout.h"
#include "catalog/AppointmentRecord.h"
#include "catalog/Catalogs.h"
#include "catalog/ContactRecord.h"
#include "catalog/MailRecord.h"
#include "catalog/NodeId.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace views {

// Builds the item list's rows from the catalogs: the rows of one folder node (FillItemList), a
// mail's row (also the live row the scan puts on top for each mail) and a search match's row.
// Rows are plain texts, one per column of the layout; the type words are "mail", "contact",
// "appointment", "task", "note" and "journal". Stateless; any thread.
class ItemListFill
{
public:
    enum class ItemType
    {
        Mail,
        Contact,
        Appointment,
        Task,
        Note,
        Journal,
    };

    struct Result
    {
        // The layout to show; nullopt when the node has no records (keep the columns as they
        // are, but delete every row).
        std::optional<ListLayout::Kind> layout;
        // The rows of contacts and appointments as texts. A mail folder's rows are its records
        // instead (`mails`): a folder of 300,000 mails would otherwise hold every row's texts
        // twice; the list makes a mail's texts with mailRow when it shows them.
        QList<QStringList> rows;
        QList<std::shared_ptr<const catalog::MailRecord>> mails;
    };

    // The rows of `node`: the records of the last kind, in the order journal entry, note, task,
    // contact, appointment, mail, that has records attached to the node (a later kind replaces an
    // earlier one), in catalog order.
    static Result FillItemList(const catalog::Catalogs& catalogs, catalog::NodeId node);

    // A mail's row: S.No, type, From, Subject, Flag, Priority, Received, To, Size.
    static QStringList mailRow(const catalog::MailRecord& record);
    static constexpr int MailColumns = 9;
    // PR_MESSAGE_SIZE as the list and the records write it: signed decimal and "  Bytes".
    static QString sizeText(quint32 size);
    static QStringList contactRow(const catalog::ContactRecord& record);
    static QStringList appointmentRow(const catalog::AppointmentRecord& record);
    // S.No, type, Subject, Due Date, Status, % Complete, Priority.
    static QStringList taskRow(const catalog::TaskRecord& record);
    // S.No, type, Subject, Color, Last Modified.
    static QStringList noteRow(const catalog::NoteRecord& record);
    // S.No, type, Subject, Entry Type, Start.
    static QStringList journalRow(const catalog::JournalRecord& record);

    // The stored codes in words; empty when absent, the number itself when it is no known code.
    // PidLidTaskStatus: "Not Started", "In Progress", "Completed", "Waiting on someone else",
    // "Deferred".
    static QString taskStatusText(std::optional<quint32> status);
    // PidLidPercentComplete (0.0 to 1.0) as "50%".
    static QString percentText(std::optional<double> fraction);
    // PR_IMPORTANCE: "Low", "Normal", "High".
    static QString importanceText(std::optional<quint32> importance);
    // PidLidNoteColor: "Blue", "Green", "Pink", "Yellow", "White".
    static QString noteColorText(std::optional<quint32> color);
    // A FILETIME as the list's date text; empty when absent or beyond the year 9999.
    static QString dateText(std::optional<quint64> fileTime);

    // The subject of the task, note or journal entry of a search match; nullopt when the match is
    // of another kind or its record is not in the catalogs.
    static std::optional<QString> otherKindSubject(const catalog::Catalogs& catalogs,
                                                   const catalog::SearchMatch& match);

    // A search match as a row of the search results layout: the mail's row with its folder; a
    // contact shows its name and company, an appointment its location and subject, a task, note or
    // journal entry its subject. Empty when the match's record is not in the catalogs.
    static QStringList searchRow(const catalog::Catalogs& catalogs, const catalog::SearchMatch& match,
                                 const QString& folderPath);

    // A contact's name: its full name, else its first and last names.
    static QString contactName(const catalog::ContactRecord& record);

    static QString typeWord(ItemType type);
    static std::optional<ItemType> itemTypeFromWord(const QString& word);
    // The kind of the record with this serial, of whichever kind it is; none when no record has it.
    static std::optional<ItemType> itemTypeOfSerial(const catalog::Catalogs& catalogs, int serial);
    // The "S.No" cell: the serial in decimal, empty when the serial is 0.
    static QString serialText(int serial);
    // The serial a "S.No" cell names: its leading decimal digits, 0 if none.
    static int serialFromText(const QString& text);
};

} // namespace views
