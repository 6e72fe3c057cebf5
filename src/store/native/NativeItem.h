#pragma once

#include "Heap.h"
#include "Ndb.h"
#include "PropertyEntry.h"
#include "store/Item.h"

#include <memory>
#include <optional>
#include <vector>

namespace store::native {

class StoreData;

// The node an item is read from: its id, its data and its sub-node tree.
struct NodeRef
{
    std::uint32_t nid = 0;
    std::uint64_t bidData = 0;
    std::uint64_t bidSub = 0;
};

// One item of a store read by the native reader: a folder, a message (in a folder or attached
// to another), a recipients table or an attachment. Its properties are read when it is made;
// sub-nodes, children, bodies and attachment data when first asked for. An item is used by one
// thread at a time; items of one store may be used by many threads at once.
class NativeItem final : public Item
{
public:
    enum class Kind
    {
        Folder,
        Message,
        Recipients,
        Attachment,
    };

    // Throws StoreError when the item's node or properties are damaged. depth: folder nesting for
    // folders, embedding for messages.
    NativeItem(std::shared_ptr<const StoreData> store, Kind kind, const NodeRef& node, int depth);
    ~NativeItem() override;

    ItemType type() const override;
    std::uint32_t identifier() const override { return m_node.nid; }

    int subItemCount() const override;
    std::unique_ptr<Item> subItem(int index) const override;

    int recordSetCount() const override { return static_cast<int>(m_sets.size()); }
    std::vector<PropertyKey> properties(int recordSet) const override;
    std::optional<std::uint32_t> valueType(std::uint32_t tag, int recordSet) const override;
    std::optional<std::size_t> utf8StringSize(std::uint32_t tag, int recordSet) const override;
    std::optional<QByteArray> utf8String(std::uint32_t tag, int recordSet) const override;
    std::optional<std::uint64_t> fileTime(std::uint32_t tag, int recordSet) const override;
    std::optional<std::uint32_t> integer32(std::uint32_t tag, int recordSet) const override;
    std::optional<std::uint16_t> integer16(std::uint32_t tag, int recordSet) const override;
    std::optional<bool> boolean(std::uint32_t tag, int recordSet) const override;
    std::optional<QByteArray> binary(std::uint32_t tag, int recordSet) const override;
    std::optional<StoredValue> namedValue(const PropertyName& name, int recordSet) const override;
    std::optional<std::size_t> messageUtf8StringSize(std::uint32_t tag) const override;
    std::optional<QByteArray> messageUtf8String(std::uint32_t tag) const override;

    int subFolderCount() const override;
    std::unique_ptr<Item> subFolder(int index) const override;
    int subMessageCount() const override;
    std::unique_ptr<Item> subMessage(int index) const override;

    std::optional<std::size_t> htmlBodySize() const override;
    std::optional<QByteArray> htmlBody() const override;
    std::optional<std::size_t> rtfBodySize() const override;
    std::optional<QByteArray> rtfBody() const override;
    std::optional<std::size_t> plainTextBodySize() const override;
    std::optional<QByteArray> plainTextBody() const override;
    std::unique_ptr<Item> recipients() const override;
    int attachmentCount() const override;
    std::unique_ptr<Item> attachment(int index) const override;

    AttachmentType attachmentType() const override;
    std::uint64_t attachmentDataSize() const override;
    QByteArray readAttachmentData(std::uint64_t offset, std::size_t maxSize) const override;
    std::unique_ptr<Item> embeddedItem() const override;

private:
    struct Children
    {
        std::vector<std::uint32_t> folders;
        std::vector<std::uint32_t> messages;
        std::vector<std::uint32_t> all;
    };
    // Where an attachment's data lies: in the heap, or in the blocks of a sub-node.
    struct AttachmentData
    {
        const PropertyEntry* entry = nullptr;
        // In the blocks of a sub-node (the leaves) rather than in the heap.
        bool inSubnode = false;
        std::vector<DataLeaf> leaves;
        std::uint64_t size = 0;
    };

    const Ndb& ndb() const;
    // The properties of a record set; fails for a set the item does not have.
    const std::vector<PropertyEntry>& recordSet(int index) const;
    const PropertyEntry* find(std::uint32_t tag, int recordSet) const;
    const PropertyEntry* findTyped(std::uint32_t tag, int recordSet, std::uint16_t type) const;
    QByteArray value(const PropertyEntry& entry) const;
    QByteArray text(const PropertyEntry& entry, int codePage) const;
    int messageCodePage() const;
    const std::vector<SubnodeEntry>& subnodes() const;
    const SubnodeEntry& subnode(std::uint32_t nid) const;
    const Children& children() const;
    std::unique_ptr<Item> child(std::uint32_t nid) const;
    const std::vector<std::uint32_t>& attachmentNids() const;
    const AttachmentData& attachmentData() const;
    AttachmentType readAttachmentType() const;
    // Whether the sub-node an attachment's object names holds a property context (a message).
    bool objectHoldsMessage(const PropertyEntry& object) const;
    std::uint32_t objectNid(const PropertyEntry& object) const;
    void requireKind(Kind kind, const char* operation) const;
    enum class Body
    {
        Plain,
        Html,
        Rtf,
    };
    const std::optional<QByteArray>& body(Body which) const;
    std::optional<std::size_t> bodySize(Body which) const;
    std::optional<QByteArray> readBody(Body which) const;

    std::shared_ptr<const StoreData> m_store;
    Kind m_kind;
    NodeRef m_node;
    int m_depth = 0;
    std::optional<Heap> m_heap;
    std::vector<std::vector<PropertyEntry>> m_sets;

    mutable std::optional<std::vector<SubnodeEntry>> m_subnodes;
    mutable std::optional<Children> m_children;
    mutable std::optional<std::vector<std::uint32_t>> m_attachments;
    mutable std::optional<AttachmentData> m_attachmentData;
    mutable std::optional<AttachmentType> m_attachmentType;
    mutable std::optional<int> m_messageCodePage;
    // Bodies once read: callers ask for a body's size and then for the body.
    mutable std::optional<std::optional<QByteArray>> m_bodies[3];
};

} // namespace store::native
