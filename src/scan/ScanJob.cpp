#include "ScanJob.h"

#include "ExportCounters.h"
#include "ExportFileSystem.h"
#include "ExportHandle.h"
#include "ExportWalk.h"
#include "LogHandle.h"
#include "ScanObserver.h"
#include "catalog/Catalogs.h"
#include "catalog/ItemSerialCounter.h"
#include "store/Item.h"
#include "store/RecoveredItemsStore.h"
#include "store/RecoveredItemsStore.h"
#include "store/Store.h"
#include "views/FolderTreeModel.h"
#include "views/RunFolder.h"

#include <QDir>
#include <new>

namespace scan {

namespace {

constexpr int NoticeInterval = 50; // milliseconds
constexpr int NoticeItems = 200;
constexpr char ItemsExportMode = 'i';
constexpr char AllBodyFormats = 'a';

int countFolderMessages(const store::Item& folder, int depth, const std::atomic<bool>& abort)
{
    if (depth > MaximumFolderDepth || abort.load())
        return 0;
    int total = 0;
    try {
        total += std::max(0, folder.subMessageCount());
    } catch (const store::StoreError&) {
    }
    int folders = 0;
    try {
        folders = folder.subFolderCount();
    } catch (const store::StoreError&) {
    }
    for (int index = 0; index < folders && !abort.load(); ++index) {
        try {
            if (const std::unique_ptr<store::Item> subFolder = folder.subFolder(index))
                total += countFolderMessages(*subFolder, depth + 1, abort);
        } catch (const store::StoreError&) {
        }
    }
    return total;
}

// Releases the handles of one scan on every way out of it.
struct ScanHandles
{
    ExportHandle* exportHandle = nullptr;
    LogHandle* logHandle = nullptr;
    ~ScanHandles()
    {
        log_handle_close(logHandle, nullptr);
        log_handle_free(&logHandle, nullptr);
        export_handle_free(&exportHandle, nullptr);
    }
};

} // namespace

ScanJob::ScanJob(catalog::Catalogs& catalogs, views::FolderTreeModel& tree)
    : ScanJob(catalogs, tree, catalog::ItemSerialCounter::processCounter(), ExportCounters::processCounters())
{
}

ScanJob::ScanJob(catalog::Catalogs& catalogs, views::FolderTreeModel& tree,
                 catalog::ItemSerialCounter& serials, ExportCounters& counters)
    : m_catalogs(catalogs), m_tree(tree), m_serials(serials), m_counters(counters),
      m_opener([](const QString& path, const store::OpenOptions& options) {
          return store::openOfflineStore(path, options);
      })
{
}

ScanJob::~ScanJob() = default;

QString ScanJob::defaultAttachmentsDirectory()
{
    // Without a private folder there is no attachments directory (attachments are then not
    // listed) rather than a shared one.
    const QString folder = views::RunFolder::current().path();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/Attachments");
}

void ScanJob::pause()
{
    std::lock_guard lock(m_mutex);
    m_paused.store(true);
    if (m_handle)
        m_handle->pause();
}

void ScanJob::resume()
{
    std::lock_guard lock(m_mutex);
    m_paused.store(false);
    if (m_handle)
        m_handle->resume();
}

bool ScanJob::isWaiting()
{
    std::lock_guard lock(m_mutex);
    return m_handle && m_handle->isWaiting();
}

void ScanJob::abort()
{
    std::lock_guard lock(m_mutex);
    m_abort.store(true);
    if (m_handle)
        m_handle->requestAbort();
    // The library gives up a long read in progress, so the walk reaches its next boundary soon.
    if (m_store)
        m_store->signalAbort();
}

ScanOutcome ScanJob::run(const ScanSettings& settings)
{
    if (!catalog::isValid(settings.storeNode) && !catalog::isValid(m_storeNode))
        m_storeNode = m_tree.InsertFolderNode(catalog::NoNode, settings.storePath);
    if (m_abort.load())
        return ScanOutcome::Aborted;

    if (m_observer)
        m_observer->scanStepped(ScanStep::Opening);
    std::unique_ptr<store::Store> store;
    try {
        store = m_opener(settings.storePath, settings.openOptions);
        if (!store)
            throw store::StoreError("the store could not be opened");
    } catch (const store::OpenError& e) {
        m_errorMessage = e.message();
        m_openFailure = e.reason();
        return e.reason() == store::OpenError::Reason::NotOfflineStore ? ScanOutcome::HeaderRejected
                                                                       : ScanOutcome::CannotOpen;
    } catch (const store::StoreError& e) {
        m_errorMessage = e.message();
        return ScanOutcome::CannotOpen;
    } catch (const std::bad_alloc&) {
        m_errorMessage = QStringLiteral("not enough memory to open the store");
        return ScanOutcome::CannotOpen;
    }

    std::map<store::RecoveredState, int> recovered;
    if (settings.recovered) {
        {
            std::lock_guard lock(m_mutex);
            m_store = store.get();
        }
        try {
            auto withRecovered =
                std::make_unique<store::RecoveredItemsStore>(std::move(store), settings.recoveryProgress);
            recovered = withRecovered->countsByState();
            store = std::move(withRecovered);
        } catch (const store::StoreError& e) {
            std::lock_guard lock(m_mutex);
            m_store = nullptr;
            if (m_abort.load())
                return ScanOutcome::Aborted;
            m_errorMessage = QStringLiteral("the search for recoverable items failed: ") + e.message();
            return ScanOutcome::WalkFailed;
        }
    }

    ScanSettings withNode = settings;
    if (!catalog::isValid(withNode.storeNode))
        withNode.storeNode = m_storeNode;
    const ScanOutcome outcome = runOnStore(*store, withNode);
    if (settings.recovered)
        labelRecoveredFolder(recovered);
    m_report.setRecovered(std::move(recovered));
    {
        std::lock_guard lock(m_mutex);
        m_store = nullptr;
    }
    // Closing and releasing the store ends here, on every outcome but one that is asked to keep it.
    if (settings.keepStore && outcome == ScanOutcome::Completed)
        m_keptStore = std::move(store);
    store.reset();
    return outcome;
}

void ScanJob::labelRecoveredFolder(const std::map<store::RecoveredState, int>& counts)
{
    // The folder the recovery added is the store's last folder of that name.
    const QString name = QString::fromLatin1(store::RecoveredItemsStore::kFolderName);
    catalog::NodeId folder = catalog::NoNode;
    for (const catalog::NodeId node : m_tree.children(m_storeNode))
        if (const QString label = m_tree.label(node); label == name || label.startsWith(name + QLatin1Char('(')))
            folder = node;
    if (!catalog::isValid(folder))
        return;
    int total = 0;
    for (const auto& entry : counts)
        total += entry.second;
    // Like the other folders, with the number of its items; how many are in which state is what
    // hovering over it tells.
    m_tree.setLabel(folder, QStringLiteral("%1(%2)").arg(name).arg(total));
    m_tree.setToolTip(folder, ScanReport::recoveredCountsText(counts));
}

ScanOutcome ScanJob::runOnStore(store::Store& store, const ScanSettings& settings)
{
    m_storeNode = catalog::isValid(settings.storeNode) ? settings.storeNode : m_storeNode;
    if (!catalog::isValid(m_storeNode))
        m_storeNode = m_tree.InsertFolderNode(catalog::NoNode, settings.storePath);
    const QString attachmentsDirectory = settings.attachmentsDirectory.isEmpty()
                                             ? defaultAttachmentsDirectory()
                                             : settings.attachmentsDirectory;
    if (settings.clearAttachmentsDirectory && !attachmentsDirectory.isEmpty())
        removeDirectoryTree(attachmentsDirectory);

    ScanHandles handles;
    QString error;
    if (log_handle_initialize(&handles.logHandle, &error) != 1 ||
        log_handle_open(handles.logHandle, QString(), &error) != 1 ||
        export_handle_initialize(&handles.exportHandle, ItemsExportMode, &error) != 1) {
        m_errorMessage = error;
        return ScanOutcome::WalkFailed;
    }
    ExportHandle* handle = handles.exportHandle;
    handle->catalogs = &m_catalogs;
    handle->tree = &m_tree;
    handle->serials = &m_serials;
    handle->counters = &m_counters;
    handle->attachmentsDirectory = attachmentsDirectory;
    handle->saveAttachmentFiles = settings.saveAttachmentFiles;
    handle->readBodies = settings.readBodies;
    handle->readRecipients = settings.readRecipients;
    handle->readAttachments = settings.readAttachments;
    handle->storeNode = m_storeNode;
    handle->folders.front().node = m_storeNode;
    handle->folders.front().name = m_tree.label(m_storeNode);
    handle->boundaryHook = [this] {
        notify(false);
    };
    {
        std::lock_guard lock(m_mutex);
        m_handle = handle;
        m_store = &store;
        if (m_paused.load())
            handle->pause();
        if (m_abort.load()) {
            handle->requestAbort();
            store.signalAbort();
        }
    }

    m_mailsNotified = m_catalogs.mails().size();
    m_messagesTotal = 0;
    if (m_observer)
        m_observer->scanStepped(ScanStep::Counting);
    try {
        if (const std::unique_ptr<store::Item> root = store.rootFolder())
            m_messagesTotal = countFolderMessages(*root, 0, m_abort);
    } catch (const store::StoreError&) {
        // The walk meets the same root and reports what is wrong with it.
    }
    if (m_observer)
        m_observer->scanStarted(m_messagesTotal);
    m_sinceNotice.start();

    ScanOutcome outcome = ScanOutcome::Completed;
    try {
        const QString root = exportRoot();
        if (export_handle_export_file(handle, store, root, static_cast<int>(root.size()) + 1, AllBodyFormats,
                                      handles.logHandle, &error) != 1) {
            m_errorMessage = error;
            outcome = m_abort.load() || handle->aborted() ? ScanOutcome::Aborted : ScanOutcome::WalkFailed;
        }
    } catch (const catalog::CatalogOutOfMemory&) {
        outcome = ScanOutcome::OutOfMemory;
    } catch (const catalog::CatalogWriteError& e) {
        m_errorMessage = QStringLiteral("the item texts could not be kept in %1: %2").arg(e.path(), e.reason());
        outcome = ScanOutcome::TextsNotKept;
    } catch (const std::bad_alloc&) {
        outcome = ScanOutcome::OutOfMemory;
    } catch (const std::exception& e) {
        m_errorMessage = QString::fromUtf8(e.what());
        outcome = ScanOutcome::WalkFailed;
    } catch (...) {
        m_errorMessage = QStringLiteral("unexpected failure in the walk");
        outcome = ScanOutcome::WalkFailed;
    }
    if (outcome == ScanOutcome::Completed && m_abort.load())
        outcome = ScanOutcome::Aborted;

    m_report = handle->report;
    for (const QString& damage : store.damage())
        m_report.folder(m_storeNode)
            .failures.append(
                ItemProblem{0, store::ItemType::Unknown, QStringLiteral("the store's index"), damage});
    {
        std::lock_guard lock(m_mutex);
        m_handle = nullptr;
        m_store = nullptr;
    }
    if (outcome != ScanOutcome::Aborted)
        notify(true);
    return outcome;
}

void ScanJob::notify(bool final)
{
    if (!m_observer)
        return;
    ++m_itemsSinceNotice;
    if (!final && m_itemsSinceNotice < NoticeItems && m_sinceNotice.isValid() &&
        m_sinceNotice.elapsed() < NoticeInterval)
        return;
    m_itemsSinceNotice = 0;
    m_sinceNotice.restart();
    ScanProgress progress;
    {
        std::lock_guard lock(m_mutex);
        progress.messagesDone = m_handle ? m_handle->messagesDone : m_messagesTotal;
    }
    if (final)
        progress.messagesDone = std::max(progress.messagesDone, m_messagesTotal);
    progress.messagesTotal = std::max(m_messagesTotal, progress.messagesDone);
    progress.newMails = m_catalogs.mails().recordsFrom(m_mailsNotified);
    m_mailsNotified += progress.newMails.size();
    m_observer->scanProgressed(progress);
}

} // namespace scan
