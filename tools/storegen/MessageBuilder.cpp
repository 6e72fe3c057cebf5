#include "MessageBuilder.h"

namespace storegen {

MessageBuilder::MessageBuilder(const QString& messageClass)
{
    m_message.properties.push_back(Property::text(0x001A, messageClass));
}

std::uint64_t MessageBuilder::fileTime(const QDateTime& utc)
{
    return static_cast<std::uint64_t>(utc.toMSecsSinceEpoch() + 11644473600000LL) * 10000;
}

MessageBuilder& MessageBuilder::property(const Property& p)
{
    if (!p.named && p.id == 0x0E08)
        m_hasSize = true;
    m_message.properties.push_back(p);
    return *this;
}

MessageBuilder& MessageBuilder::appointment(std::uint64_t start, std::uint64_t end, const QString& location,
                                            std::uint32_t busyStatus)
{
    const QUuid set = propertyset::appointment();
    const auto minutes = static_cast<std::uint32_t>((end - start) / 600000000ull);
    property(Property::fileTime(0x0060, start));
    property(Property::fileTime(0x0061, end));
    property(Property::namedAs(set, 0x820D, Property::fileTime(0, start)));
    property(Property::namedAs(set, 0x820E, Property::fileTime(0, end)));
    property(Property::namedAs(set, 0x8208, Property::text(0, location)));
    property(Property::namedAs(set, 0x8205, Property::integer32(0, busyStatus)));
    property(Property::namedAs(set, 0x8213, Property::integer32(0, minutes)));
    return property(Property::namedAs(set, 0x8223, Property::boolean(0, false)));
}

MessageBuilder& MessageBuilder::recurrence(const QString& pattern, std::uint64_t from, std::uint64_t until)
{
    const QUuid set = propertyset::appointment();
    property(Property::namedAs(set, 0x8223, Property::boolean(0, true)));
    property(Property::namedAs(set, 0x8232, Property::text(0, pattern)));
    property(Property::namedAs(set, 0x8235, Property::fileTime(0, from)));
    return property(Property::namedAs(set, 0x8236, Property::fileTime(0, until)));
}

MessageBuilder& MessageBuilder::recurrenceBlob(const QByteArray& blob)
{
    return property(Property::namedAs(propertyset::appointment(), 0x8216, Property::binary(0, blob)));
}

MessageBuilder& MessageBuilder::attachException(const Message& instance, std::uint64_t start, std::uint64_t end)
{
    Attachment a;
    a.method = AttachMethod::EmbeddedMessage;
    a.message = std::make_shared<Message>(instance);
    a.properties.push_back(Property::text(0x3707, QStringLiteral("Untitled")));
    a.properties.push_back(Property::boolean(0x7FFE, true));   // hidden
    a.properties.push_back(Property::integer32(0x7FFD, 2));    // an exception of the series
    a.properties.push_back(Property::fileTime(0x7FFB, start)); // the instance's start and end
    a.properties.push_back(Property::fileTime(0x7FFC, end));
    m_message.attachments.push_back(std::move(a));
    return *this;
}

MessageBuilder& MessageBuilder::contact(const QString& first, const QString& last, const QString& email)
{
    const QUuid address = propertyset::address();
    const QString name = first + QLatin1Char(' ') + last;
    subject(name);
    property(Property::text(0x3001, name));
    property(Property::text(0x3A06, first));
    property(Property::text(0x3A11, last));
    property(Property::namedAs(address, 0x8005, Property::text(0, last + QStringLiteral(", ") + first)));
    property(Property::namedAs(address, 0x8083, Property::text(0, email)));
    property(Property::namedAs(address, 0x8080,
                               Property::text(0, name + QStringLiteral(" (") + email + QLatin1Char(')'))));
    return property(Property::namedAs(address, 0x8082, Property::text(0, QStringLiteral("SMTP"))));
}

MessageBuilder& MessageBuilder::categories(const QStringList& names)
{
    return property(Property::namedAs(propertyset::publicStrings(), QStringLiteral("Keywords"),
                                      Property::unicodes(0, names)));
}

MessageBuilder& MessageBuilder::subject(const QString& text)
{
    property(Property::text(0x0037, text));
    return property(Property::text(0x0E1D, text));
}

MessageBuilder& MessageBuilder::sender(const QString& name, const QString& email)
{
    property(Property::text(0x0C1A, name));
    property(Property::text(0x0C1F, email));
    property(Property::text(0x0C1E, QStringLiteral("SMTP")));
    property(Property::text(0x5D01, email));
    property(Property::text(0x0042, name));
    property(Property::text(0x0065, email));
    property(Property::text(0x0064, QStringLiteral("SMTP")));
    return property(Property::text(0x5D02, email));
}

MessageBuilder& MessageBuilder::recipient(std::uint32_t type, const QString& name, const QString& email)
{
    Recipient r;
    r.properties.push_back(Property::integer32(0x0C15, type));
    r.properties.push_back(Property::text(0x3001, name));
    r.properties.push_back(Property::text(0x3003, email));
    r.properties.push_back(Property::text(0x39FE, email));
    r.properties.push_back(Property::text(0x3002, QStringLiteral("SMTP")));
    r.properties.push_back(Property::integer32(0x0FFE, 6));
    m_message.recipients.push_back(std::move(r));

    // The display lists on the message follow the recipients table.
    const std::uint16_t listId = type == 1 ? 0x0E04 : type == 2 ? 0x0E03 : 0x0E02;
    QString list;
    for (const Recipient& each : m_message.recipients) {
        if (each.properties.front().value == Property::integer32(0, type).value) {
            if (!list.isEmpty())
                list += QStringLiteral("; ");
            list += each.properties[1].characters();
        }
    }
    for (auto it = m_message.properties.begin(); it != m_message.properties.end(); ++it) {
        if (!it->named && it->id == listId) {
            m_message.properties.erase(it);
            break;
        }
    }
    return property(Property::text(listId, list));
}

MessageBuilder& MessageBuilder::plainBody(const QString& text)
{
    return property(Property::text(0x1000, text));
}

MessageBuilder& MessageBuilder::htmlBody(const QByteArray& html)
{
    return property(Property::binary(0x1013, html));
}

MessageBuilder& MessageBuilder::rtfBody(const QByteArray& rtf)
{
    property(Property::binary(0x1009, compressedRtf(rtf)));
    return property(Property::boolean(0x0E1F, true));
}

MessageBuilder& MessageBuilder::times(std::uint64_t sent, std::uint64_t received)
{
    property(Property::fileTime(0x0039, sent));
    property(Property::fileTime(0x0E06, received));
    property(Property::fileTime(0x3007, received));
    return property(Property::fileTime(0x3008, received));
}

MessageBuilder& MessageBuilder::flags(std::uint32_t messageFlags)
{
    return property(Property::integer32(0x0E07, messageFlags));
}

MessageBuilder& MessageBuilder::importance(std::uint32_t value)
{
    return property(Property::integer32(0x0017, value));
}

MessageBuilder& MessageBuilder::priority(std::int32_t value)
{
    return property(Property::integer32(0x0026, static_cast<std::uint32_t>(value)));
}

MessageBuilder& MessageBuilder::sensitivity(std::uint32_t value)
{
    return property(Property::integer32(0x0036, value));
}

MessageBuilder& MessageBuilder::messageId(const QString& id)
{
    return property(Property::text(0x1035, id));
}

MessageBuilder& MessageBuilder::inReplyTo(const QString& id)
{
    return property(Property::text(0x1042, id));
}

MessageBuilder& MessageBuilder::references(const QString& ids)
{
    return property(Property::text(0x1039, ids));
}

MessageBuilder& MessageBuilder::transportHeaders(const QString& headers)
{
    return property(Property::text(0x007D, headers));
}

MessageBuilder& MessageBuilder::codePage(std::uint32_t cpid)
{
    return property(Property::integer32(0x3FDE, cpid));
}

MessageBuilder& MessageBuilder::attach(const QString& filename, const QString& mimeType,
                                       const QByteArray& data, const QString& contentId)
{
    Attachment a;
    a.method = AttachMethod::ByValue;
    a.data = data;
    a.properties.push_back(Property::text(0x3707, filename));
    a.properties.push_back(Property::text(0x3704, filename.left(12)));
    a.properties.push_back(Property::text(0x3001, filename));
    const qsizetype dot = filename.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0)
        a.properties.push_back(Property::text(0x3703, filename.mid(dot)));
    if (!mimeType.isEmpty())
        a.properties.push_back(Property::text(0x370E, mimeType));
    if (!contentId.isEmpty()) {
        a.properties.push_back(Property::text(0x3712, contentId));
        a.properties.push_back(Property::integer32(0x3714, 0x4)); // rendered inline (hidden)
        a.properties.push_back(Property::boolean(0x7FFE, true));
    }
    m_message.attachments.push_back(std::move(a));
    return *this;
}

MessageBuilder& MessageBuilder::attachObject(const QString& displayName, const QByteArray& compoundFile,
                                             const QString& filename)
{
    Attachment a;
    a.method = AttachMethod::OleObject;
    a.data = compoundFile;
    a.properties.push_back(Property::text(0x3001, displayName));
    if (!filename.isEmpty()) {
        a.properties.push_back(Property::text(0x3707, filename));
        a.properties.push_back(Property::text(0x3704, filename.left(12)));
    }
    m_message.attachments.push_back(std::move(a));
    return *this;
}

MessageBuilder& MessageBuilder::attachMessage(const Message& message, const QString& displayName)
{
    Attachment a;
    a.method = AttachMethod::EmbeddedMessage;
    a.message = std::make_shared<Message>(message);
    a.properties.push_back(Property::text(0x3001, displayName));
    a.properties.push_back(Property::text(0x370E, QStringLiteral("message/rfc822")));
    m_message.attachments.push_back(std::move(a));
    return *this;
}

MessageBuilder& MessageBuilder::attachReference(const QString& filename, const QString& path)
{
    Attachment a;
    a.method = AttachMethod::ByReference;
    a.properties.push_back(Property::text(0x3707, filename));
    a.properties.push_back(Property::text(0x3001, filename));
    a.properties.push_back(Property::text(0x370D, path));
    a.properties.push_back(Property::text(0x3708, path));
    m_message.attachments.push_back(std::move(a));
    return *this;
}

Message MessageBuilder::build() const
{
    Message m = m_message;
    if (!m_hasSize) {
        std::uint64_t size = 0;
        for (const Property& p : m.properties)
            size += static_cast<std::uint64_t>(p.value.size()) + 8;
        for (const Attachment& a : m.attachments)
            size += static_cast<std::uint64_t>(a.data.size()) + 200;
        for (const Recipient& r : m.recipients)
            size += 150 + static_cast<std::uint64_t>(r.properties.size()) * 8;
        m.properties.push_back(Property::integer32(
            0x0E08, static_cast<std::uint32_t>(std::min<std::uint64_t>(size, 0x7FFFFFFF))));
    }
    return m;
}

} // namespace storegen
