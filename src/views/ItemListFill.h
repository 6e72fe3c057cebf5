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

// Builds the item list's rows from the catalogs: the rows of one folder node (FillItemList) and
// the live row the scan puts on top for each mail. Rows are plain texts, one per column of the
// layout; the type words are "mail", "contact" and "appointment". Stateless; any thread.
class ItemListFill
{
public:
    enum class ItemType
    {
        Mail,
        Contact,
        Appointment,
    };

    struct Result
    {
        // The layout to show; nullopt when the node has no records (keep the columns as they
        // are, but delete every row).
        std::optional<ListLayout::Kind> layout;
        QList<QStringList> rows;
    };

    // The rows of `node`: the records of the last kind, in the order contact, appointment, mail,
    // that has records attached to the node (a later kind replaces an earlier one), in catalog
    // order.
    static Result FillItemList(const catalog::Catalogs& catalogs, catalog::NodeId node);

    static QStringList mailRow(const catalog::MailRecord& record);
    static QStringList contactRow(const catalog::ContactRecord& record);
    static QStringList appointmentRow(const catalog::AppointmentRecord& record);
    // The row the mail export puts at the top during a scan (under whatever layout is shown).
    static QStringList liveMailRow(int serial, const std::optional<QString>& from,
                                   const std::optional<QString>& subject, const QString& flags,
                                   const QString& priority);

    // A search match as a row of the search results layout: the mail's row with its folder; a
    // contact shows its name and company, an appointment its location and subject. Empty when the
    // match's record is not in the catalogs.
    static QStringList searchRow(const catalog::Catalogs& catalogs, const catalog::SearchMatch& match,
                                 const QString& folderPath);

    // A contact's name: its full name, else its first and last names.
    static QString contactName(const catalog::ContactRecord& record);

    static QString typeWord(ItemType type);
    static std::optional<ItemType> itemTypeFromWord(const QString& word);
    // The "S.No" cell: the serial in decimal, empty when the serial is 0.
    static QString serialText(int serial);
    // The serial a "S.No" cell names: its leading decimal digits, 0 if none.
    static int serialFromText(const QString& text);
};

} // namespace views
