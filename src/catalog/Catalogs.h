#pragma once

#include "AppointmentRecord.h"
#include "Catalog.h"
#include "CatalogOutOfMemory.h"
#include "CatalogWriteError.h"
#include "ContactRecord.h"
#include "FolderRecord.h"
#include "JournalRecord.h"
#include "MailRecord.h"
#include "NodeId.h"
#include "NoteRecord.h"
#include "SearchIndex.h"
#include "TaskRecord.h"
#include "TextFile.h"

#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_set>

namespace catalog {

// The item catalogs (folders, mails, contacts, appointments, tasks, notes and journal entries)
// that the scan fills and the views read. Appends run on the scan worker; lookups on any thread,
// also during a scan. ClearCatalogs empties them all together; records already handed out stay
// valid.
// There is one process-wide instance (processCatalogs()); tests make their own.
class Catalogs
{
public:
    // Called on the appending thread when an append cannot allocate, before it throws
    // CatalogOutOfMemory. The app shows its message box here and exits with a non-zero code.
    using OutOfMemoryHandler = std::function<void(const CatalogOutOfMemory&)>;

    Catalogs() = default;
    Catalogs(const Catalogs&) = delete;
    Catalogs& operator=(const Catalogs&) = delete;

    static Catalogs& processCatalogs();

    void AppendFolderRecord(const QString& name, const QString& parentLabel, int depth,
                            const QString& relativePath, NodeId parentNode, NodeId node,
                            std::optional<std::uint32_t> storeIdentifier = std::nullopt);
    // Appends `record` with its `texts`: an absent name takes the name of the record before it;
    // serial 0 is stored as 1. The texts go into the text file before the record is linked.
    // Returns the stored record. Throws CatalogWriteError when the texts cannot be kept; nothing
    // is appended then.
    std::shared_ptr<const MailRecord> AppendMailRecord(MailRecord record, MailTexts texts = {},
                                                       const SearchExtras& extras = {});
    // The values correspond to slots 1..67; those of slots 11, 29 and 30 are ignored. The slots
    // the list does not show go into the text file.
    std::shared_ptr<const ContactRecord> AppendContactRecord(const QString& name, NodeId node, int kind,
                                                             const ContactRecord::SlotValues& values,
                                                             int serial, const QStringList& addresses = {});
    // Appends `record`: an absent name takes the name of the record before it.
    std::shared_ptr<const AppointmentRecord> AppendAppointmentRecord(AppointmentRecord record,
                                                                     const AppointmentTexts& texts = {});
    // Append `record` with its text (body), which goes into the text file before the record is
    // linked. Throw CatalogWriteError when the text cannot be kept; nothing is appended then.
    std::shared_ptr<const TaskRecord> AppendTaskRecord(TaskRecord record, const QString& body = {});
    std::shared_ptr<const NoteRecord> AppendNoteRecord(NoteRecord record, const QString& body = {});
    std::shared_ptr<const JournalRecord> AppendJournalRecord(JournalRecord record, const QString& body = {});

    // Empties every catalog. Readers keep the records they already hold; the texts of those
    // records are gone with the text file, which starts anew.
    void ClearCatalogs();

    // Keeps the records' large texts in a file in `folder` (the run's private folder) from now on,
    // or in memory when `folder` is empty (the default). Empties the catalogs. Throws
    // CatalogWriteError when the file cannot be made.
    void setTextFolder(const QString& folder);
    // The texts of a mail record; nullopt for a record that was never appended. A record from
    // before the last clear still has its texts. Throws CatalogWriteError when the file cannot be
    // read or holds no such texts.
    std::optional<MailTexts> mailTexts(const MailRecord& record) const;
    // The mail with serial `serial` and its texts, or nullopt.
    std::optional<Mail> mail(int serial) const;
    // A contact record with every slot, those of the text file too. Throws CatalogWriteError
    // when the file cannot be read.
    ContactRecord fullContact(const ContactRecord& record) const;
    // The text of a task, note or journal record; empty when it has none. Throws
    // CatalogWriteError when the file cannot be read.
    QString bodyText(const TextRef& body) const;
    // The file the texts are kept in (for its path and size, and to let tests make it fail).
    std::shared_ptr<TextFile> textFile() const;

    // Keeps a search index of every item appended from now on (in the text folder), or none.
    // Empties the catalogs. Throws CatalogWriteError when its file cannot be made.
    void setSearchable(bool searchable);
    // The index of the items appended since the last clear; null when the catalogs keep none.
    std::shared_ptr<SearchIndex> searchIndex() const;

    // True when a folder record has `node` as its node or its parent node (so the store node
    // counts as soon as a top-level folder names it).
    bool IsCatalogFolderNode(NodeId node) const;

    const Catalog<FolderRecord>& folders() const { return m_folders; }
    const Catalog<MailRecord>& mails() const { return m_mails; }
    const Catalog<ContactRecord>& contacts() const { return m_contacts; }
    const Catalog<AppointmentRecord>& appointments() const { return m_appointments; }
    const Catalog<TaskRecord>& tasks() const { return m_tasks; }
    const Catalog<NoteRecord>& notes() const { return m_notes; }
    const Catalog<JournalRecord>& journal() const { return m_journal; }

    // Incremented by every ClearCatalogs, so a view can tell that its snapshot is stale.
    quint64 generation() const { return m_generation.load(); }

    void setOutOfMemoryHandler(OutOfMemoryHandler handler);
    // A cap on the records of each catalog; an append beyond it fails as out of memory.
    // Unlimited (-1) by default. Lets a memory budget be enforced and the failure path be tested.
    void setRecordLimit(qsizetype limit);

private:
    template <typename R, typename Make>
    std::shared_ptr<const R> appendWith(Catalog<R>& catalog, CatalogOutOfMemory::Catalog which, Make make);
    [[noreturn]] static void outOfMemory(const std::shared_ptr<const OutOfMemoryHandler>& handler,
                                         CatalogOutOfMemory::Catalog which, bool catalogWasEmpty);
    bool overLimit(qsizetype size) const;
    static QByteArray readTexts(const TextRef& ref);
    void addToSearch(SearchSource source);
    template <typename R>
    std::shared_ptr<const R> appendWithBody(Catalog<R>& catalog, CatalogOutOfMemory::Catalog which, R record,
                                            const QString& body, const QString& other);

    Catalog<FolderRecord> m_folders;
    Catalog<MailRecord> m_mails;
    Catalog<ContactRecord> m_contacts;
    Catalog<AppointmentRecord> m_appointments;
    Catalog<TaskRecord> m_tasks;
    Catalog<NoteRecord> m_notes;
    Catalog<JournalRecord> m_journal;

    mutable std::mutex m_folderNodesMutex;
    std::unordered_set<NodeId> m_folderNodes;

    // Appends come from one writer at a time; this keeps "the name of the record before" and
    // the link order consistent should two writers ever meet.
    std::mutex m_appendMutex;
    std::atomic<quint64> m_generation{0};
    std::atomic<qsizetype> m_recordLimit{-1};
    std::shared_ptr<const OutOfMemoryHandler> m_outOfMemoryHandler;

    mutable std::mutex m_textsMutex;
    QString m_textFolder;
    std::shared_ptr<TextFile> m_texts = TextFile::create(QString());
    std::shared_ptr<SearchIndex> m_search;
};

} // namespace catalog
