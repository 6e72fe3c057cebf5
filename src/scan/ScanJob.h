#pragma once

#include "ScanReport.h"
#include "catalog/NodeId.h"
#include "store/Store.h"
#include "store/StoreError.h"

#include <QElapsedTimer>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace catalog {
class Catalogs;
class ItemSerialCounter;
} // namespace catalog

namespace store {
class Store;
} // namespace store

namespace views {
class FolderTreeModel;
} // namespace views

namespace scan {

class ExportCounters;
class ScanObserver;
struct ExportHandle;

enum class ScanOutcome
{
    Completed,
    HeaderRejected, // a store, but not an offline store
    CannotOpen,     // the file cannot be opened as a store
    WalkFailed,     // the store's items cannot be enumerated
    Aborted,        // abort() ended the scan
    OutOfMemory,    // a catalog could not take another record
    TextsNotKept,   // the catalogs' text file could not take an item's texts (a full disk)
};

struct ScanSettings
{
    QString storePath;
    // The reader and code page the store is opened with.
    store::OpenOptions openOptions;
    // Where attachment paths are composed and embedded items get directories.
    QString attachmentsDirectory;
    // Removes the attachments directory before the walk, so that directories of an earlier scan
    // do not hide this scan's embedded items.
    bool clearAttachmentsDirectory = true;
    // Saves the content of every data attachment into the attachments directory, each in a
    // folder of its own under its own name (the preview opens and shows them).
    bool saveAttachmentFiles = false;
    // What the mail records are made of: a scan for a search that looks at neither bodies nor
    // recipients nor attachments leaves them unread (and out of the records).
    bool readBodies = true;
    bool readRecipients = true;
    bool readAttachments = true;
    // Adds the folder "Recovered Items" of what the reader's recovery pass finds (read once,
    // before the walk; the progress goes to recoveryProgress) after the root folder's own.
    bool recovered = false;
    store::RecoveryProgress recoveryProgress;
    // Keeps the store open after a completed walk, for takeStore(): the recovered items can only
    // be read again through the store that found them.
    bool keepStore = false;
    // The node that stands for the store; when none, the job inserts one labelled with the path.
    catalog::NodeId storeNode = catalog::NoNode;
};

// One scan of a store: opens it (applying the offline-store rule), runs the export walk that fills
// the catalogs and the folder tree model, closes the store and returns the outcome; the caller
// chooses the messages. Synchronous and GUI-free: run() works on the calling thread (the CLI's,
// or a worker the GUI starts). pause(), resume() and abort() may be called from any thread; a
// paused walk waits at the next item boundary. One job runs one scan.
class ScanJob
{
public:
    using StoreOpener =
        std::function<std::unique_ptr<store::Store>(const QString& path, const store::OpenOptions& options)>;

    ScanJob(catalog::Catalogs& catalogs, views::FolderTreeModel& tree);
    ScanJob(catalog::Catalogs& catalogs, views::FolderTreeModel& tree, catalog::ItemSerialCounter& serials,
            ExportCounters& counters);
    ~ScanJob();
    ScanJob(const ScanJob&) = delete;
    ScanJob& operator=(const ScanJob&) = delete;

    // "Attachments" in the program run's private folder (views::RunFolder), so that it is never
    // shared with another run or another user.
    static QString defaultAttachmentsDirectory();

    void setObserver(ScanObserver* observer) { m_observer = observer; }
    // How run() opens the store; store::openOfflineStore by default.
    void setStoreOpener(StoreOpener opener) { m_opener = std::move(opener); }

    ScanOutcome run(const ScanSettings& settings);
    // The walk over a store that is already open; the store stays open.
    ScanOutcome runOnStore(store::Store& store, const ScanSettings& settings);
    // The store a completed run kept open (ScanSettings::keepStore); none otherwise.
    std::unique_ptr<store::Store> takeStore() { return std::move(m_keptStore); }
    // Gives the folder of the recovered items their number, and their states as its tooltip.
    void labelRecoveredFolder(const std::map<store::RecoveredState, int>& counts);

    void pause();
    void resume();
    void abort();
    bool isPaused() const { return m_paused.load(); }
    // True while a paused walk is parked at an item boundary: from then on it touches nothing
    // until resume() or abort().
    bool isWaiting();
    bool isAbortRequested() const { return m_abort.load(); }

    const ScanReport& report() const { return m_report; }
    // The store library's message when the outcome is CannotOpen, HeaderRejected or WalkFailed.
    QString errorMessage() const { return m_errorMessage; }
    store::OpenError::Reason openFailure() const { return m_openFailure; }
    catalog::NodeId storeNode() const { return m_storeNode; }
    int messagesTotal() const { return m_messagesTotal; }

private:
    std::unique_ptr<store::Store> m_keptStore;
    int countMessages(const store::Store& store);
    void notify(bool final);

    catalog::Catalogs& m_catalogs;
    views::FolderTreeModel& m_tree;
    catalog::ItemSerialCounter& m_serials;
    ExportCounters& m_counters;
    ScanObserver* m_observer = nullptr;
    StoreOpener m_opener;

    std::mutex m_mutex; // guards m_handle and m_store against pause() / abort() from other threads
    ExportHandle* m_handle = nullptr;
    store::Store* m_store = nullptr;
    std::atomic<bool> m_paused{false};
    std::atomic<bool> m_abort{false};

    ScanReport m_report;
    QString m_errorMessage;
    store::OpenError::Reason m_openFailure = store::OpenError::Reason::Unreadable;
    catalog::NodeId m_storeNode = catalog::NoNode;
    int m_messagesTotal = 0;
    qsizetype m_mailsNotified = 0;
    int m_itemsSinceNotice = 0;
    QElapsedTimer m_sinceNotice;
};

} // namespace scan
