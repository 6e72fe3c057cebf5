#include "FakeItem.h"

#include "FakeStore.h"

#include <algorithm>
#include <store/StoreError.h>

namespace support {

namespace {
constexpr std::uint32_t HtmlBody = 0x1013;
constexpr std::uint32_t RtfCompressed = 0x1009;
constexpr std::uint32_t PlainBody = 0x1000;

template <typename Vector> std::shared_ptr<FakeNode> at(const Vector& nodes, int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= nodes.size())
        throw store::StoreError("index out of range");
    return nodes[static_cast<std::size_t>(index)];
}
} // namespace

FakeItem::FakeItem(std::shared_ptr<const FakeNode> node) : m_node(std::move(node)) {}

std::unique_ptr<store::Item> FakeItem::fetch(const std::shared_ptr<FakeNode>& node)
{
    const auto& state = node->state();
    if (state->abortSignalled.load() && state->abortFailsReads)
        throw store::StoreError("aborted");
    if (state->visitHook)
        state->visitHook(*node);
    if (node->isUnfetchable())
        throw store::StoreError("injected failure fetching " + node->label().toStdString());
    return std::make_unique<FakeItem>(node);
}

store::ItemType FakeItem::type() const
{
    m_node->check(FakeOp::Type);
    return m_node->type();
}

std::uint32_t FakeItem::identifier() const
{
    return m_node->identifier();
}

int FakeItem::subItemCount() const
{
    m_node->check(FakeOp::SubItemCount);
    return static_cast<int>(m_node->folders().size() + m_node->messages().size() +
                            m_node->extraSubItems().size());
}

std::unique_ptr<store::Item> FakeItem::subItem(int index) const
{
    m_node->check(FakeOp::SubItem);
    // The generic tree lists sub-folders, then messages, then anything else.
    const int folders = static_cast<int>(m_node->folders().size());
    const int messages = static_cast<int>(m_node->messages().size());
    if (index < folders)
        return fetch(at(m_node->folders(), index));
    if (index < folders + messages)
        return fetch(at(m_node->messages(), index - folders));
    return fetch(at(m_node->extraSubItems(), index - folders - messages));
}

int FakeItem::recordSetCount() const
{
    m_node->check(FakeOp::RecordSetCount);
    return m_node->recordSetCount();
}

std::vector<store::PropertyKey> FakeItem::properties(int recordSet) const
{
    m_node->check(FakeOp::Property);
    return m_node->propertyKeys(recordSet);
}

const FakeProperty* FakeItem::typed(std::uint32_t tag, int recordSet,
                                    std::initializer_list<std::uint32_t> types) const
{
    m_node->check(FakeOp::Property);
    const FakeProperty* p = m_node->property(tag, recordSet);
    if (!p)
        return nullptr;
    if (std::find(types.begin(), types.end(), p->valueType) == types.end())
        throw store::StoreError("unsupported value type");
    return p;
}

std::optional<std::uint32_t> FakeItem::valueType(std::uint32_t tag, int recordSet) const
{
    m_node->check(FakeOp::Property);
    const FakeProperty* p = m_node->property(tag, recordSet);
    if (!p)
        return std::nullopt;
    return p->valueType;
}

std::optional<std::size_t> FakeItem::utf8StringSize(std::uint32_t tag, int recordSet) const
{
    const FakeProperty* p = typed(tag, recordSet, {store::valuetype::String8, store::valuetype::Unicode});
    if (!p)
        return std::nullopt;
    return static_cast<std::size_t>(p->data.size()) + 1;
}

std::optional<QByteArray> FakeItem::utf8String(std::uint32_t tag, int recordSet) const
{
    const FakeProperty* p = typed(tag, recordSet, {store::valuetype::String8, store::valuetype::Unicode});
    if (!p)
        return std::nullopt;
    return p->data;
}

std::optional<std::uint64_t> FakeItem::fileTime(std::uint32_t tag, int recordSet) const
{
    const FakeProperty* p = typed(tag, recordSet, {store::valuetype::FileTime});
    if (!p)
        return std::nullopt;
    return p->number;
}

std::optional<std::uint32_t> FakeItem::integer32(std::uint32_t tag, int recordSet) const
{
    const FakeProperty* p = typed(tag, recordSet, {store::valuetype::Integer32});
    if (!p)
        return std::nullopt;
    return static_cast<std::uint32_t>(p->number);
}

std::optional<std::uint16_t> FakeItem::integer16(std::uint32_t tag, int recordSet) const
{
    const FakeProperty* p = typed(tag, recordSet, {store::valuetype::Integer16});
    if (!p)
        return std::nullopt;
    return static_cast<std::uint16_t>(p->number);
}

std::optional<bool> FakeItem::boolean(std::uint32_t tag, int recordSet) const
{
    const FakeProperty* p = typed(tag, recordSet, {store::valuetype::Boolean});
    if (!p)
        return std::nullopt;
    return p->number != 0;
}

std::optional<QByteArray> FakeItem::binary(std::uint32_t tag, int recordSet) const
{
    const FakeProperty* p = typed(
        tag, recordSet, {store::valuetype::Binary, store::valuetype::String8, store::valuetype::Unicode});
    if (!p)
        return std::nullopt;
    return p->data;
}

std::optional<std::size_t> FakeItem::messageUtf8StringSize(std::uint32_t tag) const
{
    return utf8StringSize(tag, 0);
}

std::optional<QByteArray> FakeItem::messageUtf8String(std::uint32_t tag) const
{
    return utf8String(tag, 0);
}

int FakeItem::subFolderCount() const
{
    m_node->check(FakeOp::SubFolderCount);
    return static_cast<int>(m_node->folders().size());
}

std::unique_ptr<store::Item> FakeItem::subFolder(int index) const
{
    m_node->check(FakeOp::SubFolder);
    return fetch(at(m_node->folders(), index));
}

int FakeItem::subMessageCount() const
{
    m_node->check(FakeOp::SubMessageCount);
    return static_cast<int>(m_node->messages().size());
}

std::unique_ptr<store::Item> FakeItem::subMessage(int index) const
{
    m_node->check(FakeOp::SubMessage);
    return fetch(at(m_node->messages(), index));
}

std::optional<QByteArray> FakeItem::body(std::uint32_t id) const
{
    const FakeProperty* p = m_node->property(id, 0);
    if (!p)
        return std::nullopt;
    return p->data;
}

std::optional<std::size_t> FakeItem::htmlBodySize() const
{
    m_node->check(FakeOp::HtmlBodySize);
    const auto b = body(HtmlBody);
    return b ? std::optional<std::size_t>(static_cast<std::size_t>(b->size()) + 1) : std::nullopt;
}

std::optional<QByteArray> FakeItem::htmlBody() const
{
    m_node->check(FakeOp::HtmlBody);
    // The library hands out the body with the terminating zero that its size counts.
    auto b = body(HtmlBody);
    if (b)
        b->append('\0');
    return b;
}

std::optional<std::size_t> FakeItem::rtfBodySize() const
{
    m_node->check(FakeOp::RtfBodySize);
    const auto b = body(RtfCompressed);
    return b ? std::optional<std::size_t>(static_cast<std::size_t>(b->size())) : std::nullopt;
}

std::optional<QByteArray> FakeItem::rtfBody() const
{
    m_node->check(FakeOp::RtfBody);
    return body(RtfCompressed);
}

std::optional<std::size_t> FakeItem::plainTextBodySize() const
{
    m_node->check(FakeOp::PlainTextBodySize);
    const auto b = body(PlainBody);
    return b ? std::optional<std::size_t>(static_cast<std::size_t>(b->size()) + 1) : std::nullopt;
}

std::optional<QByteArray> FakeItem::plainTextBody() const
{
    m_node->check(FakeOp::PlainTextBody);
    auto b = body(PlainBody);
    if (b)
        b->append('\0');
    return b;
}

std::unique_ptr<store::Item> FakeItem::recipients() const
{
    m_node->check(FakeOp::Recipients);
    if (!m_node->recipients())
        return nullptr;
    return fetch(m_node->recipients());
}

int FakeItem::attachmentCount() const
{
    m_node->check(FakeOp::AttachmentCount);
    return static_cast<int>(m_node->attachments().size());
}

std::unique_ptr<store::Item> FakeItem::attachment(int index) const
{
    m_node->check(FakeOp::Attachment);
    return fetch(at(m_node->attachments(), index));
}

store::AttachmentType FakeItem::attachmentType() const
{
    m_node->check(FakeOp::AttachmentType);
    return m_node->attachmentType();
}

std::uint64_t FakeItem::attachmentDataSize() const
{
    m_node->check(FakeOp::AttachmentData);
    return static_cast<std::uint64_t>(m_node->attachmentData().size());
}

QByteArray FakeItem::readAttachmentData(std::uint64_t offset, std::size_t maxSize) const
{
    m_node->check(FakeOp::AttachmentData);
    const QByteArray& data = m_node->attachmentData();
    if (offset >= static_cast<std::uint64_t>(data.size()))
        return {};
    return data.mid(static_cast<qsizetype>(offset), static_cast<qsizetype>(maxSize));
}

std::unique_ptr<store::Item> FakeItem::embeddedItem() const
{
    m_node->check(FakeOp::EmbeddedItem);
    if (!m_node->embedded())
        throw store::StoreError("not an item attachment");
    return fetch(m_node->embedded());
}

} // namespace support
