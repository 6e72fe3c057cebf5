#include "NativeStore.h"

#include "Failure.h"
#include "NativeItem.h"
#include "StoreData.h"

namespace store::native {

namespace {
constexpr std::uint32_t kRootFolderNid = 0x122;
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

NativeStore::NativeStore(const QString& path, int codePage) : m_data(openData(path, codePage)) {}

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

} // namespace store::native
