#include "MailEnvelope.h"

#include "store/MapiTags.h"
#include "eml/Message.h"
#include "store/Item.h"
#include "store/StoreError.h"

#include <QCryptographicHash>
#include <optional>

namespace convert {

namespace mapi = store::mapi;

namespace {

// MAPI properties read only for the envelope.
constexpr std::uint32_t PrIconIndex = 0x1080;
constexpr std::uint32_t PrLastVerbExecuted = 0x1081;
constexpr std::uint32_t PrFlagStatus = 0x1090;

constexpr std::uint32_t kMessageFlagRead = 0x0001;
constexpr std::uint32_t kMessageFlagUnsent = 0x0008;
constexpr std::uint32_t kFlagStatusFlagged = 2;
constexpr std::uint32_t kVerbReplyToSender = 102;
constexpr std::uint32_t kVerbReplyToAll = 103;
constexpr std::uint32_t kIconReplied = 261;

template <typename Read> auto quietly(Read read) -> decltype(read())
{
    try {
        return read();
    } catch (const store::StoreError&) {
        return {};
    }
}

QByteArray firstIdentifier(QByteArray text)
{
    text = text.trimmed();
    const qsizetype open = text.indexOf('<');
    if (open < 0)
        return text.split(' ').constFirst();
    const qsizetype close = text.indexOf('>', open);
    return close < 0 ? QByteArray() : text.mid(open, close - open + 1);
}

// The value of the first header field called name (case-insensitive), unfolded; none when the
// header has no such field. The header ends at the first empty line.
std::optional<QByteArray> headerField(const QByteArray& message, const QByteArray& name)
{
    qsizetype at = 0;
    while (at < message.size()) {
        qsizetype end = message.indexOf('\n', at);
        if (end < 0)
            end = message.size();
        const QByteArray line = message.mid(at, end - at);
        if (line.isEmpty() || line == "\r")
            return std::nullopt;
        if (line.size() > name.size() && line.at(name.size()) == ':' &&
            qstrnicmp(line.constData(), name.constData(), name.size()) == 0) {
            QByteArray value = line.mid(name.size() + 1);
            // Continuation lines start with white space.
            for (at = end + 1; at < message.size() && (message.at(at) == ' ' || message.at(at) == '\t');) {
                qsizetype next = message.indexOf('\n', at);
                if (next < 0)
                    next = message.size();
                value += ' ' + message.mid(at, next - at).trimmed();
                at = next + 1;
            }
            return value.trimmed();
        }
        at = end + 1;
    }
    return std::nullopt;
}

} // namespace

MailEnvelope MailEnvelope::read(const store::Item& item)
{
    MailEnvelope envelope;
    if (const auto flags = quietly([&] { return item.integer32(mapi::PrMessageFlags); })) {
        envelope.seen = (*flags & kMessageFlagRead) != 0;
        envelope.draft = (*flags & kMessageFlagUnsent) != 0;
    }
    envelope.flagged = quietly([&] { return item.integer32(PrFlagStatus); }) == kFlagStatusFlagged;
    const auto verb = quietly([&] { return item.integer32(PrLastVerbExecuted); });
    envelope.answered = verb == kVerbReplyToSender || verb == kVerbReplyToAll ||
                        quietly([&] { return item.integer32(PrIconIndex); }) == kIconReplied;

    const auto time = [&](std::uint32_t tag) {
        return quietly([&] { return item.fileTime(tag); });
    };
    const auto submitted = time(mapi::PrClientSubmitTime);
    const auto delivered = time(mapi::PrMessageDeliveryTime);
    const auto created = time(mapi::PrCreationTime);
    const auto first = [](std::initializer_list<std::optional<std::uint64_t>> times) {
        for (const auto& t : times) {
            if (t)
                return eml::Message::dateFromFileTime(*t);
        }
        return QDateTime();
    };
    envelope.delivered = first({delivered, submitted, created});
    envelope.date = first({submitted, delivered, created});

    for (const std::uint32_t tag : {mapi::PrSenderSmtpAddress, mapi::PrSentRepresentingSmtpAddress,
                                    mapi::PrSenderEmailAddress, mapi::PrSentRepresentingEmailAddress}) {
        const auto address = quietly([&] { return item.utf8String(tag); });
        if (address && address->contains('@') && !address->contains(' ')) {
            envelope.senderAddress = address->trimmed();
            break;
        }
    }
    return envelope;
}

QByteArray MailEnvelope::storedMessageId(const store::Item& item)
{
    const auto stored = quietly([&] { return item.messageUtf8String(mapi::PrInternetMessageId); });
    return stored ? firstIdentifier(*stored) : QByteArray();
}

QByteArray MailEnvelope::storeKey(const store::Item& item)
{
    QByteArray text = QByteArray::number(item.identifier());
    for (const std::uint32_t tag : {mapi::PrCreationTime, mapi::PrMessageDeliveryTime})
        text += ' ' + QByteArray::number(quietly([&] { return item.fileTime(tag); }).value_or(0));
    return QCryptographicHash::hash(text, QCryptographicHash::Sha256).left(16).toHex();
}

QByteArray MailEnvelope::identityOf(const QByteArray& message)
{
    if (const auto id = headerField(message, "Message-ID"); id && !firstIdentifier(*id).isEmpty())
        return firstIdentifier(*id);
    return headerField(message, kKeyField).value_or(QByteArray());
}

} // namespace convert
