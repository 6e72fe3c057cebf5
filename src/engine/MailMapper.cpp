#include "MailMapper.h"

#include "store/CodePage.h"
#include "store/Item.h"
#include "store/StoreError.h"

#include <QStringDecoder>
#include <limits>

namespace engine {

namespace {

namespace tag {
constexpr std::uint32_t Importance = 0x0017;
constexpr std::uint32_t Priority = 0x0026;
constexpr std::uint32_t Sensitivity = 0x0036;
constexpr std::uint32_t Subject = 0x0037;
constexpr std::uint32_t ClientSubmitTime = 0x0039;
constexpr std::uint32_t SentRepresentingName = 0x0042;
constexpr std::uint32_t SentRepresentingAddressType = 0x0064;
constexpr std::uint32_t SentRepresentingEmailAddress = 0x0065;
constexpr std::uint32_t ConversationTopic = 0x0070;
constexpr std::uint32_t ConversationIndex = 0x0071;
constexpr std::uint32_t TransportMessageHeaders = 0x007D;
constexpr std::uint32_t MessageFlags = 0x0E07;
constexpr std::uint32_t LastModificationTime = 0x3008;
constexpr std::uint32_t AttachContentLocation = 0x3713;
constexpr std::uint32_t AttachmentHidden = 0x7FFE;
constexpr std::uint32_t RecipientType = 0x0C15;
constexpr std::uint32_t SenderName = 0x0C1A;
constexpr std::uint32_t SenderAddressType = 0x0C1E;
constexpr std::uint32_t SenderEmailAddress = 0x0C1F;
constexpr std::uint32_t MessageDeliveryTime = 0x0E06;
constexpr std::uint32_t HtmlBody = 0x1013;
constexpr std::uint32_t InternetMessageId = 0x1035;
constexpr std::uint32_t InternetReferences = 0x1039;
constexpr std::uint32_t InReplyTo = 0x1042;
constexpr std::uint32_t DisplayName = 0x3001;
constexpr std::uint32_t AddressType = 0x3002;
constexpr std::uint32_t EmailAddress = 0x3003;
constexpr std::uint32_t CreationTime = 0x3007;
constexpr std::uint32_t AttachFilename = 0x3704;
constexpr std::uint32_t AttachLongFilename = 0x3707;
constexpr std::uint32_t AttachPathname = 0x3708;
constexpr std::uint32_t AttachLongPathname = 0x370D;
constexpr std::uint32_t AttachMimeTag = 0x370E;
constexpr std::uint32_t AttachContentId = 0x3712;
constexpr std::uint32_t SmtpAddress = 0x39FE;
constexpr std::uint32_t InternetCodePage = 0x3FDE;
constexpr std::uint32_t MessageCodePage = 0x3FFD;
constexpr std::uint32_t SenderSmtpAddress = 0x5D01;
constexpr std::uint32_t SentRepresentingSmtpAddress = 0x5D02;
} // namespace tag

constexpr std::uint32_t kUnicodeType = 0x001F;

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

// Outlook keeps a subject's prefix length in a marker before the text: U+0001 and one more
// character. The marker is not part of the subject.
QString withoutSubjectMarker(QString subject)
{
    if (subject.size() >= 2 && subject.at(0) == QChar(0x0001))
        subject.remove(0, 2);
    return subject;
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

    message.transportHeaders = string(tag::TransportMessageHeaders, "transport headers");
    message.subject = withoutSubjectMarker(string(tag::Subject, "subject"));

    // The author (sent representing) is From; the mailbox that sent it, when another, is Sender.
    const QString senderName = string(tag::SenderName, "sender name");
    const QString representingName = string(tag::SentRepresentingName, "sender name");
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
        addressOf(tag::SenderSmtpAddress, tag::SenderAddressType, tag::SenderEmailAddress);
    const QString representingAddress =
        addressOf(tag::SentRepresentingSmtpAddress, tag::SentRepresentingAddressType,
                  tag::SentRepresentingEmailAddress);
    message.from.name = representingName.isEmpty() ? senderName : representingName;
    message.from.address = senderAddress.isEmpty() ? representingAddress : senderAddress;
    if (!representingAddress.isEmpty() && !senderAddress.isEmpty() &&
        representingAddress.compare(senderAddress, Qt::CaseInsensitive) != 0) {
        message.from.address = representingAddress;
        message.sender = {senderName, senderAddress};
    }

    std::optional<std::uint64_t> when =
        tryRead(QStringLiteral("date"), [&] { return item.fileTime(tag::ClientSubmitTime); });
    if (!when)
        when = tryRead(QStringLiteral("date"), [&] { return item.fileTime(tag::MessageDeliveryTime); });
    if (!when)
        when = tryRead(QStringLiteral("date"), [&] { return item.fileTime(tag::CreationTime); });
    if (when)
        message.date = eml::Message::dateFromFileTime(*when);

    message.threadTopic = string(tag::ConversationTopic, "conversation topic");
    message.threadIndex = tryRead(QStringLiteral("conversation index"), [&] {
                              return item.binary(tag::ConversationIndex);
                          }).value_or(QByteArray());
    if (const auto flags = number(tag::MessageFlags, "message flags"))
        message.isUnsent = (*flags & 0x0008) != 0;

    message.messageId = string(tag::InternetMessageId, "message id").trimmed();
    message.inReplyTo = string(tag::InReplyTo, "in-reply-to").trimmed();
    message.references = string(tag::InternetReferences, "references").simplified();

    if (const auto importance = number(tag::Importance, "importance")) {
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
    if (const auto priority = number(tag::Priority, "priority")) {
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
    if (const auto sensitivity = number(tag::Sensitivity, "sensitivity")) {
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

    const auto internetCodePage = number(tag::InternetCodePage, "code page");
    const auto messageCodePage =
        internetCodePage ? internetCodePage : number(tag::MessageCodePage, "code page");
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
        mailbox.name = string(tag::DisplayName);
        mailbox.address = smtpOnly(string(tag::SmtpAddress));
        if (mailbox.address.isEmpty()) {
            const QString addressType = string(tag::AddressType);
            if (addressType.isEmpty() || addressType.compare(QLatin1String("SMTP"), Qt::CaseInsensitive) == 0)
                mailbox.address = smtpOnly(string(tag::EmailAddress));
        }
        if (mailbox.isEmpty())
            continue;
        const auto type = tryRead(what, [&] { return table->integer32(tag::RecipientType, row); });
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
        const auto type = tryRead(QStringLiteral("HTML body"), [&] { return item.valueType(tag::HtmlBody); });
        if (type && *type == kUnicodeType) {
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

void MailMapper::readAttachments(const store::Item& item, eml::Message& message, int depth)
{
    const int count = tryRead(QStringLiteral("attachments"), [&] { return item.attachmentCount(); });
    for (int index = 0; index < count; ++index) {
        const std::unique_ptr<store::Item> attachment =
            tryRead(QStringLiteral("attachment %1").arg(index + 1), [&] { return item.attachment(index); });
        if (attachment)
            message.attachments << readAttachment(*attachment, index, depth);
        else
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
    QString fileName = string(tag::AttachLongFilename);
    if (fileName.isEmpty())
        fileName = string(tag::AttachFilename);
    if (fileName.isEmpty())
        fileName = string(tag::DisplayName);

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
        QString target = string(tag::AttachLongPathname);
        if (target.isEmpty())
            target = string(tag::AttachPathname);
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
    eml::Attachment result = eml::Attachment::fromData(fileName, data, string(tag::AttachMimeTag).trimmed());
    result.contentId = string(tag::AttachContentId).trimmed();
    result.contentLocation = string(tag::AttachContentLocation).trimmed();
    result.isInline =
        tryRead(what, [&] { return attachment.boolean(tag::AttachmentHidden); }).value_or(false);
    if (const auto created = tryRead(what, [&] { return attachment.fileTime(tag::CreationTime); }))
        result.created = eml::Message::dateFromFileTime(*created);
    if (const auto modified = tryRead(what, [&] { return attachment.fileTime(tag::LastModificationTime); }))
        result.modified = eml::Message::dateFromFileTime(*modified);
    if (result.contentId.startsWith(QLatin1Char('<')) && result.contentId.endsWith(QLatin1Char('>')))
        result.contentId = result.contentId.mid(1, result.contentId.size() - 2);
    return result;
}

} // namespace engine
