#pragma once

#include "catalog/MailRecord.h"

#include <QString>
#include <QStringList>

namespace scan {

// What the steps of one message's export gather before its record is appended: the body with
// its kind, the recipient line, the attachment list, and notes on what could not be read.
// Every message has its own; an embedded message never touches its container's.
struct MessageCollection
{
    QString body;
    int bodyKind = 0; // 1: the body is HTML, 0: plain text
    QString recipients;
    QList<catalog::MailRecipient> recipientList;
    QString attachments;
    QList<catalog::MailAttachment> attachmentFiles;
    // Parts of the item that could not be read; the record is made without them.
    QStringList problems;
    bool bodyNotKept = false;
    // A body too large to keep for the preview is still read for a search, when there is one.
    bool readLargeBodyForSearch = false;
    QString searchBody;
    int searchBodyKind = 0;
};

} // namespace scan
