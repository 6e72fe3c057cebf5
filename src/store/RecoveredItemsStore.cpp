#include "RecoveredItemsStore.h"

#include "ForwardingItem.h"
#include "StoreError.h"

namespace store {

struct RecoveredItemsStore::FolderNode
{
    QString name;
    std::uint32_t identifier = 0;
    std::vector<std::shared_ptr<FolderNode>> folders;
    std::vector<RecoveredItem> items;
};

namespace {

using FolderNode = RecoveredItemsStore::FolderNode;

constexpr std::uint32_t kDisplayName = 0x3001;
constexpr std::uint32_t kContentCount = 0x3602;
constexpr std::uint32_t kContentUnread = 0x3603;
constexpr std::uint32_t kHasSubfolders = 0x360A;
constexpr std::uint32_t kTypeUnicode = 0x001F;
constexpr std::uint32_t kTypeInteger32 = 0x0003;
constexpr std::uint32_t kTypeBoolean = 0x000B;
// Folder node ids from the top of the id space down: stores hand theirs out from the bottom up.
constexpr std::uint32_t kFirstFolderIdentifier = 0xFFFFFFE2;

std::uint32_t propertyId(std::uint32_t tag)
{
    return tag > 0xFFFF ? tag >> 16 : tag;
}

[[noreturn]] void notApplicable(const char* what)
{
    throw StoreError(std::string("the folder of recovered items has no ") + what);
}

// A recovered message as the scan and the conversion see it. A kind without a view of its own (a
// rule, a configuration message, a meeting request, a post) counts as a mail, so that what it
// still holds (subject, sender, texts, attachments) can be looked at and converted, not only
// counted.
class RecoveredMessage final : public ForwardingItem
{
public:
    using ForwardingItem::ForwardingItem;

    ItemType type() const override
    {
        switch (const ItemType stored = inner().type()) {
        case ItemType::Appointment:
        case ItemType::Contact:
        case ItemType::Email:
        case ItemType::EmailSmime:
        case ItemType::Task:
        case ItemType::Note:
        case ItemType::Activity:
        case ItemType::Folder:
            return stored;
        default:
            return ItemType::Email;
        }
    }
};

// A folder of the "Recovered Items" tree, made from what the pass found.
class RecoveredFolder final : public Item
{
public:
    RecoveredFolder(std::shared_ptr<const Store> store, std::shared_ptr<const FolderNode> node)
        : m_store(std::move(store)), m_node(std::move(node))
    {
    }

    ItemType type() const override { return ItemType::Folder; }
    std::uint32_t identifier() const override { return m_node->identifier; }
    int subItemCount() const override { return subFolderCount() + subMessageCount(); }
    std::unique_ptr<Item> subItem(int index) const override
    {
        return index < subFolderCount() ? subFolder(index) : subMessage(index - subFolderCount());
    }

    int recordSetCount() const override { return 1; }
    std::vector<PropertyKey> properties(int) const override
    {
        return {{kDisplayName, kTypeUnicode},
                {kContentCount, kTypeInteger32},
                {kContentUnread, kTypeInteger32},
                {kHasSubfolders, kTypeBoolean}};
    }
    std::optional<std::uint32_t> valueType(std::uint32_t tag, int recordSet) const override
    {
        for (const PropertyKey& key : properties(recordSet)) {
            if (key.id == propertyId(tag))
                return key.type;
        }
        return std::nullopt;
    }
    std::optional<std::size_t> utf8StringSize(std::uint32_t tag, int recordSet) const override
    {
        const std::optional<QByteArray> text = utf8String(tag, recordSet);
        return text ? std::optional<std::size_t>(static_cast<std::size_t>(text->size()) + 1) : std::nullopt;
    }
    std::optional<QByteArray> utf8String(std::uint32_t tag, int) const override
    {
        if (propertyId(tag) == kDisplayName)
            return m_node->name.toUtf8();
        return std::nullopt;
    }
    std::optional<std::uint64_t> fileTime(std::uint32_t, int) const override { return std::nullopt; }
    std::optional<std::uint32_t> integer32(std::uint32_t tag, int) const override
    {
        if (propertyId(tag) == kContentCount)
            return static_cast<std::uint32_t>(m_node->items.size());
        if (propertyId(tag) == kContentUnread)
            return 0;
        return std::nullopt;
    }
    std::optional<std::uint16_t> integer16(std::uint32_t, int) const override { return std::nullopt; }
    std::optional<bool> boolean(std::uint32_t tag, int) const override
    {
        if (propertyId(tag) == kHasSubfolders)
            return !m_node->folders.empty();
        return std::nullopt;
    }
    std::optional<QByteArray> binary(std::uint32_t tag, int) const override
    {
        if (propertyId(tag) != kDisplayName)
            return std::nullopt;
        const QString& name = m_node->name;
        return QByteArray(reinterpret_cast<const char*>(name.utf16()), name.size() * 2);
    }
    std::optional<StoredValue> namedValue(const PropertyName&, int) const override { return std::nullopt; }
    std::optional<std::size_t> messageUtf8StringSize(std::uint32_t tag) const override
    {
        return utf8StringSize(tag, 0);
    }
    std::optional<QByteArray> messageUtf8String(std::uint32_t tag) const override
    {
        return utf8String(tag, 0);
    }

    int subFolderCount() const override { return static_cast<int>(m_node->folders.size()); }
    std::unique_ptr<Item> subFolder(int index) const override
    {
        if (index < 0 || index >= subFolderCount())
            throw StoreError("no sub-folder " + std::to_string(index) + " in the folder of recovered items");
        return std::make_unique<RecoveredFolder>(m_store, m_node->folders[static_cast<std::size_t>(index)]);
    }
    int subMessageCount() const override { return static_cast<int>(m_node->items.size()); }
    std::unique_ptr<Item> subMessage(int index) const override
    {
        if (index < 0 || index >= subMessageCount())
            throw StoreError("no item " + std::to_string(index) + " in the folder of recovered items");
        std::unique_ptr<Item> item = m_store->recoveredItem(m_node->items[static_cast<std::size_t>(index)]);
        if (!item)
            throw StoreError("the recovered item can no longer be read");
        return std::make_unique<RecoveredMessage>(std::move(item));
    }

    std::optional<std::size_t> htmlBodySize() const override { return std::nullopt; }
    std::optional<QByteArray> htmlBody() const override { return std::nullopt; }
    std::optional<std::size_t> rtfBodySize() const override { return std::nullopt; }
    std::optional<QByteArray> rtfBody() const override { return std::nullopt; }
    std::optional<std::size_t> plainTextBodySize() const override { return std::nullopt; }
    std::optional<QByteArray> plainTextBody() const override { return std::nullopt; }
    std::unique_ptr<Item> recipients() const override { return nullptr; }
    int attachmentCount() const override { return 0; }
    std::unique_ptr<Item> attachment(int) const override { notApplicable("attachments"); }
    AttachmentType attachmentType() const override { notApplicable("attachment type"); }
    std::uint64_t attachmentDataSize() const override { notApplicable("attachment data"); }
    QByteArray readAttachmentData(std::uint64_t, std::size_t) const override
    {
        notApplicable("attachment data");
    }
    std::unique_ptr<Item> embeddedItem() const override { notApplicable("embedded item"); }

private:
    std::shared_ptr<const Store> m_store;
    std::shared_ptr<const FolderNode> m_node;
};

// The store's root folder with the "Recovered Items" folder after its own sub-folders (and after
// its own sub-items in the generic tree).
class RootWithRecovered final : public ForwardingItem
{
public:
    RootWithRecovered(std::unique_ptr<Item> root, std::shared_ptr<const Store> store,
                      std::shared_ptr<const FolderNode> recovered)
        : ForwardingItem(std::move(root)), m_store(std::move(store)), m_recovered(std::move(recovered))
    {
    }

    int subItemCount() const override { return inner().subItemCount() + 1; }
    std::unique_ptr<Item> subItem(int index) const override
    {
        return index == inner().subItemCount() ? recoveredFolder() : inner().subItem(index);
    }
    int subFolderCount() const override { return inner().subFolderCount() + 1; }
    std::unique_ptr<Item> subFolder(int index) const override
    {
        return index == inner().subFolderCount() ? recoveredFolder() : inner().subFolder(index);
    }

private:
    std::unique_ptr<Item> recoveredFolder() const
    {
        return std::make_unique<RecoveredFolder>(m_store, m_recovered);
    }

    std::shared_ptr<const Store> m_store;
    std::shared_ptr<const FolderNode> m_recovered;
};

FolderNode& childNamed(FolderNode& parent, const QString& name, std::uint32_t& nextIdentifier)
{
    for (const std::shared_ptr<FolderNode>& child : parent.folders) {
        if (child->name == name)
            return *child;
    }
    auto child = std::make_shared<FolderNode>();
    child->name = name;
    child->identifier = nextIdentifier;
    nextIdentifier -= 0x20;
    parent.folders.push_back(child);
    return *child;
}

} // namespace

RecoveredItemsStore::RecoveredItemsStore(std::unique_ptr<Store> store, const RecoveryProgress& progress)
    : m_store(std::move(store)), m_items(m_store->recoverItems(progress))
{
    std::uint32_t nextIdentifier = kFirstFolderIdentifier;
    auto top = std::make_shared<FolderNode>();
    top->name = QString::fromLatin1(kFolderName);
    top->identifier = nextIdentifier;
    nextIdentifier -= 0x20;
    for (const RecoveredItem& item : m_items) {
        FolderNode* at = top.get();
        if (item.folder) {
            for (const QString& name : *item.folder)
                at = &childNamed(*at, name, nextIdentifier);
        }
        at->items.push_back(item);
    }
    m_tree = std::move(top);
}

RecoveredItemsStore::~RecoveredItemsStore() = default;

std::unique_ptr<Item> RecoveredItemsStore::rootFolder() const
{
    return std::make_unique<RootWithRecovered>(m_store->rootFolder(), m_store, m_tree);
}

std::vector<RecoveredItem> RecoveredItemsStore::recoverItems(const RecoveryProgress&) const
{
    return m_items;
}

std::map<RecoveredState, int> RecoveredItemsStore::countsByState() const
{
    std::map<RecoveredState, int> counts;
    for (const RecoveredItem& item : m_items)
        ++counts[item.state];
    return counts;
}

} // namespace store
