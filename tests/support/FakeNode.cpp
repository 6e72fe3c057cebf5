#include "FakeNode.h"

#include "FakeStore.h"

#include <QDateTime>
#include <store/StoreError.h>

namespace support {

namespace {
constexpr std::uint32_t DisplayName = 0x3001;
constexpr std::uint32_t Subject = 0x0037;
constexpr std::uint32_t AttachLongFileName = 0x3707;
constexpr std::uint32_t HtmlBody = 0x1013;
constexpr std::uint32_t RtfCompressed = 0x1009;
constexpr std::uint32_t PlainBody = 0x1000;

std::uint32_t propertyId(std::uint32_t tag)
{
    // Full tags carry the value type in their low half; ids alone fit in 16 bits.
    return tag > 0xFFFF ? tag >> 16 : tag;
}
} // namespace

FakeNode::FakeNode(std::shared_ptr<FakeStoreState> state, store::ItemType type, std::uint32_t identifier)
    : m_state(std::move(state)), m_type(type), m_identifier(identifier)
{
}

QString FakeNode::label() const
{
    for (std::uint32_t id : {DisplayName, Subject, AttachLongFileName}) {
        const auto it = m_properties.find({0, id});
        if (it != m_properties.end())
            return QString::fromUtf8(it->second.data);
    }
    return QStringLiteral("#%1").arg(m_identifier);
}

std::shared_ptr<FakeNode> FakeNode::makeChild(store::ItemType type)
{
    return std::make_shared<FakeNode>(m_state, type, m_state->nextIdentifier++);
}

FakeNode& FakeNode::addFolder(const QString& displayName)
{
    return addUnnamedFolder().setString(DisplayName, displayName);
}

FakeNode& FakeNode::addUnnamedFolder()
{
    m_folders.push_back(makeChild(store::ItemType::Folder));
    return *m_folders.back();
}

FakeNode& FakeNode::addMessage(store::ItemType type)
{
    m_messages.push_back(makeChild(type));
    return *m_messages.back();
}

FakeNode& FakeNode::addMail(const QString& subject)
{
    return addMessage(store::ItemType::Email).setString(Subject, subject);
}

FakeNode& FakeNode::addSubItem(store::ItemType type)
{
    m_extraSubItems.push_back(makeChild(type));
    return *m_extraSubItems.back();
}

FakeNode& FakeNode::setProperty(std::uint32_t id, const FakeProperty& property, int recordSet)
{
    m_properties[{recordSet, propertyId(id)}] = property;
    return *this;
}

FakeNode& FakeNode::setString(std::uint32_t id, const QString& text, int recordSet)
{
    return setProperty(id, {store::valuetype::Unicode, text.toUtf8(), 0}, recordSet);
}

FakeNode& FakeNode::setString8(std::uint32_t id, const QString& text, int recordSet)
{
    return setProperty(id, {store::valuetype::String8, text.toUtf8(), 0}, recordSet);
}

FakeNode& FakeNode::setInteger32(std::uint32_t id, std::int64_t value, int recordSet)
{
    return setProperty(id, {store::valuetype::Integer32, {}, static_cast<std::uint32_t>(value)}, recordSet);
}

FakeNode& FakeNode::setInteger16(std::uint32_t id, std::uint16_t value, int recordSet)
{
    return setProperty(id, {store::valuetype::Integer16, {}, value}, recordSet);
}

FakeNode& FakeNode::setBoolean(std::uint32_t id, bool value, int recordSet)
{
    return setProperty(id, {store::valuetype::Boolean, {}, value ? 1u : 0u}, recordSet);
}

FakeNode& FakeNode::setFileTime(std::uint32_t id, std::uint64_t fileTime, int recordSet)
{
    return setProperty(id, {store::valuetype::FileTime, {}, fileTime}, recordSet);
}

FakeNode& FakeNode::setBinary(std::uint32_t id, const QByteArray& data, int recordSet)
{
    return setProperty(id, {store::valuetype::Binary, data, 0}, recordSet);
}

FakeNode& FakeNode::setHtmlBody(const QByteArray& bytes, std::uint32_t valueType)
{
    return setProperty(HtmlBody, {valueType, bytes, 0});
}

FakeNode& FakeNode::setRtfBody(const QByteArray& decompressed)
{
    return setProperty(RtfCompressed, {store::valuetype::Binary, decompressed, 0});
}

FakeNode& FakeNode::setPlainTextBody(const QString& text)
{
    return setPlainTextBodyBytes(text.toUtf8());
}

FakeNode& FakeNode::setPlainTextBodyBytes(const QByteArray& utf8)
{
    return setProperty(PlainBody, {store::valuetype::Unicode, utf8, 0});
}

FakeNode& FakeNode::recipientsTable()
{
    if (!m_recipients)
        m_recipients = makeChild(store::ItemType::Recipients);
    return *m_recipients;
}

FakeNode& FakeNode::setEmptyRecipientsTable()
{
    recipientsTable();
    return *this;
}

FakeNode& FakeNode::addRecipient(const QString& displayName, const QString& emailAddress)
{
    std::map<std::uint32_t, QString> strings;
    if (!displayName.isNull())
        strings[0x3001] = displayName;
    if (!emailAddress.isNull()) {
        strings[0x3002] = QStringLiteral("SMTP");
        strings[0x3003] = emailAddress;
    }
    return addRecipientProperties(strings);
}

FakeNode& FakeNode::addRecipientProperties(const std::map<std::uint32_t, QString>& strings)
{
    FakeNode& table = recipientsTable();
    const int set = table.m_extraRecordSets++;
    for (const auto& [id, text] : strings)
        table.setString(id, text, set);
    return *this;
}

FakeNode& FakeNode::addAttachment(store::AttachmentType type)
{
    m_attachments.push_back(makeChild(store::ItemType::Attachment));
    m_attachments.back()->m_attachmentType = type;
    return *m_attachments.back();
}

FakeNode& FakeNode::addDataAttachment(const QString& longFileName, const QByteArray& data)
{
    FakeNode& attachment = addAttachment(store::AttachmentType::Data);
    attachment.setString(AttachLongFileName, longFileName);
    attachment.m_attachmentData = data;
    return *this;
}

FakeNode& FakeNode::addUnnamedDataAttachment(const QByteArray& data)
{
    addAttachment(store::AttachmentType::Data).m_attachmentData = data;
    return *this;
}

FakeNode& FakeNode::addReferenceAttachment(const QString& longFileName)
{
    addAttachment(store::AttachmentType::Reference).setString(AttachLongFileName, longFileName);
    return *this;
}

FakeNode& FakeNode::addEmbeddedItem(store::ItemType type)
{
    FakeNode& attachment = addAttachment(store::AttachmentType::Item);
    attachment.m_embedded = makeChild(type);
    return *attachment.m_embedded;
}

FakeNode& FakeNode::attachmentNode(int index)
{
    return *m_attachments.at(static_cast<std::size_t>(index));
}

FakeNode& FakeNode::failOn(FakeOp op)
{
    m_failing.insert(op);
    return *this;
}

FakeNode& FakeNode::failProperty(std::uint32_t id)
{
    m_failingProperties.insert(propertyId(id));
    return *this;
}

FakeNode& FakeNode::makeUnfetchable()
{
    m_unfetchable = true;
    return *this;
}

FakeNode& FakeNode::setAttachmentType(store::AttachmentType type)
{
    m_attachmentType = type;
    return *this;
}

void FakeNode::check(FakeOp op) const
{
    if (m_state->abortSignalled.load() && m_state->abortFailsReads)
        throw store::StoreError("aborted");
    if (fails(op))
        throw store::StoreError("injected failure in " + label().toStdString());
}

const FakeProperty* FakeNode::property(std::uint32_t tag, int recordSet) const
{
    const std::uint32_t id = propertyId(tag);
    if (m_failingProperties.count(id))
        throw store::StoreError("injected failure reading a property of " + std::to_string(m_identifier));
    const auto it = m_properties.find({recordSet, id});
    return it == m_properties.end() ? nullptr : &it->second;
}

std::vector<store::PropertyKey> FakeNode::propertyKeys(int recordSet) const
{
    std::vector<store::PropertyKey> keys;
    for (const auto& [key, value] : m_properties) {
        if (key.first == recordSet)
            keys.push_back(store::PropertyKey{key.second, value.valueType});
    }
    return keys;
}

int FakeNode::recordSetCount() const
{
    int count = m_extraRecordSets;
    for (const auto& [key, value] : m_properties)
        count = std::max(count, key.first + 1);
    return count;
}

std::uint64_t fileTimeOf(int year, int month, int day, int hour, int minute, int second)
{
    const QDateTime epoch(QDate(1601, 1, 1), QTime(0, 0), Qt::UTC);
    const QDateTime at(QDate(year, month, day), QTime(hour, minute, second), Qt::UTC);
    return static_cast<std::uint64_t>(epoch.secsTo(at)) * 10000000ULL;
}

} // namespace support
