#pragma once

#include "catalog/AppointmentRecord.h"
#include "catalog/ContactRecord.h"
#include "catalog/JournalRecord.h"
#include "catalog/MailRecord.h"
#include "catalog/NoteRecord.h"
#include "catalog/TaskRecord.h"

#include <QList>
#include <QString>

namespace views {

// The texts of the preview pages: the mail page (header table and the frame of the body file),
// the contact page, and the appointment, task, note and journal pages. Every record text is HTML-escaped, so
// markup in a subject or a name shows as text. Stateless; any thread.
class PreviewPages
{
public:
    struct ContactLabel
    {
        QString label; // e.g. "<b>First Name :</b> "
        int slot;      // the contact record slot it shows
    };

    // The contact page's labels in page order.
    static const QList<ContactLabel>& contactLabels();

    // The mail page. `attachmentsDirectory` is the folder the attachment paths are composed
    // under; that folder with a trailing separator is removed from the attachment list so
    // attachments appear as bare names, each saved one a link to its file. `bodyFilePath` is the
    // body file the frame shows.
    static QString mailPage(const catalog::Mail& mail, const QString& attachmentsDirectory,
                            const QString& bodyFilePath);
    static QString contactPage(const catalog::ContactRecord& record);
    static QString appointmentPage(const catalog::AppointmentRecord& record);
    // One bold label and value a line, as on the appointment page, then the item's text (`body`)
    // with its line breaks kept.
    static QString taskPage(const catalog::TaskRecord& record, const QString& body);
    static QString notePage(const catalog::NoteRecord& record, const QString& body);
    static QString journalPage(const catalog::JournalRecord& record, const QString& body);

    // The body file name for a body kind: "body.html" for 1, "body.txt" otherwise.
    static QString bodyFileName(int bodyKind);
    static QString escaped(const QString& text);
    // A local file's address, escaped for a quoted attribute.
    static QString fileUrl(const QString& path);
    // The address of an item's own preview (an attached mail's): "item:" and its serial.
    static constexpr QLatin1String ItemScheme{"item"};
    static QString itemUrl(int serial);
    // An HTML body with every quoted "cid:" address of a saved attachment (by its content id)
    // replaced by the address of the saved file, so that inline pictures show.
    static QString withInlinePictures(const QString& html, const QList<catalog::MailAttachment>& attachments);
};

} // namespace views
