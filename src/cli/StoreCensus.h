#pragma once

#include "store/Store.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <map>
#include <vector>

namespace cli {

// What one folder of a store holds, counted through the store layer.
struct FolderCensus
{
    QString name;
    std::uint32_t identifier = 0;
    int messages = 0;
    std::map<store::ItemType, int> kinds; // messages by the store library's item kind
    std::map<QString, int> classes;       // messages by message class
    int attachments = 0;
    int embeddedMessages = 0;
    QStringList failures; // what could not be read here, and why
    std::vector<FolderCensus> folders;
};

struct StoreCensus
{
    store::ContentType contentType = store::ContentType::Unknown;
    store::EncryptionType encryption = store::EncryptionType::None;
    int formatType = 0;
    std::uint64_t fileSize = 0;
    QString reader;                       // the reader that read it
    int codePage = 0;                     // of 8-bit texts that name none
    store::CodePageChoice codePageChoice; // how the reader chose it
    FolderCensus root;

    int folderCount() const; // the root folder and every folder below it
    int messageCount() const;
    int attachmentCount() const;
    int embeddedMessageCount() const;
    int failureCount() const;
    std::map<store::ItemType, int> kinds() const;
    std::map<QString, int> classes() const;
};

// Walks every folder and message of an open store. A folder or message that cannot be read is
// noted in its folder's failures and the walk goes on; a folder that appears twice in its own
// ancestry (a damaged store) is not entered again. Throws StoreError only when the root folder
// cannot be read.
StoreCensus takeCensus(const store::Store& store);

} // namespace cli
