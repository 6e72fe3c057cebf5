#include "NativeItem.h"

#include "Bytes.h"
#include "CompressedRtf.h"
#include "Failure.h"
#include "ItemClass.h"
#include "PropertyContext.h"
#include "StoreData.h"
#include "TableContext.h"
#include "store/CodePage.h"

#include <algorithm>

namespace store::native {

namespace {

constexpr std::uint32_t kRecipientsTableNid = 0x692;
constexpr std::uint32_t kAttachmentsTableNid = 0x671;
constexpr int kMaxFolderDepth = 1000;
constexpr int kMaxEmbeddingDepth = 64;

constexpr std::uint16_t kUnicode = 0x001F;
constexpr std::uint16_t kString8 = 0x001E;
constexpr std::uint16_t kBinary = 0x0102;
constexpr std::uint16_t kObject = 0x000D;
constexpr std::uint32_t kMethodOle = 6;
constexpr std::uint8_t kHeapSignature = 0xEC;

namespace tag {
constexpr std::uint32_t MessageClass = 0x001A;
constexpr std::uint32_t PlainBody = 0x1000;
constexpr std::uint32_t RtfCompressed = 0x1009;
constexpr std::uint32_t HtmlBody = 0x1013;
constexpr std::uint32_t MessageCodePage = 0x3FFD;
constexpr std::uint32_t InternetCodePage = 0x3FDE;
constexpr std::uint32_t AttachData = 0x3701;
constexpr std::uint32_t AttachMethod = 0x3705;
} // namespace tag

std::uint32_t propertyId(std::uint32_t tag)
{
    return tag > 0xFFFF ? tag >> 16 : tag;
}

// Texts end at their first zero character, as stored texts with a terminator do.
QByteArray cutAtZero(QByteArray bytes)
{
    const qsizetype zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    return bytes;
}

std::size_t textSize(const QByteArray& text)
{
    // The size of a text with its terminator; an empty text has none.
    return text.isEmpty() ? 0 : static_cast<std::size_t>(text.size()) + 1;
}

} // namespace

NativeItem::NativeItem(std::shared_ptr<const StoreData> store, Kind kind, const NodeRef& node, int depth)
    : m_store(std::move(store)), m_kind(kind), m_node(node), m_depth(depth)
{
    if (m_node.bidData == 0)
        fail("node " + hex(m_node.nid) + " has no data");
    const Ndb& db = ndb();
    m_heap.emplace(db.readLeaves(m_node.bidData), m_node.nid);
    const NameToIdMap& names = m_store->names();
    if (kind == Kind::Recipients) {
        const TableContext table(*m_heap, db.layout().isAnsi(), [this](std::uint32_t nid) {
            return ndb().readLeaves(subnode(nid).bidData);
        });
        m_sets.reserve(static_cast<std::size_t>(table.rowCount()));
        for (int row = 0; row < table.rowCount(); ++row)
            m_sets.push_back(table.row(row));
    } else {
        m_sets.push_back(readPropertyContext(*m_heap));
    }
    for (std::vector<PropertyEntry>& set : m_sets) {
        for (PropertyEntry& entry : set)
            names.apply(entry);
    }
}

NativeItem::~NativeItem() = default;

const Ndb& NativeItem::ndb() const
{
    return m_store->ndb();
}

void NativeItem::requireKind(Kind kind, const char* operation) const
{
    if (m_kind != kind)
        fail(std::string(operation) + ": node " + hex(m_node.nid) + " is not a " +
             (kind == Kind::Folder    ? "folder"
              : kind == Kind::Message ? "message"
                                      : "attachment"));
}

ItemType NativeItem::type() const
{
    switch (m_kind) {
    case Kind::Folder:
        return ItemType::Folder;
    case Kind::Recipients:
        return ItemType::Recipients;
    case Kind::Attachment:
        return ItemType::Attachment;
    case Kind::Message:
        break;
    }
    const PropertyEntry* entry = find(tag::MessageClass, 0);
    if (!entry || (entry->type != kUnicode && entry->type != kString8))
        return ItemType::Undefined;
    return itemTypeOfMessageClass(text(*entry, 1252));
}

// Properties ---------------------------------------------------------------------------------

const std::vector<PropertyEntry>& NativeItem::recordSet(int index) const
{
    if (index < 0 || index >= static_cast<int>(m_sets.size()))
        fail("node " + hex(m_node.nid) + " has no record set " + std::to_string(index));
    return m_sets[static_cast<std::size_t>(index)];
}

const PropertyEntry* NativeItem::find(std::uint32_t tag, int recordSet) const
{
    const std::uint32_t id = propertyId(tag);
    for (const PropertyEntry& entry : this->recordSet(recordSet)) {
        if (entry.findable && entry.id == id)
            return &entry;
    }
    return nullptr;
}

const PropertyEntry* NativeItem::findTyped(std::uint32_t tag, int recordSet, std::uint16_t type) const
{
    const PropertyEntry* entry = find(tag, recordSet);
    if (entry && entry->type != type)
        fail("property " + hex(propertyId(tag)) + " of node " + hex(m_node.nid) + " has value type " +
             hex(entry->type) + ", not " + hex(type));
    return entry;
}

const std::vector<SubnodeEntry>& NativeItem::subnodes() const
{
    if (!m_subnodes)
        m_subnodes = ndb().readSubnodes(m_node.bidSub);
    return *m_subnodes;
}

const SubnodeEntry& NativeItem::subnode(std::uint32_t nid) const
{
    const std::vector<SubnodeEntry>& all = subnodes();
    const auto it = std::lower_bound(all.begin(), all.end(), nid,
                                     [](const SubnodeEntry& e, std::uint32_t key) { return e.nid < key; });
    if (it == all.end() || it->nid != nid)
        fail("node " + hex(m_node.nid) + " has no sub-node " + hex(nid));
    return *it;
}

QByteArray NativeItem::value(const PropertyEntry& entry) const
{
    switch (entry.storage) {
    case PropertyEntry::Storage::Inline:
        return QByteArray(entry.inlineBytes, entry.inlineSize);
    case PropertyEntry::Storage::Heap: {
        const QByteArrayView bytes = m_heap->allocation(entry.reference);
        return QByteArray(bytes.data(), bytes.size());
    }
    case PropertyEntry::Storage::Subnode: {
        const SubnodeEntry& sub = subnode(entry.reference);
        return sub.bidData == 0 ? QByteArray() : ndb().readValue(sub.bidData);
    }
    }
    return {};
}

QByteArray NativeItem::text(const PropertyEntry& entry, int codePage) const
{
    if (entry.type == kUnicode) {
        const QByteArray bytes = value(entry);
        QString decoded =
            QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
        const qsizetype zero = decoded.indexOf(QChar(0));
        if (zero >= 0)
            decoded.truncate(zero);
        return decoded.toUtf8();
    }
    if (entry.type == kString8)
        return decodeCodePage(cutAtZero(value(entry)), codePage).toUtf8();
    fail("property " + hex(entry.id) + " of node " + hex(m_node.nid) + " is not a text (value type " +
         hex(entry.type) + ")");
}

int NativeItem::messageCodePage() const
{
    if (!m_messageCodePage) {
        int page = 0;
        for (const std::uint32_t id : {tag::MessageCodePage, tag::InternetCodePage}) {
            const PropertyEntry* entry = find(id, 0);
            if (entry && entry->type == 0x0003 && entry->inlineSize == 4) {
                // A message that names only the Internet form it came in (ISO-2022-JP) keeps its
                // 8-bit texts in the Windows code page of that script.
                const int candidate = windowsCodePage(static_cast<int>(get32(entry->inlineBytes)));
                if (candidate > 0 && codePageName(candidate)) {
                    page = candidate;
                    break;
                }
            }
        }
        m_messageCodePage = page > 0 ? page : m_store->codePage();
    }
    return *m_messageCodePage;
}

std::vector<PropertyKey> NativeItem::properties(int recordSet) const
{
    const std::vector<PropertyEntry>& set = this->recordSet(recordSet);
    std::vector<PropertyKey> keys;
    keys.reserve(set.size());
    for (const PropertyEntry& entry : set)
        keys.push_back(PropertyKey{entry.id, entry.type});
    return keys;
}

std::optional<std::uint32_t> NativeItem::valueType(std::uint32_t tag, int recordSet) const
{
    const PropertyEntry* entry = find(tag, recordSet);
    if (!entry)
        return std::nullopt;
    return entry->type;
}

std::optional<QByteArray> NativeItem::utf8String(std::uint32_t tag, int recordSet) const
{
    const PropertyEntry* entry = find(tag, recordSet);
    if (!entry)
        return std::nullopt;
    return text(*entry, m_store->codePage());
}

std::optional<std::size_t> NativeItem::utf8StringSize(std::uint32_t tag, int recordSet) const
{
    const std::optional<QByteArray> value = utf8String(tag, recordSet);
    if (!value)
        return std::nullopt;
    return textSize(*value);
}

std::optional<QByteArray> NativeItem::messageUtf8String(std::uint32_t tag) const
{
    const PropertyEntry* entry = find(tag, 0);
    if (!entry)
        return std::nullopt;
    return text(*entry, messageCodePage());
}

std::optional<std::size_t> NativeItem::messageUtf8StringSize(std::uint32_t tag) const
{
    const std::optional<QByteArray> value = messageUtf8String(tag);
    if (!value)
        return std::nullopt;
    return textSize(*value);
}

std::optional<std::uint64_t> NativeItem::fileTime(std::uint32_t tag, int recordSet) const
{
    const PropertyEntry* entry = findTyped(tag, recordSet, 0x0040);
    if (!entry)
        return std::nullopt;
    const QByteArray bytes = value(*entry);
    if (bytes.size() != 8)
        fail("property " + hex(entry->id) + " of node " + hex(m_node.nid) + ": a date of " +
             std::to_string(bytes.size()) + " bytes");
    return get64(bytes.constData());
}

std::optional<std::uint32_t> NativeItem::integer32(std::uint32_t tag, int recordSet) const
{
    const PropertyEntry* entry = findTyped(tag, recordSet, 0x0003);
    if (!entry)
        return std::nullopt;
    return get32(entry->inlineBytes);
}

std::optional<std::uint16_t> NativeItem::integer16(std::uint32_t tag, int recordSet) const
{
    const PropertyEntry* entry = findTyped(tag, recordSet, 0x0002);
    if (!entry)
        return std::nullopt;
    return get16(entry->inlineBytes);
}

std::optional<bool> NativeItem::boolean(std::uint32_t tag, int recordSet) const
{
    const PropertyEntry* entry = findTyped(tag, recordSet, 0x000B);
    if (!entry)
        return std::nullopt;
    return entry->inlineBytes[0] != 0;
}

std::optional<QByteArray> NativeItem::binary(std::uint32_t tag, int recordSet) const
{
    const PropertyEntry* entry = find(tag, recordSet);
    if (!entry)
        return std::nullopt;
    return value(*entry);
}

std::optional<StoredValue> NativeItem::namedValue(const PropertyName& name, int recordSet) const
{
    const std::vector<PropertyEntry>& set = this->recordSet(recordSet);
    const auto storedId = m_store->names().storedIdOf(name.propertySet, name.name);
    if (!storedId)
        return std::nullopt;
    for (const PropertyEntry& entry : set) {
        if (!entry.findable && entry.storedId == *storedId)
            return StoredValue{entry.type, value(entry)};
    }
    return std::nullopt;
}

// Folders ------------------------------------------------------------------------------------

const NativeItem::Children& NativeItem::children() const
{
    if (!m_children) {
        Children c;
        if (m_kind == Kind::Folder) {
            for (const NodeEntry* node : ndb().nodes().children(m_node.nid)) {
                switch (nidType(node->nid)) {
                case NidType::NormalFolder:
                case NidType::SearchFolder:
                    c.folders.push_back(node->nid);
                    c.all.push_back(node->nid);
                    break;
                case NidType::NormalMessage:
                    c.messages.push_back(node->nid);
                    c.all.push_back(node->nid);
                    break;
                case NidType::AssociatedMessage:
                    c.all.push_back(node->nid);
                    break;
                default:
                    break;
                }
            }
        }
        m_children = std::move(c);
    }
    return *m_children;
}

std::unique_ptr<Item> NativeItem::child(std::uint32_t nid) const
{
    const NodeEntry& node = ndb().nodes().get(nid);
    const NodeRef ref{node.nid, node.bidData, node.bidSub};
    const NidType type = nidType(nid);
    if (type == NidType::NormalFolder || type == NidType::SearchFolder) {
        if (m_depth + 1 > kMaxFolderDepth)
            fail("folder " + hex(nid) + " is nested deeper than " + std::to_string(kMaxFolderDepth) +
                 " levels");
        return std::make_unique<NativeItem>(m_store, Kind::Folder, ref, m_depth + 1);
    }
    return std::make_unique<NativeItem>(m_store, Kind::Message, ref, 0);
}

template <typename List>
static std::uint32_t at(const List& list, int index, std::uint32_t nid, const char* what)
{
    if (index < 0 || static_cast<std::size_t>(index) >= list.size())
        fail("folder " + hex(nid) + " has no " + what + " " + std::to_string(index));
    return list[static_cast<std::size_t>(index)];
}

int NativeItem::subItemCount() const
{
    return static_cast<int>(children().all.size());
}

std::unique_ptr<Item> NativeItem::subItem(int index) const
{
    return child(at(children().all, index, m_node.nid, "sub-item"));
}

int NativeItem::subFolderCount() const
{
    requireKind(Kind::Folder, "cannot count the sub-folders");
    return static_cast<int>(children().folders.size());
}

std::unique_ptr<Item> NativeItem::subFolder(int index) const
{
    requireKind(Kind::Folder, "cannot read a sub-folder");
    return child(at(children().folders, index, m_node.nid, "sub-folder"));
}

int NativeItem::subMessageCount() const
{
    requireKind(Kind::Folder, "cannot count the messages");
    return static_cast<int>(children().messages.size());
}

std::unique_ptr<Item> NativeItem::subMessage(int index) const
{
    requireKind(Kind::Folder, "cannot read a message");
    return child(at(children().messages, index, m_node.nid, "message"));
}

// Messages -----------------------------------------------------------------------------------

const std::optional<QByteArray>& NativeItem::body(Body which) const
{
    std::optional<std::optional<QByteArray>>& cached = m_bodies[static_cast<int>(which)];
    if (!cached)
        cached = readBody(which);
    return *cached;
}

std::optional<std::size_t> NativeItem::bodySize(Body which) const
{
    const std::optional<QByteArray>& bytes = body(which);
    if (!bytes)
        return std::nullopt;
    return static_cast<std::size_t>(bytes->size());
}

std::optional<QByteArray> NativeItem::readBody(Body which) const
{
    switch (which) {
    case Body::Plain: {
        const PropertyEntry* entry = find(tag::PlainBody, 0);
        if (!entry)
            return std::nullopt;
        QByteArray text =
            entry->type == kBinary ? cutAtZero(value(*entry)) : this->text(*entry, messageCodePage());
        // The body comes with a terminator, as a text the library returns does; an empty one without.
        if (!text.isEmpty())
            text.append('\0');
        return text;
    }
    case Body::Html: {
        const PropertyEntry* entry = find(tag::HtmlBody, 0);
        if (!entry)
            return std::nullopt;
        QByteArray html = value(*entry);
        if (!html.isEmpty())
            html.append(entry->type == kUnicode ? 2 : 1, '\0');
        return html;
    }
    case Body::Rtf: {
        const PropertyEntry* entry = findTyped(tag::RtfCompressed, 0, kBinary);
        if (!entry)
            return std::nullopt;
        const QByteArray stored = value(*entry);
        if (stored.isEmpty())
            return QByteArray();
        QByteArray rtf = decompressRtf(stored);
        rtf.append(2, '\0');
        return rtf;
    }
    }
    return std::nullopt;
}

std::optional<QByteArray> NativeItem::plainTextBody() const
{
    return body(Body::Plain);
}

std::optional<std::size_t> NativeItem::plainTextBodySize() const
{
    return bodySize(Body::Plain);
}

std::optional<QByteArray> NativeItem::htmlBody() const
{
    return body(Body::Html);
}

std::optional<std::size_t> NativeItem::htmlBodySize() const
{
    return bodySize(Body::Html);
}

std::optional<QByteArray> NativeItem::rtfBody() const
{
    return body(Body::Rtf);
}

std::optional<std::size_t> NativeItem::rtfBodySize() const
{
    return bodySize(Body::Rtf);
}

std::unique_ptr<Item> NativeItem::recipients() const
{
    if (m_kind != Kind::Message)
        return nullptr;
    const std::vector<SubnodeEntry>& all = subnodes();
    const auto it = std::find_if(all.begin(), all.end(),
                                 [](const SubnodeEntry& e) { return e.nid == kRecipientsTableNid; });
    if (it == all.end())
        return nullptr;
    return std::make_unique<NativeItem>(m_store, Kind::Recipients, NodeRef{it->nid, it->bidData, it->bidSub},
                                        0);
}

const std::vector<std::uint32_t>& NativeItem::attachmentNids() const
{
    if (!m_attachments) {
        std::vector<std::uint32_t> nids;
        const std::vector<SubnodeEntry>& all = subnodes();
        const auto table = std::find_if(all.begin(), all.end(),
                                        [](const SubnodeEntry& e) { return e.nid == kAttachmentsTableNid; });
        bool listed = false;
        if (table != all.end()) {
            try {
                const Heap heap(ndb().readLeaves(table->bidData), table->nid);
                const std::vector<SubnodeEntry> tableSubnodes = ndb().readSubnodes(table->bidSub);
                const TableContext rows(heap, ndb().layout().isAnsi(), [&](std::uint32_t nid) {
                    for (const SubnodeEntry& s : tableSubnodes) {
                        if (s.nid == nid)
                            return ndb().readLeaves(s.bidData);
                    }
                    fail("attachment table of node " + hex(m_node.nid) + " has no sub-node " + hex(nid));
                });
                for (int row = 0; row < rows.rowCount(); ++row)
                    nids.push_back(rows.rowId(row));
                listed = true;
            } catch (const StoreError&) {
                // The attachments themselves are sub-nodes of the message; a damaged table does
                // not lose them.
                nids.clear();
            }
        }
        if (!listed) {
            for (const SubnodeEntry& s : all) {
                if (nidType(s.nid) == NidType::Attachment)
                    nids.push_back(s.nid);
            }
        }
        m_attachments = std::move(nids);
    }
    return *m_attachments;
}

int NativeItem::attachmentCount() const
{
    if (m_kind != Kind::Message)
        return 0;
    return static_cast<int>(attachmentNids().size());
}

std::unique_ptr<Item> NativeItem::attachment(int index) const
{
    requireKind(Kind::Message, "cannot read an attachment");
    const std::vector<std::uint32_t>& nids = attachmentNids();
    if (index < 0 || static_cast<std::size_t>(index) >= nids.size())
        fail("message " + hex(m_node.nid) + " has no attachment " + std::to_string(index));
    const SubnodeEntry& sub = subnode(nids[static_cast<std::size_t>(index)]);
    return std::make_unique<NativeItem>(m_store, Kind::Attachment, NodeRef{sub.nid, sub.bidData, sub.bidSub},
                                        m_depth);
}

// Attachments --------------------------------------------------------------------------------

AttachmentType NativeItem::attachmentType() const
{
    requireKind(Kind::Attachment, "cannot read the attachment type");
    if (!m_attachmentType)
        m_attachmentType = readAttachmentType();
    return *m_attachmentType;
}

AttachmentType NativeItem::readAttachmentType() const
{
    const PropertyEntry* data = find(tag::AttachData, 0);
    const std::optional<std::uint32_t> method = integer32(tag::AttachMethod, 0);
    if (data && data->type == kObject) {
        // An object is an attached message only where its sub-node holds one; an OLE object's
        // sub-node holds the object's compound file, which is read as the attachment's bytes.
        if (method && *method == kMethodOle)
            return AttachmentType::Data;
        return objectHoldsMessage(*data) ? AttachmentType::Item : AttachmentType::Data;
    }
    if (method) {
        switch (*method) {
        case 1: // by value
        case 5: // embedded, but stored as bytes
        case kMethodOle:
            return AttachmentType::Data;
        case 2: // by reference
        case 3: // by reference, resolved
        case 4: // by reference only
        case 7: // by web reference
            return AttachmentType::Reference;
        default:
            break;
        }
    }
    return data ? AttachmentType::Data : AttachmentType::Undefined;
}

bool NativeItem::objectHoldsMessage(const PropertyEntry& object) const
{
    try {
        const SubnodeEntry& sub = subnode(objectNid(object));
        const std::vector<DataLeaf> leaves =
            sub.bidData != 0 ? ndb().dataLeaves(sub.bidData) : std::vector<DataLeaf>{};
        if (leaves.empty())
            return false;
        // A heap's first block starts with its page-map offset, the heap signature and the
        // client's signature.
        const QByteArray first = ndb().readBlock(leaves.front().bid);
        return first.size() >= 4 && static_cast<std::uint8_t>(first[2]) == kHeapSignature &&
               static_cast<std::uint8_t>(first[3]) == static_cast<std::uint8_t>(HeapClient::PropertyContext);
    } catch (const StoreError&) {
        // An object that cannot be looked into stays what its type says; reading it as a message
        // then reports what is wrong with it.
        return true;
    }
}

std::uint32_t NativeItem::objectNid(const PropertyEntry& object) const
{
    const QByteArray reference = value(object);
    if (reference.size() < 4)
        fail("attachment " + hex(m_node.nid) + ": its object is not referenced");
    return get32(reference.constData());
}

const NativeItem::AttachmentData& NativeItem::attachmentData() const
{
    if (!m_attachmentData) {
        AttachmentData d;
        const PropertyEntry* entry = find(tag::AttachData, 0);
        if (entry && entry->type == kObject) {
            // An object read as bytes: the whole data of the sub-node it names.
            d.entry = entry;
            d.inSubnode = true;
            const SubnodeEntry& sub = subnode(objectNid(*entry));
            if (sub.bidData != 0)
                d.leaves = ndb().dataLeaves(sub.bidData);
            for (const DataLeaf& leaf : d.leaves)
                d.size += leaf.size;
        } else if (entry) {
            d.entry = entry;
            d.inSubnode = entry->storage == PropertyEntry::Storage::Subnode;
            if (d.inSubnode) {
                const SubnodeEntry& sub = subnode(entry->reference);
                if (sub.bidData != 0)
                    d.leaves = ndb().dataLeaves(sub.bidData);
                for (const DataLeaf& leaf : d.leaves)
                    d.size += leaf.size;
            } else if (entry->storage == PropertyEntry::Storage::Heap) {
                d.size = static_cast<std::uint64_t>(m_heap->allocation(entry->reference).size());
            } else {
                d.size = entry->inlineSize;
            }
        }
        m_attachmentData = std::move(d);
    }
    return *m_attachmentData;
}

std::uint64_t NativeItem::attachmentDataSize() const
{
    requireKind(Kind::Attachment, "cannot read the size of the attachment data");
    if (attachmentType() != AttachmentType::Data)
        return 0;
    return attachmentData().size;
}

QByteArray NativeItem::readAttachmentData(std::uint64_t offset, std::size_t maxSize) const
{
    requireKind(Kind::Attachment, "cannot read the attachment data");
    if (attachmentType() != AttachmentType::Data)
        return {};
    const AttachmentData& d = attachmentData();
    if (!d.entry || offset >= d.size || maxSize == 0)
        return {};
    const std::uint64_t end =
        std::min<std::uint64_t>(d.size, offset + std::min<std::uint64_t>(maxSize, Ndb::kMaxValueSize));
    if (!d.inSubnode) {
        const QByteArray all = value(*d.entry);
        return all.mid(static_cast<qsizetype>(offset), static_cast<qsizetype>(end - offset));
    }
    QByteArray out;
    out.reserve(static_cast<qsizetype>(end - offset));
    std::uint64_t leafStart = 0;
    for (const DataLeaf& leaf : d.leaves) {
        const std::uint64_t leafEnd = leafStart + leaf.size;
        if (leafEnd > offset && leafStart < end) {
            const QByteArray block = ndb().readBlock(leaf.bid);
            const std::uint64_t from = std::max(offset, leafStart) - leafStart;
            const std::uint64_t to = std::min(end, leafEnd) - leafStart;
            if (static_cast<std::uint64_t>(block.size()) < to)
                fail("attachment data block " + hex(leaf.bid) + " holds " + std::to_string(block.size()) +
                     " bytes, " + std::to_string(leaf.size) + " expected");
            out.append(block.constData() + from, static_cast<qsizetype>(to - from));
        }
        if (leafEnd >= end)
            break;
        leafStart = leafEnd;
    }
    return out;
}

std::unique_ptr<Item> NativeItem::embeddedItem() const
{
    requireKind(Kind::Attachment, "cannot read the attached item");
    const PropertyEntry* entry = find(tag::AttachData, 0);
    if (!entry || entry->type != kObject)
        return nullptr;
    if (attachmentType() != AttachmentType::Item)
        return nullptr;
    const std::uint32_t nid = objectNid(*entry);
    if (m_depth + 1 > kMaxEmbeddingDepth)
        fail("attachment " + hex(m_node.nid) + ": messages embedded deeper than " +
             std::to_string(kMaxEmbeddingDepth) + " levels");
    const SubnodeEntry& sub = subnode(nid);
    return std::make_unique<NativeItem>(m_store, Kind::Message, NodeRef{sub.nid, sub.bidData, sub.bidSub},
                                        m_depth + 1);
}

} // namespace store::native
