#include "NativeStore.h"

#include "Failure.h"
#include "NativeItem.h"
#include "Recovery.h"
#include "StoreData.h"

#include <map>

namespace store::native {

namespace {
constexpr std::uint32_t kRootFolderNid = 0x122;
constexpr std::uint32_t kMessageStoreNid = 0x21;
}

namespace {

std::shared_ptr<const StoreData> openData(const QString& path, int codePage)
{
    try {
        return std::make_shared<StoreData>(path, codePage);
    } catch (const OpenError&) {
        throw;
    } catch (const StoreError& e) {
        // Without its indexes nothing of the store can be read.
        throw OpenError(OpenError::Reason::Unreadable,
                        std::string("the store's index cannot be read: ") + e.what());
    }
}

} // namespace

NativeStore::NativeStore(const QString& path, int codePage) : m_path(path), m_data(openData(path, codePage))
{
}

NativeStore::~NativeStore() = default;

ContentType NativeStore::contentType() const
{
    const char* type = m_data->ndb().header().contentType;
    if (type[0] == 'S' && type[1] == 'O')
        return ContentType::Offline;
    if (type[0] == 'S' && type[1] == 'M')
        return ContentType::Personal;
    if (type[0] == 'A' && type[1] == 'B')
        return ContentType::PersonalAddressBook;
    return ContentType::Unknown;
}

EncryptionType NativeStore::encryptionType() const
{
    switch (m_data->ndb().header().crypt) {
    case CryptMethod::Permute:
        return EncryptionType::Compressible;
    case CryptMethod::Cyclic:
        return EncryptionType::High;
    case CryptMethod::None:
        break;
    }
    return EncryptionType::None;
}

int NativeStore::formatType() const
{
    switch (m_data->ndb().layout().format) {
    case Format::Ansi:
        return 32;
    case Format::Unicode:
        return 64;
    case Format::Unicode4k:
        return 65;
    }
    return 0;
}

std::uint64_t NativeStore::fileSize() const
{
    return m_data->ndb().file().size();
}

std::unique_ptr<Item> NativeStore::message(std::uint32_t identifier) const
{
    if (nidType(identifier) != NidType::NormalMessage)
        return nullptr;
    const NodeEntry* node = m_data->ndb().nodes().find(identifier);
    if (!node)
        return nullptr;
    return std::make_unique<NativeItem>(m_data, NativeItem::Kind::Message,
                                        NodeRef{node->nid, node->bidData, node->bidSub}, 0);
}

std::unique_ptr<Item> NativeStore::rootFolder() const
{
    const NodeEntry* root = m_data->ndb().nodes().find(kRootFolderNid);
    if (!root) {
        try {
            m_data->ndb().nodes().get(kRootFolderNid);
        } catch (const StoreError& e) {
            fail(std::string("the store has no root folder: ") + e.what());
        }
    }
    return std::make_unique<NativeItem>(m_data, NativeItem::Kind::Folder,
                                        NodeRef{root->nid, root->bidData, root->bidSub}, 0);
}

std::unique_ptr<Item> NativeStore::messageStore() const
{
    const NodeEntry* node = m_data->ndb().nodes().find(kMessageStoreNid);
    if (!node)
        return nullptr;
    return std::make_unique<NativeItem>(m_data, NativeItem::Kind::Message,
                                        NodeRef{node->nid, node->bidData, node->bidSub}, 0);
}

QStringList NativeStore::damage() const
{
    QStringList problems;
    const auto range = [](std::uint64_t from, std::uint64_t to) {
        return to == 0 ? "from " + hex(from) + " on" : hex(from) + " to " + hex(to - 1);
    };
    for (const BTreeDamage& d : m_data->ndb().nodes().damage())
        problems << QString::fromStdString(d.reason + " (the nodes " + range(d.from, d.to) + " are lost)");
    for (const BTreeDamage& d : m_data->ndb().blocks().damage())
        problems << QString::fromStdString(d.reason + " (the blocks " + range(d.from, d.to) + " are lost)");
    return problems;
}

int NativeStore::codePage() const
{
    return m_data->codePage();
}

CodePageChoice NativeStore::codePageChoice() const
{
    return m_data->codePageChoice();
}

void NativeStore::signalAbort()
{
    m_data->ndb().abort();
}

std::size_t NativeStore::nodeCount() const
{
    return m_data->ndb().nodes().size();
}

std::size_t NativeStore::blockIndexLeafPages() const
{
    return m_data->ndb().blocks().leafPages();
}

// The result of the recovery pass: the store data its items are read through (which also knows
// the blocks the pass found) and the node of each item.
struct NativeStore::Recovered
{
    std::shared_ptr<const StoreData> data;
    std::vector<NodeRef> nodes;
};

namespace {

constexpr int kMaxFolderDepth = 64;

bool isFolder(std::uint32_t nid)
{
    return nidType(nid) == NidType::NormalFolder;
}

// Folder nodes: the live ones, and those only found in pages the index no longer references (a
// deleted folder), by node id.
class FolderNodes
{
public:
    FolderNodes(const StoreData& live, std::shared_ptr<const StoreData> found, const FileScan& scan)
        : m_live(live), m_found(std::move(found))
    {
        for (const FoundNode& f : scan.nodes) {
            if (isFolder(f.node.nid) && !live.ndb().nodes().find(f.node.nid))
                m_deleted.emplace(f.node.nid, f.node);
        }
    }

    // Whether the live index leads from the folder up to the root folder.
    bool reachable(std::uint32_t nid)
    {
        std::vector<std::uint32_t> chain;
        bool result = false;
        for (std::uint32_t at = nid;;) {
            if (const auto known = m_reachable.find(at); known != m_reachable.end()) {
                result = known->second;
                break;
            }
            if (at == kRootFolderNid) {
                result = true;
                break;
            }
            const NodeEntry* node = m_live.ndb().nodes().find(at);
            if (!node || !isFolder(at) || chain.size() >= kMaxFolderDepth ||
                std::find(chain.begin(), chain.end(), at) != chain.end())
                break;
            chain.push_back(at);
            at = node->parent;
        }
        for (std::uint32_t at : chain)
            m_reachable[at] = result;
        return result;
    }

    // The names from below the root folder down to the folder, through live and deleted folders;
    // none where a folder on the way cannot be read or the way does not end at the root folder.
    std::optional<QStringList> path(std::uint32_t nid)
    {
        QStringList names;
        for (std::uint32_t at = nid; at != kRootFolderNid;) {
            if (names.size() >= kMaxFolderDepth)
                return std::nullopt;
            const NodeEntry* node = m_live.ndb().nodes().find(at);
            if (!node || !isFolder(at)) {
                const auto deleted = m_deleted.find(at);
                if (deleted == m_deleted.end())
                    return std::nullopt;
                node = &deleted->second;
            }
            const std::optional<QString> name = folderName(*node);
            if (!name)
                return std::nullopt;
            names.prepend(*name);
            at = node->parent;
        }
        return names;
    }

private:
    std::optional<QString> folderName(const NodeEntry& node)
    {
        try {
            const NativeItem folder(m_found, NativeItem::Kind::Folder,
                                    NodeRef{node.nid, node.bidData, node.bidSub}, 0);
            const std::optional<QByteArray> name = folder.utf8String(0x3001, 0);
            return name ? QString::fromUtf8(*name).remove(QChar(0)) : QString();
        } catch (const StoreError&) {
            return std::nullopt;
        }
    }

    const StoreData& m_live;
    std::shared_ptr<const StoreData> m_found;
    std::map<std::uint32_t, NodeEntry> m_deleted;
    std::map<std::uint32_t, bool> m_reachable;
};

// Whether a node found in an old page holds other content than the live node of its id.
bool differsFromLive(const StoreData& found, const StoreData& live, const NodeEntry& old,
                     const NodeEntry& now)
{
    if (old.bidData == now.bidData && old.bidSub == now.bidSub)
        return false;
    QByteArray current;
    try {
        current = live.ndb().readValue(now.bidData);
    } catch (const StoreError&) {
        return true;
    }
    try {
        return found.ndb().readValue(old.bidData) != current;
    } catch (const StoreError&) {
        return false; // not readable, so not an item either
    }
}

QString text(const std::optional<QByteArray>& value)
{
    return value ? QString::fromUtf8(*value).remove(QChar(0)) : QString();
}

} // namespace

std::vector<RecoveredItem> NativeStore::recoverItems(const RecoveryProgress& progress) const
{
    const Ndb& live = m_data->ndb();
    FileScan scan = scanFile(live.file(), live.layout(), live.blocks(), live.abortFlag(), progress);
    auto recovered = std::make_shared<Recovered>();
    recovered->data = std::make_shared<const StoreData>(m_path, m_data->codePage(), std::move(scan.blocks));
    FolderNodes folders(*m_data, recovered->data, scan);

    struct Candidate
    {
        NodeEntry node;
        RecoveredState state;
        QString found;
    };
    std::vector<Candidate> candidates;
    for (const FoundNode& f : scan.nodes) {
        // Folders are not items; their names serve the paths. Nodes of any other kind may hold a
        // message: the node ids of what an old page lists are not to be trusted for their kind.
        if (isFolder(f.node.nid) || nidType(f.node.nid) == NidType::SearchFolder)
            continue;
        const NodeEntry* now = live.nodes().find(f.node.nid);
        if (now && !differsFromLive(*recovered->data, *m_data, f.node, *now))
            continue;
        candidates.push_back({f.node, now ? RecoveredState::EarlierVersion : RecoveredState::Deleted,
                              QString::fromStdString("node index page at offset " + hex(f.pageOffset) +
                                                     (now ? ", the node index lists a later version"
                                                          : ", the node is not in the index"))});
    }
    for (const NodeEntry& node : live.nodes().nodes()) {
        if (nidType(node.nid) == NidType::NormalMessage && !folders.reachable(node.parent))
            candidates.push_back({node, RecoveredState::Orphan,
                                  QString::fromStdString("the node index, in folder " + hex(node.parent) +
                                                         " that cannot be reached from the root folder")});
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& a, const Candidate& b) { return a.node.nid < b.node.nid; });

    std::vector<RecoveredItem> items;
    for (const Candidate& c : candidates) {
        if (live.abortFlag().load(std::memory_order_relaxed))
            fail("the read was stopped");
        const NodeRef ref{c.node.nid, c.node.bidData, c.node.bidSub};
        try {
            // An item whose property context cannot be read is not recovered.
            const NativeItem message(recovered->data, NativeItem::Kind::Message, ref, 0);
            const std::optional<QByteArray> messageClass = message.utf8String(0x001A, 0);
            if (nidType(c.node.nid) != NidType::NormalMessage && !messageClass)
                continue;
            RecoveredItem item;
            item.identifier = c.node.nid;
            item.state = c.state;
            item.messageClass = text(messageClass);
            item.subject = text(message.utf8String(0x0037, 0));
            item.folder = folders.path(c.node.parent);
            item.found = c.found;
            item.index = recovered->nodes.size();
            recovered->nodes.push_back(ref);
            items.push_back(std::move(item));
        } catch (const StoreError&) {
        }
    }
    const std::lock_guard lock(m_recoveredLock);
    m_recovered = std::move(recovered);
    return items;
}

std::unique_ptr<Item> NativeStore::recoveredItem(const RecoveredItem& item) const
{
    std::shared_ptr<const Recovered> recovered;
    {
        const std::lock_guard lock(m_recoveredLock);
        recovered = m_recovered;
    }
    if (!recovered || item.index >= recovered->nodes.size() ||
        recovered->nodes[item.index].nid != item.identifier)
        return nullptr;
    return std::make_unique<NativeItem>(recovered->data, NativeItem::Kind::Message,
                                        recovered->nodes[item.index], 0);
}

} // namespace store::native
