#include "StoreCensus.h"

#include "store/StoreError.h"

#include <set>

namespace cli {

namespace {

constexpr int kMaxDepth = 1000;

template <typename Fold> void visit(const FolderCensus& folder, Fold& fold)
{
    fold(folder);
    for (const FolderCensus& child : folder.folders)
        visit(child, fold);
}

template <typename Value> Value sum(const StoreCensus& census, Value (*field)(const FolderCensus&))
{
    Value total{};
    auto fold = [&](const FolderCensus& folder) {
        total += field(folder);
    };
    visit(census.root, fold);
    return total;
}

QString nameOf(const store::Item& folder)
{
    if (const std::optional<QByteArray> name = folder.utf8String(0x3001))
        return QString::fromUtf8(*name);
    return {};
}

void countMessage(const store::Item& message, FolderCensus& census)
{
    const store::ItemType kind = message.type();
    ++census.messages;
    ++census.kinds[kind];
    const std::optional<QByteArray> messageClass = message.utf8String(0x001A);
    ++census.classes[messageClass ? QString::fromUtf8(*messageClass) : QString()];
    if (kind == store::ItemType::Folder)
        return;
    const int attachments = message.attachmentCount();
    census.attachments += attachments;
    for (int index = 0; index < attachments; ++index) {
        const std::unique_ptr<store::Item> attachment = message.attachment(index);
        if (attachment->attachmentType() == store::AttachmentType::Item)
            ++census.embeddedMessages;
    }
}

void walkFolder(const store::Item& folder, FolderCensus& census, std::set<std::uint32_t>& ancestry, int depth)
{
    int folders = 0;
    try {
        folders = folder.subFolderCount();
    } catch (const store::StoreError& error) {
        census.failures << QStringLiteral("sub-folders: ") + error.message();
    }
    for (int index = 0; index < folders; ++index) {
        FolderCensus child;
        try {
            const std::unique_ptr<store::Item> sub = folder.subFolder(index);
            child.identifier = sub->identifier();
            child.name = nameOf(*sub);
            if (depth >= kMaxDepth) {
                child.failures
                    << QStringLiteral("folders nested deeper than %1 levels are not entered").arg(kMaxDepth);
            } else if (!ancestry.insert(child.identifier).second) {
                child.failures << QStringLiteral("folder %1 contains itself").arg(child.identifier);
            } else {
                walkFolder(*sub, child, ancestry, depth + 1);
                ancestry.erase(child.identifier);
            }
        } catch (const store::StoreError& error) {
            child.failures << QStringLiteral("folder %1: ").arg(index) + error.message();
        }
        census.folders.push_back(std::move(child));
    }

    int messages = 0;
    try {
        messages = folder.subMessageCount();
    } catch (const store::StoreError& error) {
        census.failures << QStringLiteral("messages: ") + error.message();
    }
    for (int index = 0; index < messages; ++index) {
        try {
            countMessage(*folder.subMessage(index), census);
        } catch (const store::StoreError& error) {
            census.failures << QStringLiteral("message %1: ").arg(index) + error.message();
        }
    }
}

} // namespace

StoreCensus takeCensus(const store::Store& store)
{
    StoreCensus census;
    census.contentType = store.contentType();
    census.encryption = store.encryptionType();
    census.formatType = store.formatType();
    census.fileSize = store.fileSize();
    const std::unique_ptr<store::Item> root = store.rootFolder();
    census.root.identifier = root->identifier();
    census.root.name = nameOf(*root);
    std::set<std::uint32_t> ancestry{census.root.identifier};
    walkFolder(*root, census.root, ancestry, 0);
    return census;
}

int StoreCensus::folderCount() const
{
    return 1 + sum<int>(*this,
                        [](const FolderCensus& folder) { return static_cast<int>(folder.folders.size()); });
}

int StoreCensus::messageCount() const
{
    return sum<int>(*this, [](const FolderCensus& folder) { return folder.messages; });
}

int StoreCensus::attachmentCount() const
{
    return sum<int>(*this, [](const FolderCensus& folder) { return folder.attachments; });
}

int StoreCensus::embeddedMessageCount() const
{
    return sum<int>(*this, [](const FolderCensus& folder) { return folder.embeddedMessages; });
}

int StoreCensus::failureCount() const
{
    return sum<int>(*this,
                    [](const FolderCensus& folder) { return static_cast<int>(folder.failures.size()); });
}

std::map<store::ItemType, int> StoreCensus::kinds() const
{
    std::map<store::ItemType, int> total;
    auto fold = [&](const FolderCensus& folder) {
        for (const auto& [kind, count] : folder.kinds)
            total[kind] += count;
    };
    visit(root, fold);
    return total;
}

std::map<QString, int> StoreCensus::classes() const
{
    std::map<QString, int> total;
    auto fold = [&](const FolderCensus& folder) {
        for (const auto& [name, count] : folder.classes)
            total[name] += count;
    };
    visit(root, fold);
    return total;
}

} // namespace cli
