#pragma once

#include "CodePageEncoder.h"
#include "NameMap.h"
#include "NdbWriter.h"
#include "NodeContent.h"
#include "StoreModel.h"

#include <QString>
#include <memory>
#include <vector>

namespace storegen {

// Writes a store item by item: folders first (any time before finish), messages streamed to disk
// as they are added; the folders' own nodes and tables, the message store and the named-property
// map at the end. The file is written under a temporary name and renamed by finish(); a writer
// destroyed before finishing removes it. Throws std::runtime_error on failure.
class StoreWriter
{
public:
    static constexpr std::uint32_t kRootFolder = 0x122;

    // Refuses to replace an existing file unless overwrite is set.
    StoreWriter(const QString& path, const StoreOptions& options, bool overwrite = false);
    ~StoreWriter();
    StoreWriter(const StoreWriter&) = delete;
    StoreWriter& operator=(const StoreWriter&) = delete;

    const StoreOptions& options() const { return m_options; }
    void setDisplayName(const QString& name) { m_displayName = name; }
    // Adds a folder (its sub-folders and messages in the description are ignored) below a parent
    // and returns its node id.
    std::uint32_t addFolder(std::uint32_t parent, const Folder& folder);
    std::uint32_t addFolder(std::uint32_t parent, const QString& name, const QString& containerClass,
                            FolderRole role = FolderRole::Normal);
    std::uint32_t addMessage(std::uint32_t folder, const Message& message);
    void finish();

    std::uint64_t fileSize() const { return m_ndb->fileSize(); }

private:
    struct FolderState
    {
        std::uint32_t nid;
        std::uint32_t parent;
        Folder description;
        std::vector<std::uint32_t> children;
        // The contents table, written while messages are added.
        std::unique_ptr<class StreamingTableWriter> contents;
        std::uint32_t unread = 0;
    };

    NodeContent buildMessage(const Message& message);
    // An attachment's property context; its size (of the data or embedded message) goes to size.
    NodeContent buildAttachment(const Attachment& attachment, std::uint32_t* size);
    void addProperties(class PropertyContextBuilder& pc, const std::vector<Property>& properties);
    // A property as this store keeps it: texts given as characters encoded, named ones mapped.
    Property stored(const Property& property);
    // The type texts of the store's string type take: PT_STRING8 in ANSI stores.
    PropertyType stringType() const;
    SubnodeRef writeContent(std::uint32_t nid, NodeContent& content);
    void writeTopNode(std::uint32_t nid, std::uint32_t parent, NodeContent content);
    void writeFolder(FolderState& folder);
    std::unique_ptr<StreamingTableWriter> newContentsTable();
    // The first folder of a role; 0 for none.
    std::uint32_t folderOfRole(FolderRole role) const;
    void writeMessageStore();
    FolderState& folderState(std::uint32_t nid);
    QByteArray entryId(std::uint32_t nid) const;

    QString m_path;
    QString m_tempPath;
    StoreOptions m_options;
    CodePageEncoder m_codePage;
    std::unique_ptr<NdbWriter> m_ndb;
    NameMap m_names;
    QString m_displayName = QStringLiteral("Personal Folders");
    std::vector<FolderState> m_folders;
    std::uint32_t m_nextFolderIndex = 0x400;
    std::uint32_t m_nextMessageIndex = 0x400;
    bool m_finished = false;
};

// Writes a whole described store.
void writeStore(const StoreDescription& description, const QString& path, bool overwrite = false);

} // namespace storegen
