#pragma once

#include "catalog/AppointmentRecord.h"
#include "catalog/ContactRecord.h"
#include "catalog/MailRecord.h"

#include <QList>
#include <QString>

namespace views {

// The texts of the preview pages: the mail page (header table and the frame of the body file),
// the contact page and the appointment page. Every record text is HTML-escaped, so markup in a
// subject or a name shows as text. Stateless; any thread.
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
    // under; that folder with a trailing separator is removed from the page so attachments
    // appear as bare names. `bodyFilePath` is the body file the frame shows.
    static QString mailPage(const catalog::MailRecord& record, const QString& attachmentsDirectory,
                            const QString& bodyFilePath);
    static QString contactPage(const catalog::ContactRecord& record);
    static QString appointmentPage(const catalog::AppointmentRecord& record);

    // The body file name for a body kind: "body.html" for 1, "body.txt" otherwise.
    static QString bodyFileName(int bodyKind);
    static QString escaped(const QString& text);
};

} // namespace views
