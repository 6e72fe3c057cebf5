#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <cstdint>
#include <memory>

namespace eml {

struct Message;

// One party of a message: a display name and an SMTP address, either of which may be empty.
// The address must be an Internet address (local@domain). A mailbox without one (no address, or
// an X.500 / Exchange legacy address) is written as an empty group with its name, "Name: ;"
// (RFC 6854 allows it in From too), so no address is ever invented; without a name, the stored
// address text stands in as the name.
struct Mailbox
{
    QString name;
    QString address;

    bool isEmpty() const { return name.isEmpty() && address.isEmpty(); }
    friend bool operator==(const Mailbox&, const Mailbox&) = default;
};

enum class Importance
{
    Unset,
    Low,
    Normal,
    High,
};

// The sender's urgency; written as X-Priority 5, 3 and 1.
enum class Priority
{
    Unset,
    NonUrgent,
    Normal,
    Urgent,
};

enum class Sensitivity
{
    Unset,
    Normal,
    Personal,
    Private,
    Confidential,
};

// One attachment of a message: a file attached by value, an embedded message, or a reference to a
// file that lives elsewhere (a path or URL).
struct Attachment
{
    enum class Kind
    {
        Data,
        Embedded,
        Reference,
    };

    Kind kind = Kind::Data;
    // The name to save it under; an embedded message without one is named after its subject,
    // and ".eml" is added.
    QString fileName;
    // The MIME type as stored ("image/png"); empty means "derive it from the file name".
    QString mimeType;
    // Content-ID without angle brackets; the HTML body refers to it as "cid:<contentId>".
    QString contentId;
    // Content-Location (PR_ATTACH_CONTENT_LOCATION): the URL by which the HTML body may refer to
    // it instead of a Content-ID.
    QString contentLocation;
    // Written with an inline disposition (shown in the body, not listed). Attachments that the
    // HTML body refers to are inline whatever this says.
    bool isInline = false;
    // Data: the file's bytes, and its times when stored (PR_CREATION_TIME,
    // PR_LAST_MODIFICATION_TIME), written as RFC 2183 creation-date and modification-date.
    QByteArray data;
    QDateTime created;
    QDateTime modified;
    // Embedded: the attached message. Shared and immutable, so copying a Message stays cheap.
    std::shared_ptr<const Message> message;
    // Reference: where the file is (a path such as \\server\share\a.doc, or a URL).
    QString referenceTarget;

    static Attachment fromData(const QString& fileName, const QByteArray& data, const QString& mimeType = {});
    static Attachment fromMessage(const QString& fileName, Message message);
    static Attachment fromReference(const QString& fileName, const QString& target);
};

// Everything that goes into one RFC 5322 message, as plain values. The engine fills it from the
// store; MessageWriter turns it into bytes. Empty values are left out of the output.
struct Message
{
    // The Internet headers as received (PR_TRANSPORT_MESSAGE_HEADERS); when present they are kept
    // and only their MIME structure headers are replaced.
    QString transportHeaders;

    Mailbox from;
    // The mailbox that actually sent the message when it differs from the author.
    Mailbox sender;
    QList<Mailbox> replyTo;
    QList<Mailbox> to;
    QList<Mailbox> cc;
    QList<Mailbox> bcc;
    QString subject;
    // The sending time; written in UTC. An invalid date writes no Date header.
    QDateTime date;
    // Message identifiers with their angle brackets, as stored ("<abc@example.com>").
    QString messageId;
    // A key by which the converter recognises the message again when it has no Message-ID;
    // written as X-Ost2eml-Key only when no Message-ID is written.
    QString storeKey;
    QString inReplyTo;
    // Whitespace-separated message identifiers.
    QString references;
    // Outlook's conversation threading (PR_CONVERSATION_TOPIC, PR_CONVERSATION_INDEX), written
    // as Thread-Topic and Thread-Index (base64).
    QString threadTopic;
    QByteArray threadIndex;
    Importance importance = Importance::Unset;
    Priority priority = Priority::Unset;
    Sensitivity sensitivity = Sensitivity::Unset;
    // A draft that was never sent (MSGFLAG_UNSENT); written as X-Unsent: 1 so that mail programs
    // open it for editing.
    bool isUnsent = false;

    QString plainBody;
    QString htmlBody;
    // The decompressed RTF body. Used only when it adds something: HTML or text that it
    // encapsulates, or its text when the message has no other body.
    QByteArray rtfBody;
    // The Windows code page of the message (PR_INTERNET_CPID / PR_MESSAGE_CODEPAGE), used for RTF
    // text that names no code page of its own; 0 means Windows-1252.
    int codePage = 0;

    QList<Attachment> attachments;

    // A FILETIME (100-ns ticks since 1601-01-01 UTC) as a UTC date-time; invalid when out of range.
    static QDateTime dateFromFileTime(std::uint64_t fileTime);
};

} // namespace eml
