#pragma once

#include "Item.h"

namespace store {

// An item that answers every operation with the item it wraps; a derived class changes what it
// must (a folder's children, the kind it reports) and leaves the rest to the wrapped item.
class ForwardingItem : public Item
{
public:
    explicit ForwardingItem(std::unique_ptr<Item> inner) : m_inner(std::move(inner)) {}

    ItemType type() const override { return m_inner->type(); }
    std::uint32_t identifier() const override { return m_inner->identifier(); }
    int subItemCount() const override { return m_inner->subItemCount(); }
    std::unique_ptr<Item> subItem(int index) const override { return m_inner->subItem(index); }
    int recordSetCount() const override { return m_inner->recordSetCount(); }
    std::vector<PropertyKey> properties(int recordSet) const override { return m_inner->properties(recordSet); }
    std::optional<std::uint32_t> valueType(std::uint32_t tag, int recordSet) const override
    {
        return m_inner->valueType(tag, recordSet);
    }
    std::optional<std::size_t> utf8StringSize(std::uint32_t tag, int recordSet) const override
    {
        return m_inner->utf8StringSize(tag, recordSet);
    }
    std::optional<QByteArray> utf8String(std::uint32_t tag, int recordSet) const override
    {
        return m_inner->utf8String(tag, recordSet);
    }
    std::optional<std::uint64_t> fileTime(std::uint32_t tag, int recordSet) const override
    {
        return m_inner->fileTime(tag, recordSet);
    }
    std::optional<std::uint32_t> integer32(std::uint32_t tag, int recordSet) const override
    {
        return m_inner->integer32(tag, recordSet);
    }
    std::optional<std::uint16_t> integer16(std::uint32_t tag, int recordSet) const override
    {
        return m_inner->integer16(tag, recordSet);
    }
    std::optional<bool> boolean(std::uint32_t tag, int recordSet) const override
    {
        return m_inner->boolean(tag, recordSet);
    }
    std::optional<QByteArray> binary(std::uint32_t tag, int recordSet) const override
    {
        return m_inner->binary(tag, recordSet);
    }
    std::optional<StoredValue> namedValue(const PropertyName& name, int recordSet) const override
    {
        return m_inner->namedValue(name, recordSet);
    }
    std::optional<std::size_t> messageUtf8StringSize(std::uint32_t tag) const override
    {
        return m_inner->messageUtf8StringSize(tag);
    }
    std::optional<QByteArray> messageUtf8String(std::uint32_t tag) const override
    {
        return m_inner->messageUtf8String(tag);
    }
    int subFolderCount() const override { return m_inner->subFolderCount(); }
    std::unique_ptr<Item> subFolder(int index) const override { return m_inner->subFolder(index); }
    int subMessageCount() const override { return m_inner->subMessageCount(); }
    std::unique_ptr<Item> subMessage(int index) const override { return m_inner->subMessage(index); }
    std::optional<std::size_t> htmlBodySize() const override { return m_inner->htmlBodySize(); }
    std::optional<QByteArray> htmlBody() const override { return m_inner->htmlBody(); }
    std::optional<std::size_t> rtfBodySize() const override { return m_inner->rtfBodySize(); }
    std::optional<QByteArray> rtfBody() const override { return m_inner->rtfBody(); }
    std::optional<std::size_t> plainTextBodySize() const override { return m_inner->plainTextBodySize(); }
    std::optional<QByteArray> plainTextBody() const override { return m_inner->plainTextBody(); }
    std::unique_ptr<Item> recipients() const override { return m_inner->recipients(); }
    int attachmentCount() const override { return m_inner->attachmentCount(); }
    std::unique_ptr<Item> attachment(int index) const override { return m_inner->attachment(index); }
    AttachmentType attachmentType() const override { return m_inner->attachmentType(); }
    std::uint64_t attachmentDataSize() const override { return m_inner->attachmentDataSize(); }
    QByteArray readAttachmentData(std::uint64_t offset, std::size_t maxSize) const override
    {
        return m_inner->readAttachmentData(offset, maxSize);
    }
    std::unique_ptr<Item> embeddedItem() const override { return m_inner->embeddedItem(); }

protected:
    const Item& inner() const { return *m_inner; }

private:
    std::unique_ptr<Item> m_inner;
};

} // namespace store
