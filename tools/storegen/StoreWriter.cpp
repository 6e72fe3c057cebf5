#include "StoreWriter.h"

#include "Bytes.h"
#include "PropertyContextBuilder.h"
#include "TableContextBuilder.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <unistd.h>

namespace storegen {

using namespace bytes;

namespace {

constexpr std::uint32_t kMessageStore = 0x21;
constexpr std::uint32_t kNameToIdMap = 0x61;
constexpr std::uint32_t kRecipientTable = 0x692;
constexpr std::uint32_t kAttachmentTable = 0x671;
constexpr std::uint32_t kTypeFolder = 0x02;
constexpr std::uint32_t kTypeMessage = 0x04;
constexpr std::uint32_t kTypeAttachment = 0x05;
// The sub-node of an attachment that holds its OLE object, numbered as Outlook numbers it.
constexpr std::uint32_t kOleObjectNid = 0x80E9;
constexpr std::uint32_t kTypeHierarchy = 0x0D;
constexpr std::uint32_t kTypeContents = 0x0E;
constexpr std::uint32_t kTypeAssociated = 0x0F;
constexpr std::uint32_t kMessageFlagRead = 0x01;
constexpr std::uint32_t kMessageFlagHasAttachment = 0x10;

// The store's identity inside entry ids; fixed so that the same input gives the same bytes.
const char kRecordKey[16] = {'\x54', '\x61', '\x72', '\x76', '\x6F', '\x6C', '\x69', '\x6E',
                             '\x53', '\x74', '\x6F', '\x72', '\x65', '\x47', '\x65', '\x6E'};

TableContextBuilder::Cell integerCell(std::uint16_t id, std::uint32_t value)
{
    QByteArray bytes;
    append32(bytes, value);
    return {id, PropertyType::Integer32, bytes};
}

const Property* find(const std::vector<Property>& properties, std::uint16_t id, PropertyType type)
{
    for (const Property& p : properties) {
        if (!p.named && p.id == id && p.type == type)
            return &p;
    }
    return nullptr;
}

const Property* findText(const std::vector<Property>& properties, std::uint16_t id)
{
    for (const Property& p : properties) {
        if (!p.named && p.id == id && p.isText())
            return &p;
    }
    return nullptr;
}

} // namespace

StoreWriter::StoreWriter(const QString& path, const StoreOptions& options, bool overwrite)
    : m_path(path), m_options(options), m_codePage(options.codePage)
{
    if (!overwrite && QFileInfo::exists(path))
        throw std::runtime_error(
            QStringLiteral("%1 exists (use --force to replace it)").arg(path).toStdString());
    m_tempPath = path + QStringLiteral(".part%1").arg(::getpid());
    m_ndb = std::make_unique<NdbWriter>(m_tempPath, options);

    FolderState root;
    root.nid = kRootFolder;
    root.parent = kRootFolder;
    root.contents = newContentsTable();
    m_folders.push_back(std::move(root));
}

StoreWriter::~StoreWriter()
{
    if (!m_finished) {
        m_folders.clear();
        m_ndb.reset();
        QFile::remove(m_tempPath);
    }
}

std::unique_ptr<StreamingTableWriter> StoreWriter::newContentsTable()
{
    return std::make_unique<StreamingTableWriter>(
        *m_ndb, std::vector<std::pair<std::uint16_t, PropertyType>>{{0x0E07, PropertyType::Integer32},
                                                                    {0x0E08, PropertyType::Integer32},
                                                                    {0x0017, PropertyType::Integer32},
                                                                    {0x0E06, PropertyType::Time}});
}

StoreWriter::FolderState& StoreWriter::folderState(std::uint32_t nid)
{
    for (FolderState& f : m_folders) {
        if (f.nid == nid)
            return f;
    }
    throw std::invalid_argument("unknown folder");
}

std::uint32_t StoreWriter::addFolder(std::uint32_t parent, const Folder& folder)
{
    const std::uint32_t nid = (m_nextFolderIndex++ << 5) | kTypeFolder;
    folderState(parent).children.push_back(nid);
    FolderState state;
    state.nid = nid;
    state.parent = parent;
    state.description.name = folder.name;
    state.description.containerClass = folder.containerClass;
    state.description.role = folder.role;
    state.description.properties = folder.properties;
    state.description.deleted = folder.deleted;
    state.contents = newContentsTable();
    m_folders.push_back(std::move(state));
    return nid;
}

std::uint32_t StoreWriter::addFolder(std::uint32_t parent, const QString& name, const QString& containerClass,
                                     FolderRole role)
{
    Folder folder;
    folder.name = name;
    folder.containerClass = containerClass;
    folder.role = role;
    return addFolder(parent, folder);
}

PropertyType StoreWriter::stringType() const
{
    return m_options.format == FileFormat::Ansi ? PropertyType::String8 : PropertyType::Unicode;
}

Property StoreWriter::stored(const Property& property)
{
    Property p = property;
    if (p.named) {
        p.id = p.name.isEmpty() ? m_names.idFor(p.propertySet, p.lid) : m_names.idFor(p.propertySet, p.name);
        p.named = false;
    }
    if (p.encodeOnWrite) {
        if (p.type == PropertyType::String8 || m_options.format == FileFormat::Ansi) {
            p.value = m_codePage.encode(p.characters());
            p.type = PropertyType::String8;
        }
        p.encodeOnWrite = false;
    }
    return p;
}

void StoreWriter::addProperties(PropertyContextBuilder& pc, const std::vector<Property>& properties)
{
    for (const Property& p : properties) {
        if (p.absent)
            continue;
        const Property s = stored(p);
        pc.add(s.id, s.type, s.value);
    }
}

NodeContent StoreWriter::buildAttachment(const Attachment& attachment, std::uint32_t* size)
{
    *size = 0;
    PropertyContextBuilder pc(m_ndb->maxBlockData());
    pc.addInteger32(0x3705, static_cast<std::uint32_t>(attachment.method));
    pc.addInteger32(0x370B, 0xFFFFFFFF);
    if (attachment.method == AttachMethod::ByValue) {
        *size = static_cast<std::uint32_t>(attachment.data.size());
        pc.addInteger32(0x0E20, *size);
        pc.add(0x3701, PropertyType::Binary, attachment.data);
    } else if (attachment.method == AttachMethod::EmbeddedMessage && attachment.message) {
        NodeContent embedded = buildMessage(*attachment.message);
        for (const QByteArray& b : embedded.blocks)
            *size += static_cast<std::uint32_t>(b.size());
        pc.addInteger32(0x0E20, *size);
        // Embedded messages take ids from the same range as stored messages so that no id in the
        // store means two things.
        pc.addObject(0x3701, (m_nextMessageIndex++ << 5) | kTypeMessage, *size, std::move(embedded));
    } else if (attachment.method == AttachMethod::OleObject) {
        // As Outlook stores it: an object property naming a sub-node that holds the object's
        // compound file as plain data.
        *size = static_cast<std::uint32_t>(attachment.data.size());
        pc.addInteger32(0x0E20, *size);
        NodeContent object;
        object.blocks = PropertyContextBuilder::split(attachment.data, m_ndb->maxBlockData());
        pc.addObject(0x3701, kOleObjectNid, *size, std::move(object));
    }
    addProperties(pc, attachment.properties);
    return pc.build();
}

NodeContent StoreWriter::buildMessage(const Message& message)
{
    const std::size_t maxData = m_ndb->maxBlockData();
    PropertyContextBuilder pc(maxData);
    addProperties(pc, message.properties);
    if (m_options.format == FileFormat::Ansi) {
        // The code page of the message's 8-bit texts, and the one its internet form names.
        for (std::uint16_t id : {std::uint16_t(0x3FFD), std::uint16_t(0x3FDE)}) {
            const bool absent = std::any_of(message.properties.begin(), message.properties.end(),
                                            [&](const Property& p) { return p.absent && p.id == id; });
            if (!pc.has(id) && !absent)
                pc.addInteger32(id, m_options.codePage);
        }
    }
    if (!message.attachments.empty()) {
        if (const Property* flags = find(message.properties, 0x0E07, PropertyType::Integer32))
            pc.addInteger32(0x0E07, get32(flags->value.constData()) | kMessageFlagHasAttachment);
        pc.add(0x0E1B, PropertyType::Boolean, QByteArray(1, '\1'));
    }

    TableContextBuilder recipients(maxData, m_options.format);
    recipients.addColumn(0x0C15, PropertyType::Integer32);
    recipients.addColumn(0x3001, stringType());
    for (std::size_t i = 0; i < message.recipients.size(); ++i) {
        std::vector<TableContextBuilder::Cell> cells;
        for (const Property& p : message.recipients[i].properties) {
            const Property s = stored(p);
            cells.push_back(TableContextBuilder::Cell{s.id, s.type, s.value});
        }
        recipients.addRow(static_cast<std::uint32_t>(i), std::move(cells));
    }
    pc.addSubnode(kRecipientTable, recipients.build());

    if (!message.attachments.empty()) {
        TableContextBuilder table(maxData, m_options.format);
        table.addColumn(0x0E20, PropertyType::Integer32);
        table.addColumn(0x3705, PropertyType::Integer32);
        table.addColumn(0x370B, PropertyType::Integer32);
        table.addColumn(0x3704, stringType());
        table.addColumn(0x3707, stringType());
        for (std::size_t i = 0; i < message.attachments.size(); ++i) {
            const Attachment& a = message.attachments[i];
            const std::uint32_t nid = ((0x400u + static_cast<std::uint32_t>(i)) << 5) | kTypeAttachment;
            std::uint32_t attachmentSize = 0;
            NodeContent content = buildAttachment(a, &attachmentSize);
            std::vector<TableContextBuilder::Cell> cells;
            cells.push_back(integerCell(0x3705, static_cast<std::uint32_t>(a.method)));
            cells.push_back(integerCell(0x0E20, attachmentSize));
            cells.push_back({0x370B, PropertyType::Integer32, QByteArray(4, '\xFF')});
            for (std::uint16_t id : {std::uint16_t(0x3704), std::uint16_t(0x3707)}) {
                if (const Property* name = findText(a.properties, id)) {
                    const Property s = stored(*name);
                    cells.push_back({id, s.type, s.value});
                }
            }
            table.addRow(nid, std::move(cells));
            pc.addSubnode(nid, std::move(content));
        }
        pc.addSubnode(kAttachmentTable, table.build());
    }
    return pc.build();
}

SubnodeRef StoreWriter::writeContent(std::uint32_t nid, NodeContent& content)
{
    std::vector<SubnodeRef> children;
    children.reserve(content.subnodes.size());
    for (auto& [childNid, child] : content.subnodes)
        children.push_back(writeContent(childNid, child));
    SubnodeRef ref;
    ref.nid = nid;
    ref.bidData = m_ndb->writeDataTree(content.blocks);
    ref.bidSub = m_ndb->writeSubnodes(std::move(children));
    return ref;
}

void StoreWriter::writeTopNode(std::uint32_t nid, std::uint32_t parent, NodeContent content)
{
    const SubnodeRef ref = writeContent(nid, content);
    m_ndb->addNode(nid, ref.bidData, ref.bidSub, parent);
}

std::uint32_t StoreWriter::addMessage(std::uint32_t folder, const Message& message)
{
    FolderState& state = folderState(folder);
    const std::uint32_t nid = (m_nextMessageIndex++ << 5) | kTypeMessage;
    if (message.deleted || message.earlierVersion) {
        m_ndb->beginFreed();
        writeTopNode(nid, folder, buildMessage(message.earlierVersion ? *message.earlierVersion : message));
        m_ndb->endFreed();
        if (message.deleted)
            return nid;
    }
    writeTopNode(nid, folder, buildMessage(message));
    if (message.movedFrom) {
        const NdbWriter::Node live = m_ndb->lastNode();
        m_ndb->beginFreed();
        m_ndb->addNode(nid, live.bidData, live.bidSub, message.movedFrom);
        m_ndb->endFreed();
    }

    // The folder's contents table row: what a list of the folder shows without opening the item.
    std::vector<TableContextBuilder::Cell> cells;
    std::uint32_t flags = 0;
    if (const Property* p = find(message.properties, 0x0E07, PropertyType::Integer32)) {
        flags = get32(p->value.constData()) | (message.attachments.empty() ? 0 : kMessageFlagHasAttachment);
        cells.push_back(integerCell(0x0E07, flags));
    }
    for (std::uint16_t id : {std::uint16_t(0x0E08), std::uint16_t(0x0017)}) {
        if (const Property* p = find(message.properties, id, PropertyType::Integer32))
            cells.push_back({id, PropertyType::Integer32, p->value});
    }
    if (const Property* p = find(message.properties, 0x0E06, PropertyType::Time))
        cells.push_back({0x0E06, PropertyType::Time, p->value});
    if (!(flags & kMessageFlagRead))
        ++state.unread;
    state.contents->addRow(nid, cells);
    return nid;
}

QByteArray StoreWriter::entryId(std::uint32_t nid) const
{
    QByteArray id(4, '\0');
    id.append(kRecordKey, 16);
    append32(id, nid);
    return id;
}

void StoreWriter::writeFolder(FolderState& folder)
{
    const std::size_t maxData = m_ndb->maxBlockData();
    const std::uint32_t index = folder.nid >> 5;
    const Folder& d = folder.description;

    if (d.deleted)
        m_ndb->beginFreed();
    PropertyContextBuilder pc(maxData);
    std::vector<Property> texts{Property::text(0x3001, d.name)};
    if (!d.containerClass.isEmpty())
        texts.push_back(Property::text(0x3613, d.containerClass));
    addProperties(pc, texts);
    pc.addInteger32(0x3602, folder.contents->rowCount());
    pc.addInteger32(0x3603, folder.unread);
    pc.add(0x360A, PropertyType::Boolean, QByteArray(1, folder.children.empty() ? '\0' : '\1'));
    if (folder.nid == kRootFolder || d.role == FolderRole::Inbox) {
        // PR_IPM_APPOINTMENT_ENTRYID, _CONTACT_, _JOURNAL_, _NOTE_ and _TASK_: the first folder of
        // each kind.
        const std::pair<std::uint16_t, const char*> defaults[] = {{0x36D0, "IPF.Appointment"},
                                                                  {0x36D1, "IPF.Contact"},
                                                                  {0x36D2, "IPF.Journal"},
                                                                  {0x36D3, "IPF.StickyNote"},
                                                                  {0x36D4, "IPF.Task"}};
        for (const auto& [id, containerClass] : defaults) {
            for (const FolderState& f : m_folders) {
                if (f.nid != kRootFolder && !f.description.deleted &&
                    f.description.containerClass == QLatin1String(containerClass)) {
                    pc.add(id, PropertyType::Binary, entryId(f.nid));
                    break;
                }
            }
        }
        // PR_IPM_DRAFTS_ENTRYID, and PR_ADDITIONAL_REN_ENTRYIDS, whose fifth value names Junk E-mail.
        if (const std::uint32_t drafts = folderOfRole(FolderRole::Drafts))
            pc.add(0x36D7, PropertyType::Binary, entryId(drafts));
        if (const std::uint32_t junk = folderOfRole(FolderRole::JunkEmail))
            addProperties(pc, {Property::multiple(0x36D8, PropertyType::MultipleBinary,
                                                  {{}, {}, {}, {}, entryId(junk)})});
    }
    addProperties(pc, d.properties);
    writeTopNode(folder.nid, folder.parent, pc.build());

    TableContextBuilder hierarchy(maxData, m_options.format);
    hierarchy.addColumn(0x3001, stringType());
    hierarchy.addColumn(0x3602, PropertyType::Integer32);
    hierarchy.addColumn(0x3603, PropertyType::Integer32);
    hierarchy.addColumn(0x360A, PropertyType::Boolean);
    for (std::uint32_t childNid : folder.children) {
        const FolderState& child = folderState(childNid);
        if (child.description.deleted)
            continue;
        std::vector<TableContextBuilder::Cell> cells;
        const Property name = stored(Property::text(0x3001, child.description.name));
        cells.push_back({0x3001, name.type, name.value});
        cells.push_back(integerCell(0x3602, child.contents->rowCount()));
        cells.push_back(integerCell(0x3603, child.unread));
        cells.push_back({0x360A, PropertyType::Boolean, QByteArray(1, child.children.empty() ? '\0' : '\1')});
        hierarchy.addRow(childNid, std::move(cells));
    }
    writeTopNode((index << 5) | kTypeHierarchy, 0, hierarchy.build());

    const SubnodeRef contents = folder.contents->finish((index << 5) | kTypeContents);
    m_ndb->addNode(contents.nid, contents.bidData, contents.bidSub, 0);

    TableContextBuilder associated(maxData, m_options.format);
    writeTopNode((index << 5) | kTypeAssociated, 0, associated.build());
    if (d.deleted)
        m_ndb->endFreed();
}

std::uint32_t StoreWriter::folderOfRole(FolderRole role) const
{
    for (const FolderState& f : m_folders) {
        if (f.nid != kRootFolder && f.description.role == role)
            return f.nid;
    }
    return 0;
}

void StoreWriter::writeMessageStore()
{
    PropertyContextBuilder pc(m_ndb->maxBlockData());
    pc.add(0x0FF9, PropertyType::Binary, QByteArray(kRecordKey, 16));
    addProperties(pc, {Property::text(0x3001, m_displayName)});
    std::uint32_t subtree = 0;
    std::uint32_t wastebasket = 0;
    std::uint32_t finder = 0;
    for (const FolderState& f : m_folders) {
        if (f.nid == kRootFolder)
            continue;
        if (f.description.role == FolderRole::IpmSubtree && !subtree)
            subtree = f.nid;
        else if (f.description.role == FolderRole::DeletedItems && !wastebasket)
            wastebasket = f.nid;
        else if (f.description.role == FolderRole::SearchRoot && !finder)
            finder = f.nid;
    }
    // Without an explicit subtree the first folder below the root is the top of the mailbox.
    if (!subtree && !m_folders.front().children.empty())
        subtree = m_folders.front().children.front();
    std::uint32_t valid = 0;
    if (subtree) {
        pc.add(0x35E0, PropertyType::Binary, entryId(subtree));
        valid |= 0x01;
    }
    if (wastebasket) {
        pc.add(0x35E3, PropertyType::Binary, entryId(wastebasket));
        valid |= 0x08;
    }
    if (const std::uint32_t sent = folderOfRole(FolderRole::SentItems)) {
        pc.add(0x35E4, PropertyType::Binary, entryId(sent));
        valid |= 0x10;
    }
    if (finder) {
        pc.add(0x35E7, PropertyType::Binary, entryId(finder));
        valid |= 0x80;
    }
    pc.addInteger32(0x35DF, valid);
    pc.addInteger32(0x67FF, 0);
    writeTopNode(kMessageStore, 0, pc.build());
}

void StoreWriter::finish()
{
    for (FolderState& f : m_folders)
        writeFolder(f);
    writeMessageStore();
    writeTopNode(kNameToIdMap, 0, m_names.build(m_ndb->maxBlockData()));
    m_ndb->finish();
    if (std::rename(QFile::encodeName(m_tempPath).constData(), QFile::encodeName(m_path).constData()) != 0)
        throw std::runtime_error(
            QStringLiteral("cannot rename %1 to %2").arg(m_tempPath, m_path).toStdString());
    m_finished = true;
}

namespace {

void addFolderTree(StoreWriter& writer, std::uint32_t parent, const Folder& folder)
{
    const std::uint32_t nid = writer.addFolder(parent, folder);
    for (const Folder& child : folder.folders)
        addFolderTree(writer, nid, child);
    for (const Message& message : folder.messages)
        writer.addMessage(nid, message);
}

} // namespace

void writeStore(const StoreDescription& description, const QString& path, bool overwrite)
{
    StoreWriter writer(path, description.options, overwrite);
    writer.setDisplayName(description.displayName);
    for (const Folder& folder : description.folders)
        addFolderTree(writer, StoreWriter::kRootFolder, folder);
    writer.finish();
}

} // namespace storegen
