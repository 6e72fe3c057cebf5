#pragma once

#include "ConversionReport.h"
#include "Destination.h"
#include "DuplicateIndex.h"
#include "store/Store.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTemporaryFile>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace convert {

// The kinds of items a conversion writes. Items of a kind that is not chosen are counted as not
// converted.
struct ItemKinds
{
    bool mail = true;      // one .eml file each
    bool contacts = false; // contacts and distribution lists: one .vcf file per folder
    bool calendar = false; // appointments: one .ics file per folder
    bool tasks = false;    // tasks: one .ics file per folder
    bool notes = false;    // notes: one .txt file each
    bool journal = false;  // journal entries: one .ics file per folder
};

struct ConversionOptions
{
    QString storePath;
    // The reader and code page the store is opened with.
    store::OpenOptions openOptions;
    QString destination;
    // What the mails become below the destination.
    DestinationFormat format = DestinationFormat::EmlFiles;
    // Where the mails go when that is not a folder (an IMAP server), made by the caller; then
    // destination only names it in the report, and only mail is converted.
    std::shared_ptr<Destination> target;
    // Where the report is written; empty: the destination folder.
    QString reportDirectory;
    // Only the folders with these paths ("/"-separated, case-insensitive; the top folder's name may
    // be left out) and the folders below them; empty: every folder.
    QStringList folderFilters;
    // Only the folders with these store identifiers, each without its sub-folders (the folders
    // checked in the desktop program); empty: no such restriction.
    std::vector<std::uint32_t> folderIdentifiers;
    ItemKinds kinds;
    // 4 or 3: the vCard version of contacts.
    int vcardVersion = 4;
    // Only items whose date is within [since, until) (mails by their date, appointments by their
    // start, tasks by their start or due date, journal entries by their start, contacts and notes
    // by their last change); items without a date are left out when either is set.
    std::optional<QDateTime> since;
    std::optional<QDateTime> until;
    // Workers, each reading through a store handle of its own; 0: as many as the machine has
    // cores, at most 4.
    int threads = 0;
    // Also converts what the reader's recovery pass finds, into DEST/<store>/Recovered Items/
    // <folder path>/, the pass's progress going to recoveryProgress.
    bool recovered = false;
    store::RecoveryProgress recoveryProgress;
    // The store's own folder below the destination; empty: the store's file name. Several stores
    // of one run that share a file name get names of their own.
    QString storeFolderName;
    // Shared by the stores of one run that leave out the copies of mails an earlier store held
    // (--dedup); none: every mail is written.
    std::shared_ptr<DuplicateIndex> duplicates;
};

// Converts every mail of an offline store into one .eml file each, under
// DEST/<store file name>/<folder path>/<serial> <subject>.eml (or, as options.format asks, into one
// mbox file or one Maildir per folder, see Destination), and, as options.kinds asks, the
// contacts of each folder into DEST/<store file name>/<folder path>/<folder name>.vcf, its
// appointments, tasks and journal entries into one <folder name>.ics, and each note into
// <serial> <subject>.txt. It writes the conversion report
// (conversion-report.txt and .json) into DEST. Nothing that exists is overwritten: a name that is
// taken gets a number. Mails that cannot be read or written are reported and the conversion goes
// on. The same store converted twice gives the same bytes. A conversion into a destination that
// holds what an earlier one wrote leaves that as it is and counts it as already there.
//
// run() is synchronous: it opens the store on the calling thread and converts with worker
// threads of its own, each with its own store handle, and returns when they are done. The progress
// callback is called from these threads, one call at a time. pause(), resume() and stop() may be
// called from any other thread; the conversion waits or stops at the next item.
class ConversionJob
{
public:
    enum class Outcome
    {
        Completed,           // every folder was walked (some mails may have failed: see report())
        Stopped,             // stop() ended it early; the report says how far it came
        NotOfflineStore,     // the store-header rule refused the file
        CannotOpen,          // the file could not be opened as a store
        DestinationUnusable, // the destination cannot be created or written
    };

    // done and total count the items of the folders being converted.
    using ProgressCallback = std::function<void(int done, int total)>;

    explicit ConversionJob(ConversionOptions options);
    ~ConversionJob();
    ConversionJob(const ConversionJob&) = delete;
    ConversionJob& operator=(const ConversionJob&) = delete;

    void setProgressCallback(ProgressCallback callback) { m_progress = std::move(callback); }

    // Opens options.storePath (applying the offline-store rule) and converts it.
    Outcome run();
    // Converts a store that is already open, with one worker; options.storePath only names the
    // output folder.
    Outcome run(store::Store& store);

    void pause();
    void resume();
    void stop();

    const ConversionReport& report() const { return m_report; }
    // What went wrong for the outcomes other than Completed and Stopped.
    const QString& errorDetail() const { return m_errorDetail; }
    // Where the text report was written (empty when it could not be written).
    const QString& reportPath() const { return m_reportPath; }
    // The store's own folder below the destination.
    const QString& outputRoot() const { return m_outputRoot; }

    // Item kinds (store::ItemType values) that are mail and converted.
    static bool isMailKind(int itemType);

private:
    struct FolderPlan;
    struct WorkUnit
    {
        std::size_t folder; // index into m_plan
        int first;
        int count;
    };
    struct ItemResult
    {
        enum class Kind
        {
            NotMail,
            FilteredOut,
            Written,
            Failed,
            Collected, // kept for the folder's file, counted when that is written
            Stopped,   // read while the job was being stopped: left out, as the items after it
            AlreadyThere,
            Ready, // a mail made and waiting to be handed to the destination
            Copy,  // a copy of a mail of an earlier store, left out; detail names that mail
        };
        Kind kind = Kind::Failed;
        int serial = 0;
        QString item;
        QString detail;        // the item kind (NotMail), what is missing (Written) or the reason (Failed)
        QString itemKind = {}; // empty for mail; "contact", "appointment", ... otherwise
        int items = 1;         // how many items of the folder the result stands for
        std::shared_ptr<DestinationMail> mail = {}; // Ready

        static ItemResult failure(int serial, const QString& item, const QString& reason)
        {
            return {Kind::Failed, serial, item, reason};
        }
    };

    static constexpr int kItemsPerUnit = 16;

    enum class PlanState
    {
        Pending,
        Ready,
        Abandoned,
    };

    Outcome convert(store::Store& primary, int extraWorkers);
    void registerStore(store::Store* opened, bool add);
    // The special use that a folder inherits from the one above it.
    struct Special
    {
        std::optional<store::SpecialFolder> use;
        QString path;
    };
    void plan(const store::Item& folder, const QString& path, const QString& directory,
              std::vector<int>& route, std::vector<std::uint32_t>& ancestry, const Special& above);
    void work(const store::Store& store);
    // opened: the store the message comes from.
    ItemResult convertMessage(const store::Store& opened, const store::Item& message,
                              const FolderPlan& planned, int serial, int index);
    ItemResult convertOther(const store::Store& opened, const store::Item& message, store::ItemType type,
                            const FolderPlan& planned, int serial, int index);
    bool inDateRange(const QDateTime& date) const;
    void writeCollected();
    // Hands a result to the destination (in store order where the destination wants it) and
    // records it.
    void deliver(const FolderPlan& planned, int index, ItemResult result);
    void hand(const FolderPlan& planned, ItemResult& result);
    // The store as the notes of copies name it: its path, as given.
    QString storeLabel() const;
    // Records the mails of a folder that its destination has settled; all: every one.
    void settle(const FolderPlan& planned, DestinationFolder& folder, bool all);
    void settled(ItemResult& result, DestinationFolder::Result written, const QString& failure);
    // Records the destination's failure and stops when the destination cannot take more.
    void endIfDestinationFailed();
    DestinationFolder* target(const FolderPlan& planned, QString* failure);
    void record(const FolderPlan& planned, const ItemResult& result);
    void reportProgress(int step);
    bool makeDirectory(const FolderPlan& planned);
    bool waitWhilePaused(); // false when stopped
    bool included(const QString& path, std::optional<std::uint32_t> identifier) const;
    void writeReport();

    ConversionOptions m_options;
    std::shared_ptr<Destination> m_destination;
    ProgressCallback m_progress;
    ConversionReport m_report;
    QString m_errorDetail;
    QString m_reportPath;
    QString m_outputRoot;
    std::vector<FolderPlan> m_plan;
    std::map<std::uint32_t, store::SpecialFolder> m_specialFolders; // by folder identifier
    std::vector<WorkUnit> m_units;
    std::atomic<std::size_t> m_nextUnit{0};
    int m_total = 0;

    std::mutex m_reportMutex;
    std::mutex m_pendingMutex;
    std::mutex m_progressMutex;
    int m_done = 0; // under m_progressMutex

    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_paused{false};
    std::mutex m_pauseMutex;
    std::condition_variable m_pauseChanged;
    std::mutex m_planMutex;
    std::condition_variable m_planReady;
    PlanState m_planState = PlanState::Pending; // under m_planMutex
    std::mutex m_directoryMutex;
    std::mutex m_collectMutex;
    // Holds the texts of the items that go into one file per folder until the end; under
    // m_collectMutex.
    std::unique_ptr<QTemporaryFile> m_scratch;
    QString m_scratchFailure;
    std::mutex m_storeMutex;
    std::vector<store::Store*> m_stores; // for stop() from another thread, under m_storeMutex
};

} // namespace convert
