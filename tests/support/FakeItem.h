#pragma once

#include "FakeNode.h"

#include <memory>
#include <store/Item.h>

namespace support {

// A store::Item handle over a FakeNode. Fetching a child visits it (the store's hook) and fails
// when the parent's operation or the child itself is set to fail.
class FakeItem : public store::Item
{
public:
    explicit FakeItem(std::shared_ptr<const FakeNode> node);

    // Hands out a handle to node, after the hook and the failure checks of a fetch.
    static std::unique_ptr<store::Item> fetch(const std::shared_ptr<FakeNode>& node);

    const FakeNode& node() const { return *m_node; }

    store::ItemType type() const override;
    std::uint32_t identifier() const override;
    int subItemCount() const override;
    std::unique_ptr<store::Item> subItem(int index) const override;

    int recordSetCount() const override;
    std::vector<store::PropertyKey> properties(int recordSet) const override;
    std::optional<std::uint32_t> valueType(std::uint32_t tag, int recordSet = 0) const override;
    std::optional<std::size_t> utf8StringSize(std::uint32_t tag, int recordSet = 0) const override;
    std::optional<QByteArray> utf8String(std::uint32_t tag, int recordSet = 0) const override;
    std::optional<std::uint64_t> fileTime(std::uint32_t tag, int recordSet = 0) const override;
    std::optional<std::uint32_t> integer32(std::uint32_t tag, int recordSet = 0) const override;
    std::optional<std::uint16_t> integer16(std::uint32_t tag, int recordSet = 0) const override;
    std::optional<bool> boolean(std::uint32_t tag, int recordSet = 0) const override;
    std::optional<QByteArray> binary(std::uint32_t tag, int recordSet = 0) const override;
    // Fake nodes have no string-named properties.
    std::optional<store::StoredValue> namedValue(const store::PropertyName&, int = 0) const override
    {
        return {};
    }
    std::optional<std::size_t> messageUtf8StringSize(std::uint32_t tag) const override;
    std::optional<QByteArray> messageUtf8String(std::uint32_t tag) const override;

    int subFolderCount() const override;
    std::unique_ptr<store::Item> subFolder(int index) const override;
    int subMessageCount() const override;
    std::unique_ptr<store::Item> subMessage(int index) const override;

    std::optional<std::size_t> htmlBodySize() const override;
    std::optional<QByteArray> htmlBody() const override;
    std::optional<std::size_t> rtfBodySize() const override;
    std::optional<QByteArray> rtfBody() const override;
    std::optional<std::size_t> plainTextBodySize() const override;
    std::optional<QByteArray> plainTextBody() const override;
    std::unique_ptr<store::Item> recipients() const override;
    int attachmentCount() const override;
    std::unique_ptr<store::Item> attachment(int index) const override;

    store::AttachmentType attachmentType() const override;
    std::uint64_t attachmentDataSize() const override;
    QByteArray readAttachmentData(std::uint64_t offset, std::size_t maxSize) const override;
    std::unique_ptr<store::Item> embeddedItem() const override;

private:
    const FakeProperty* typed(std::uint32_t tag, int recordSet,
                              std::initializer_list<std::uint32_t> types) const;
    std::optional<QByteArray> body(std::uint32_t id) const;

    std::shared_ptr<const FakeNode> m_node;
};

} // namespace support
