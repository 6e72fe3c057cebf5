#include "MailMapper.h"

#include "store/MapiTags.h"
#include "eml/OlePicture.h"
#include "store/CodePage.h"
#include "store/Item.h"
#include "store/StoreError.h"

#include <QStringDecoder>
#include <limits>

namespace convert {

namespace mapi = store::mapi;

namespace {

QString text(const std::optional<QByteArray>& value)
{
    return value ? QString::fromUtf8(*value) : QString();
}

// An SMTP address as stored, or empty: Exchange (X.500) addresses and anything without an "@"
// are not Internet addresses and are never written as one.
QString smtpOnly(const QString& address)
{
    const QString trimmed = address.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('/')) || !trimmed.contains(QLatin1Char('@')) ||
        trimmed.contains(QLatin1Char(' ')))
        return {};
    return trimmed;
}

QByteArray withoutTrailingZeros(QByteArray bytes)
{
    while (!bytes.isEmpty() && bytes.back() == '\0')
        bytes.chop(1);
    return bytes;
}

} // namespace

template <typename Read> auto MailMapper::tryRead(const QString& what, Read read) -> decltype(read())
{
    try {
        return read();
    } catch (const store::StoreError& error) {
        m_problems << what + QStringLiteral(": ") + error.message().section(QLatin1Char('\n'), 0, 0);
        return {};
    }
}

eml::Message MailMapper::map(const store::Item& item)
{
    m_problems.clear();
    return mapMessage(item, 0);
}

eml::Message MailMapper::mapMessage(const store::Item& item, int depth)
{
    eml::Message message;
    readHeaders(item, message);
    readRecipients(item, message);
    readBodies(item, message);
    readAttachments(item, message, depth);
    return message;
}

void MailMapper::readHeaders(const store::Item& item, eml::Message& message)
{
    const auto string = [&](std::uint32_t property, const char* what) {
        return tryRead(QString::fromLatin1(what), [&] { return text(item.messageUtf8String(property)); });
    };
    const auto number = [&](std::uint32_t property, const char* what) {
        return tryRead(QString::fromLatin1(what), [&] { return item.integer32(property); });
    };

    message.transportHeaders = string(mapi::PrTransportMessageHeaders, "transport headers");
    message.subject = mapi::withoutSubjectMarker(string(mapi::PrSubject, "subject"));

    // The author (sent representing) is From; the mailbox that sent it, when another, is Sender.
    const QString senderName = string(mapi::PrSenderName, "sender name");
    const QString representingName = string(mapi::PrSentRepresentingName, "sender name");
    const auto addressOf = [&](std::uint32_t smtp, std::uint32_t type, std::uint32_t address) {
        QString found = smtpOnly(string(smtp, "sender address"));
        if (found.isEmpty()) {
            const QString addressType = string(type, "sender address type");
            if (addressType.isEmpty() || addressType.compare(QLatin1String("SMTP"), Qt::CaseInsensitive) == 0)
                found = smtpOnly(string(address, "sender address"));
        }
        return found;
    };
    const QString senderAddress =
        addressOf(mapi::PrSenderSmtpAddress, mapi::PrSenderAddressType, mapi::PrSenderEmailAddress);
    const QString representingAddress =
        addressOf(mapi::PrSentRepresentingSmtpAddress, mapi::PrSentRepresentingAddressType,
                  mapi::PrSentRepresentingEmailAddress);
    message.from.name = representingName.isEmpty() ? senderName : representingName;
    message.from.address = senderAddress.isEmpty() ? representingAddress : senderAddress;
    if (!representingAddress.isEmpty() && !senderAddress.isEmpty() &&
        representingAddress.compare(senderAddress, Qt::CaseInsensitive) != 0) {
        message.from.address = representingAddress;
        message.sender = {senderName, senderAddress};
    }

    std::optional<std::uint64_t> when =
        tryRead(QStringLiteral("date"), [&] { return item.fileTime(mapi::PrClientSubmitTime); });
    if (!when)
        when = tryRead(QStringLiteral("date"), [&] { return item.fileTime(mapi::PrMessageDeliveryTime); });
    if (!when)
        when = tryRead(QStringLiteral("date"), [&] { return item.fileTime(mapi::PrCreationTime); });
    if (when)
        message.date = eml::Message::dateFromFileTime(*when);

    message.threadTopic = string(mapi::PrConversationTopic, "conversation topic");
    message.threadIndex = tryRead(QStringLiteral("conversation index"), [&] {
                              return item.binary(mapi::PrConversationIndex);
                          }).value_or(QByteArray());
    if (const auto flags = number(mapi::PrMessageFlags, "message flags"))
        message.isUnsent = (*flags & 0x0008) != 0;

    message.messageId = string(mapi::PrInternetMessageId, "message id").trimmed();
    message.inReplyTo = string(mapi::PrInReplyTo, "in-reply-to").trimmed();
    message.references = string(mapi::PrInternetReferences, "references").simplified();

    if (const auto importance = number(mapi::PrImportance, "importance")) {
        switch (static_cast<std::int32_t>(*importance)) {
        case 0:
            message.importance = eml::Importance::Low;
            break;
        case 1:
            message.importance = eml::Importance::Normal;
            break;
        case 2:
            message.importance = eml::Importance::High;
            break;
        default:
            break;
        }
    }
    if (const auto priority = number(mapi::PrPriority, "priority")) {
        switch (static_cast<std::int32_t>(*priority)) {
        case -1:
            message.priority = eml::Priority::NonUrgent;
            break;
        case 0:
            message.priority = eml::Priority::Normal;
            break;
        case 1:
            message.priority = eml::Priority::Urgent;
            break;
        default:
            break;
        }
    }
    if (const auto sensitivity = number(mapi::PrSensitivity, "sensitivity")) {
        switch (static_cast<std::int32_t>(*sensitivity)) {
        case 0:
            message.sensitivity = eml::Sensitivity::Normal;
            break;
        case 1:
            message.sensitivity = eml::Sensitivity::Personal;
            break;
        case 2:
            message.sensitivity = eml::Sensitivity::Private;
            break;
        case 3:
            message.sensitivity = eml::Sensitivity::Confidential;
            break;
        default:
            break;
        }
    }

    const auto internetCodePage = number(mapi::PrInternetCodePage, "code page");
    const auto messageCodePage =
        internetCodePage ? internetCodePage : number(mapi::PrMessageCodePage, "code page");
    message.codePage = messageCodePage ? static_cast<int>(*messageCodePage) : 0;
}

void MailMapper::readRecipients(const store::Item& item, eml::Message& message)
{
    const std::unique_ptr<store::Item> table =
        tryRead(QStringLiteral("recipients"), [&] { return item.recipients(); });
    if (!table)
        return;
    const int count = tryRead(QStringLiteral("recipients"), [&] { return table->recordSetCount(); });
    for (int row = 0; row < count; ++row) {
        const QString what = QStringLiteral("recipient %1").arg(row + 1);
        const auto string = [&](std::uint32_t property) {
            return tryRead(what, [&] { return text(table->utf8String(property, row)); });
        };
        eml::Mailbox mailbox;
        mailbox.name = string(mapi::PrDisplayName);
        mailbox.address = smtpOnly(string(mapi::PrSmtpAddress));
        if (mailbox.address.isEmpty()) {
            const QString addressType = string(mapi::PrAddressType);
            if (addressType.isEmpty() || addressType.compare(QLatin1String("SMTP"), Qt::CaseInsensitive) == 0)
                mailbox.address = smtpOnly(string(mapi::PrEmailAddress));
        }
        if (mailbox.isEmpty())
            continue;
        const auto type = tryRead(what, [&] { return table->integer32(mapi::PrRecipientType, row); });
        // The low bits carry the type; higher bits mark recipients that were already sent to.
        switch (type ? (*type & 0x0F) : 1) {
        case 2:
            message.cc << mailbox;
            break;
        case 3:
            message.bcc << mailbox;
            break;
        default:
            message.to << mailbox;
            break;
        }
    }
}

void MailMapper::readBodies(const store::Item& item, eml::Message& message)
{
    if (const auto plain = tryRead(QStringLiteral("plain-text body"), [&] { return item.plainTextBody(); }))
        message.plainBody = QString::fromUtf8(withoutTrailingZeros(*plain));

    if (const auto html = tryRead(QStringLiteral("HTML body"), [&] { return item.htmlBody(); })) {
        const auto type = tryRead(QStringLiteral("HTML body"), [&] { return item.valueType(mapi::PrHtml); });
        if (type && *type == store::valuetype::Unicode) {
            QStringDecoder utf16(QStringDecoder::Utf16LE);
            message.htmlBody = utf16.decode(*html);
            while (message.htmlBody.endsWith(QChar(0)))
                message.htmlBody.chop(1);
        } else {
            message.htmlBody = store::decodeCodePage(withoutTrailingZeros(*html),
                                                     message.codePage > 0 ? message.codePage : 1252);
        }
    }

    if (const auto rtf = tryRead(QStringLiteral("RTF body"), [&] { return item.rtfBody(); }))
        message.rtfBody = withoutTrailingZeros(*rtf);
}

namespace {

// The name of the picture of an OLE object: the object's name as a .bmp file.
QString pictureName(const QString& objectName)
{
    if (objectName.endsWith(QLatin1String(".bmp"), Qt::CaseInsensitive))
        return objectName.left(objectName.size() - 4) + QStringLiteral(" (picture).bmp");
    return objectName + QStringLiteral(".bmp");
}

} // namespace

void MailMapper::readAttachments(const store::Item& item, eml::Message& message, int depth)
{
    const int count = tryRead(QStringLiteral("attachments"), [&] { return item.attachmentCount(); });
    for (int index = 0; index < count; ++index) {
        const std::unique_ptr<store::Item> attachment =
            tryRead(QStringLiteral("attachment %1").arg(index + 1), [&] { return item.attachment(index); });
        if (attachment) {
            message.attachments << readAttachment(*attachment, index, depth);
            // Beside an OLE object, the picture it shows where it holds one that mail programs
            // can display: the object itself opens only in the program that made it.
            const eml::Attachment& read = message.attachments.back();
            if (read.kind == eml::Attachment::Kind::Data &&
                tryRead(QStringLiteral("attachment %1").arg(index + 1), [&] {
                    return attachment->valueType(mapi::PrAttachData);
                }) == store::valuetype::Object) {
                if (const std::optional<QByteArray> picture = eml::olePictureAsBmp(read.data))
                    message.attachments << eml::Attachment::fromData(pictureName(read.fileName), *picture,
                                                                     QStringLiteral("image/bmp"));
            }
        } else
            message.attachments << eml::Attachment::fromData(
                QStringLiteral("attachment-%1-unreadable.txt").arg(index + 1),
                "This attachment could not be read from the store.\r\n", QStringLiteral("text/plain"));
    }
}

eml::Attachment MailMapper::readAttachment(const store::Item& attachment, int index, int depth)
{
    const QString what = QStringLiteral("attachment %1").arg(index + 1);
    const auto string = [&](std::uint32_t property) {
        return tryRead(what, [&] { return text(attachment.utf8String(property)); });
    };
    QString fileName = string(mapi::PrAttachLongFileName);
    if (fileName.isEmpty())
        fileName = string(mapi::PrAttachFileName);
    if (fileName.isEmpty())
        fileName = string(mapi::PrDisplayName);

    const store::AttachmentType type = tryRead(what, [&] {
                                           return std::optional(attachment.attachmentType());
                                       }).value_or(store::AttachmentType::Undefined);

    if (type == store::AttachmentType::Item) {
        const std::unique_ptr<store::Item> embedded =
            tryRead(what, [&] { return attachment.embeddedItem(); });
        if (embedded && depth < kMaxNesting) {
            eml::Message inner = mapMessage(*embedded, depth + 1);
            if (fileName.isEmpty())
                fileName = inner.subject;
            if (fileName.isEmpty())
                fileName = QStringLiteral("attached message %1").arg(index + 1);
            return eml::Attachment::fromMessage(fileName, std::move(inner));
        }
        const QString note =
            embedded ? QStringLiteral("This attached message is nested too deeply to be converted.\r\n")
                     : QStringLiteral("This attached message could not be read from the store.\r\n");
        if (embedded)
            m_problems
                << what + QStringLiteral(": attached messages nested deeper than %1 levels").arg(kMaxNesting);
        return eml::Attachment::fromData(
            QStringLiteral("attachment-%1-message-not-converted.txt").arg(index + 1), note.toUtf8(),
            QStringLiteral("text/plain"));
    }

    if (type == store::AttachmentType::Reference) {
        QString target = string(mapi::PrAttachLongPathName);
        if (target.isEmpty())
            target = string(mapi::PrAttachPathName);
        return eml::Attachment::fromReference(fileName, target);
    }

    QByteArray data;
    const std::uint64_t size =
        tryRead(what, [&] { return std::optional(attachment.attachmentDataSize()); }).value_or(0);
    if (size > 0) {
        if (size > static_cast<std::uint64_t>(std::numeric_limits<qsizetype>::max() / 2)) {
            m_problems << what + QStringLiteral(": too large to convert (%1 bytes)").arg(size);
        } else {
            const qsizetype problemsBefore = m_problems.size();
            data = tryRead(what,
                           [&] { return attachment.readAttachmentData(0, static_cast<std::size_t>(size)); });
            if (m_problems.size() == problemsBefore && static_cast<std::uint64_t>(data.size()) != size)
                m_problems
                    << what +
                           QStringLiteral(": only %1 of %2 bytes could be read").arg(data.size()).arg(size);
        }
    }
    if (fileName.isEmpty())
        fileName = QStringLiteral("attachment-%1").arg(index + 1);
    QString mimeType = string(mapi::PrAttachMimeTag).trimmed();
    // An object (an OLE attachment) is its stored compound file whatever its name says.
    if (mimeType.isEmpty() &&
        tryRead(what, [&] { return attachment.valueType(mapi::PrAttachData); }) == store::valuetype::Object)
        mimeType = QStringLiteral("application/octet-stream");
    eml::Attachment result = eml::Attachment::fromData(fileName, data, mimeType);
    result.contentId = string(mapi::PrAttachContentId).trimmed();
    result.contentLocation = string(mapi::PrAttachContentLocation).trimmed();
    result.isInline =
        tryRead(what, [&] { return attachment.boolean(mapi::PrAttachmentHidden); }).value_or(false);
    if (const auto created = tryRead(what, [&] { return attachment.fileTime(mapi::PrCreationTime); }))
        result.created = eml::Message::dateFromFileTime(*created);
    if (const auto modified =
            tryRead(what, [&] { return attachment.fileTime(mapi::PrLastModificationTime); }))
        result.modified = eml::Message::dateFromFileTime(*modified);
    if (result.contentId.startsWith(QLatin1Char('<')) && result.contentId.endsWith(QLatin1Char('>')))
        result.contentId = result.contentId.mid(1, result.contentId.size() - 2);
    return result;
}

} // namespace convert
