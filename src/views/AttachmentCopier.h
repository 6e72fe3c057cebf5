#pragma once

#include "catalog/MailRecord.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace views {

// Copies the saved attachments of a mail into a folder the user chose. A name that is taken
// there gets a number ("report (2).pdf"); nothing in the folder is ever replaced. Any thread.
class AttachmentCopier
{
public:
    struct Result
    {
        QStringList written; // the files made, in the attachments' order
        QStringList failed;  // "name: reason" of each attachment that could not be copied
    };

    // The entries with a saved file; those without one (embedded items) are passed over.
    static QList<catalog::MailAttachment> savedOnes(const QList<catalog::MailAttachment>& attachments);
    static Result copyInto(const QList<catalog::MailAttachment>& attachments, const QString& folder);
};

} // namespace views
