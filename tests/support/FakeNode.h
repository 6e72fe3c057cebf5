#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <store/StoreTypes.h>
#include <vector>

namespace support {

struct FakeStoreState;

// The operations of a fake item that a test can make fail (they then throw store::StoreError).
enum class FakeOp
{
    Type,
    SubItemCount,
    SubItem,
    RecordSetCount,
    Property, // every property read (size, value, value type)
    SubFolderCount,
    SubFolder,
    SubMessageCount,
    SubMessage,
    HtmlBodySize,
    HtmlBody,
    RtfBodySize,
    RtfBody,
    PlainTextBodySize,
    PlainTextBody,
    Recipients,
    AttachmentCount,
    Attachment,
    AttachmentType,
    AttachmentData,
    EmbeddedItem,
};

// One stored value of a fake item: its MAPI value type and its content (text as UTF-8, binary
// data, or a number).
struct FakeProperty
{
    std::uint32_t valueType = 0;
    QByteArray data;
    std::uint64_t number = 0;
};

// The content of one fake item and the builder that fills it: a folder, a message of any kind, a
// recipients table or an attachment. Builders return the node (or the new child) so that a test
// reads as the store it describes. Nodes are shared by the FakeItem handles that the store hands
// out, so a handle always sees the node as built.
class FakeNode
{
public:
    FakeNode(std::shared_ptr<FakeStoreState> state, store::ItemType type, std::uint32_t identifier);

    store::ItemType type() const { return m_type; }
    std::uint32_t identifier() const { return m_identifier; }
    // A name for hooks and failure messages: the display name when there is one.
    QString label() const;

    // Folders.
    FakeNode& addFolder(const QString& displayName);
    // A folder without a display name (PR_DISPLAY_NAME absent).
    FakeNode& addUnnamedFolder();
    FakeNode& addMessage(store::ItemType type = store::ItemType::Email);
    // A message with a subject, the most common case.
    FakeNode& addMail(const QString& subject);
    // A child that the generic sub-item tree lists but that is neither folder nor message.
    FakeNode& addSubItem(store::ItemType type);

    // Properties of record set 0 (or of the given record set).
    FakeNode& setString(std::uint32_t id, const QString& text, int recordSet = 0);
    FakeNode& setString8(std::uint32_t id, const QString& text, int recordSet = 0);
    FakeNode& setInteger32(std::uint32_t id, std::int64_t value, int recordSet = 0);
    FakeNode& setInteger16(std::uint32_t id, std::uint16_t value, int recordSet = 0);
    FakeNode& setBoolean(std::uint32_t id, bool value, int recordSet = 0);
    FakeNode& setFileTime(std::uint32_t id, std::uint64_t fileTime, int recordSet = 0);
    FakeNode& setBinary(std::uint32_t id, const QByteArray& data, int recordSet = 0);
    FakeNode& setProperty(std::uint32_t id, const FakeProperty& property, int recordSet = 0);

    // Bodies as raw bytes. HTML and plain-text sizes count a terminating zero, as the library's do.
    FakeNode& setHtmlBody(const QByteArray& bytes, std::uint32_t valueType = store::valuetype::Binary);
    FakeNode& setRtfBody(const QByteArray& decompressed);
    FakeNode& setPlainTextBody(const QString& text);
    FakeNode& setPlainTextBodyBytes(const QByteArray& utf8);

    // Recipients: one record set per recipient. Absent texts are not stored.
    FakeNode& addRecipient(const QString& displayName, const QString& emailAddress = QString());
    FakeNode& addRecipientProperties(const std::map<std::uint32_t, QString>& strings);
    FakeNode& setEmptyRecipientsTable();
    // The recipients table itself, for injecting failures into it (created on first use).
    FakeNode& recipientsTable();

    // Attachments.
    FakeNode& addDataAttachment(const QString& longFileName, const QByteArray& data = QByteArray());
    // A data attachment without PR_ATTACH_LONG_FILENAME.
    FakeNode& addUnnamedDataAttachment(const QByteArray& data = QByteArray());
    FakeNode& addReferenceAttachment(const QString& longFileName);
    // An attachment holding an embedded item; returns the embedded item.
    FakeNode& addEmbeddedItem(store::ItemType type = store::ItemType::Email);
    // The attachment node of attachment index (for failure injection).
    FakeNode& attachmentNode(int index);

    // Failure injection.
    FakeNode& failOn(FakeOp op);
    FakeNode& failProperty(std::uint32_t id);
    // Fetching this node from its parent throws.
    FakeNode& makeUnfetchable();
    // Attachment type reported for an attachment node.
    FakeNode& setAttachmentType(store::AttachmentType type);

    // Read side, used by FakeItem.
    void check(FakeOp op) const;
    const FakeProperty* property(std::uint32_t tag, int recordSet) const;
    bool fails(FakeOp op) const { return m_failing.count(op) != 0; }
    bool isUnfetchable() const { return m_unfetchable; }
    int recordSetCount() const;
    std::vector<store::PropertyKey> propertyKeys(int recordSet) const;

    const std::vector<std::shared_ptr<FakeNode>>& folders() const { return m_folders; }
    const std::vector<std::shared_ptr<FakeNode>>& messages() const { return m_messages; }
    const std::vector<std::shared_ptr<FakeNode>>& extraSubItems() const { return m_extraSubItems; }
    const std::vector<std::shared_ptr<FakeNode>>& attachments() const { return m_attachments; }
    const std::shared_ptr<FakeNode>& recipients() const { return m_recipients; }
    const std::shared_ptr<FakeNode>& embedded() const { return m_embedded; }
    store::AttachmentType attachmentType() const { return m_attachmentType; }
    const QByteArray& attachmentData() const { return m_attachmentData; }
    const std::shared_ptr<FakeStoreState>& state() const { return m_state; }

private:
    std::shared_ptr<FakeNode> makeChild(store::ItemType type);
    FakeNode& addAttachment(store::AttachmentType type);

    std::shared_ptr<FakeStoreState> m_state;
    store::ItemType m_type;
    std::uint32_t m_identifier;
    std::map<std::pair<int, std::uint32_t>, FakeProperty> m_properties;
    std::set<FakeOp> m_failing;
    std::set<std::uint32_t> m_failingProperties;
    bool m_unfetchable = false;
    int m_extraRecordSets = 0;

    std::vector<std::shared_ptr<FakeNode>> m_folders;
    std::vector<std::shared_ptr<FakeNode>> m_messages;
    std::vector<std::shared_ptr<FakeNode>> m_extraSubItems;
    std::vector<std::shared_ptr<FakeNode>> m_attachments;
    std::shared_ptr<FakeNode> m_recipients;
    std::shared_ptr<FakeNode> m_embedded;
    store::AttachmentType m_attachmentType = store::AttachmentType::Undefined;
    QByteArray m_attachmentData;
};

// A FILETIME for a UTC date and time.
std::uint64_t fileTimeOf(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

} // namespace support
