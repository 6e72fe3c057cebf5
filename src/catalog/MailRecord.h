#pragma once

#include "NodeId.h"
#include "TextFile.h"

#include <QList>
#include <QString>
#include <optional>

namespace catalog {

// One entry of a mail's attachment list and where the scan saved that attachment's content.
struct MailAttachment
{
    QString listedPath; // the entry as the attachment list names it
    QString filePath;   // the saved content; empty when nothing was saved (an embedded item)
    QString contentId;  // the attachment's content id without angle brackets; empty when none
    // Where the attachment is found again in the store, to save its content when it is first
    // shown: the folder indices from the root folder down, the message's index in its folder, and
    // the attachment indices down through attached messages to this one. Empty folders and
    // attachments: not found again (nothing is saved).
    QList<int> folderRoute{};
    int messageIndex = -1;
    QList<int> attachmentRoute{};
    // An attached item (a mail, a contact, an appointment): the serial of the record the scan
    // gave it; 0 for any other attachment.
    int itemSerial = 0;
    // A by-reference attachment: where the file lives (a path or an address); empty otherwise.
    QString target{};

    friend bool operator==(const MailAttachment&, const MailAttachment&) = default;
};

// One recipient of a mail as the store lists it.
struct MailRecipient
{
    enum Type
    {
        To = 1,
        Cc = 2,
        Bcc = 3,
    };
    QString name;
    QString address; // the Internet address; empty when the store gives none
    int type = To;

    friend bool operator==(const MailRecipient&, const MailRecipient&) = default;
};

// The texts of a mail that only its preview, a search or a full listing needs. The catalogs keep
// them in their text file, not in memory (Catalogs::mailTexts reads them back). An absent value
// is std::nullopt.
struct MailTexts
{
    std::optional<QString> senderAddress;
    std::optional<QString> to;
    std::optional<QString> date;
    std::optional<QString> modificationTime;
    std::optional<QString> sensitivity;
    std::optional<QString> importance;
    std::optional<QString> body;
    std::optional<QString> attachments;
    // The entries of `attachments` in order, with their saved files where the scan saved them.
    QList<MailAttachment> attachmentFiles;
    std::optional<QString> folderPath;
    // Every recipient with its address and type, in stored order.
    QList<MailRecipient> recipients;

    friend bool operator==(const MailTexts&, const MailTexts&) = default;
};

// The texts of one mail item that the list shows and sorts by, and what identifies the item.
// An absent value is std::nullopt; the mail export decides which values it passes as absent.
struct MailRecord
{
    static constexpr int Kind = 0;

    // The folder's name. Absent on append means "the name of the record appended before", and
    // stays absent for the first record of the catalog.
    std::optional<QString> name;
    NodeId node = NoNode;
    int kind = Kind;
    std::optional<QString> from;
    std::optional<QString> subject;
    // PR_MESSAGE_DELIVERY_TIME as a FILETIME and PR_MESSAGE_SIZE, as numbers: texts for every
    // mail would cost a million-mail store a hundred megabytes. MessageTexts writes them out.
    std::optional<quint64> deliveryTime;
    std::optional<quint32> size;
    std::optional<QString> flags;
    std::optional<QString> priority;
    // The names of the To recipients as the list's To column shows them ("Ann Lee; Bob Roy");
    // absent when the mail has none.
    std::optional<QString> toNames;
    int bodyKind = 0; // 0: body is plain text, 1: body is HTML
    bool hasAttachments = false;
    // When the mail came: its delivery time, else its submit time, else its creation time, in ms
    // since 1970 (UTC); -1 when it has none. What a search's date range looks at.
    qint64 time = -1;
    int serial = 0; // stored as 1 when appended with 0
    // Where the catalogs keep the mail's MailTexts; set by the append.
    TextRef texts;
};

// A mail with all of its texts: what the mail export hands to the catalogs, and what a preview
// or a full listing works from.
struct Mail
{
    MailRecord record;
    MailTexts texts;
};

} // namespace catalog
