#include "ScanThread.h"

#include "scan/AttachmentExport.h"
#include "scan/ScanJob.h"
#include "scan/ScanObserver.h"

#include <QFileInfo>
#include <QThread>

namespace app {

class ScanThread::Observer : public scan::ScanObserver
{
public:
    void scanStepped(scan::ScanStep step) override { m_step.store(static_cast<int>(step)); }
    void scanStarted(int messagesTotal) override
    {
        m_total.store(messagesTotal);
        m_done.store(0);
        m_step.store(static_cast<int>(scan::ScanStep::Walking));
    }
    void scanProgressed(const scan::ScanProgress& progress) override
    {
        m_total.store(progress.messagesTotal);
        m_done.store(progress.messagesDone);
    }
    int percent() const
    {
        const int total = m_total.load();
        if (total <= 0)
            return 0;
        return static_cast<int>(std::min<qint64>(100, qint64(m_done.load()) * 100 / total));
    }
    void reset()
    {
        m_total.store(0);
        m_done.store(0);
        m_step.store(static_cast<int>(scan::ScanStep::Opening));
    }
    ScanActivity activity() const
    {
        ScanActivity activity;
        switch (static_cast<scan::ScanStep>(m_step.load())) {
        case scan::ScanStep::Opening:
            activity.step = ScanActivity::Step::Opening;
            break;
        case scan::ScanStep::Counting:
            activity.step = ScanActivity::Step::Counting;
            break;
        case scan::ScanStep::Walking:
            activity.step = ScanActivity::Step::Walking;
            break;
        }
        activity.itemsTotal = m_total.load();
        activity.itemsDone = std::min(m_done.load(), activity.itemsTotal);
        return activity;
    }

private:
    std::atomic<int> m_step{static_cast<int>(scan::ScanStep::Opening)};
    std::atomic<int> m_total{0};
    std::atomic<int> m_done{0};
};

namespace {

ScanOutcome toSessionOutcome(scan::ScanOutcome outcome)
{
    switch (outcome) {
    case scan::ScanOutcome::Completed:
        return ScanOutcome::Completed;
    case scan::ScanOutcome::HeaderRejected:
        return ScanOutcome::NotAnOfflineStore;
    case scan::ScanOutcome::CannotOpen:
        return ScanOutcome::OpenFailed;
    case scan::ScanOutcome::WalkFailed:
        return ScanOutcome::WalkFailed;
    case scan::ScanOutcome::Aborted:
        return ScanOutcome::Abandoned;
    case scan::ScanOutcome::OutOfMemory:
        return ScanOutcome::OutOfMemory;
    case scan::ScanOutcome::TextsNotKept:
        return ScanOutcome::TextsNotKept;
    }
    return ScanOutcome::WalkFailed;
}

} // namespace

ScanThread::ScanThread(catalog::Catalogs& catalogs, views::FolderTreeModel& tree,
                       QString attachmentsDirectory, QObject* parent)
    : ScanSession(parent), m_catalogs(catalogs), m_tree(tree),
      m_attachmentsDirectory(std::move(attachmentsDirectory)), m_observer(std::make_unique<Observer>())
{
}

ScanThread::~ScanThread()
{
    stopAndWait();
}

void ScanThread::start(const QString& storePath, catalog::NodeId storeNode)
{
    if (m_thread)
        return;
    m_observer->reset();
    m_failureReason.clear();
    m_storePath = storePath;
    m_attachmentSource.reset();
    m_job = std::make_unique<scan::ScanJob>(m_catalogs, m_tree);
    m_job->setObserver(m_observer.get());
    scan::ScanSettings settings;
    settings.storePath = storePath;
    settings.openOptions = m_openOptions;
    settings.attachmentsDirectory = m_attachmentsDirectory;
    settings.saveAttachmentFiles = true;
    settings.storeNode = storeNode;
    settings.recovered = m_includeRecovered;
    // The recovered items' attachments are saved through the store that found them.
    settings.keepStore = m_includeRecovered;
    scan::ScanJob* job = m_job.get();
    m_thread =
        QThread::create([this, job, settings] { m_outcome.store(static_cast<int>(job->run(settings))); });
    m_thread->setObjectName(QStringLiteral("scan"));
    // Queued to the GUI thread: `finished` is emitted by the worker as it ends. The generation
    // keeps a late report of an abandoned thread from ending a later scan.
    const quint64 generation = ++m_generation;
    connect(
        m_thread, &QThread::finished, this,
        [this, generation] {
            if (generation == m_generation)
                threadEnded();
        },
        Qt::QueuedConnection);
    m_thread->start();
}

bool ScanThread::isRunning() const
{
    return m_thread != nullptr;
}

bool ScanThread::pause()
{
    if (!isRunning() || m_thread->isFinished())
        return false;
    m_job->pause();
    return true;
}

void ScanThread::resume()
{
    if (m_job)
        m_job->resume();
}

void ScanThread::abandon()
{
    if (!m_thread)
        return;
    // Waits for the walk to unwind, so that nothing of it reaches the catalogs or the tree
    // after they have been cleared; the abort reaches the store library too, so this is short.
    stopAndWait();
    ++m_generation;
    delete m_thread;
    m_thread = nullptr;
    m_job.reset();
}

void ScanThread::stopAndWait()
{
    if (!m_thread)
        return;
    m_job->abort();
    m_job->resume();
    m_thread->wait();
}

void ScanThread::threadEnded()
{
    if (!m_thread)
        return;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    const auto outcome = static_cast<scan::ScanOutcome>(m_outcome.load());
    if (outcome != scan::ScanOutcome::Completed)
        m_failureReason = m_job->errorMessage();
    m_attachmentSource = m_job->takeStore();
    m_job.reset();
    Q_EMIT finished(toSessionOutcome(outcome));
}

int ScanThread::progress() const
{
    return m_observer->percent();
}

ScanActivity ScanThread::activity() const
{
    return m_observer->activity();
}

void ScanThread::saveAttachmentFiles(const QList<catalog::MailAttachment>& attachments)
{
    for (const catalog::MailAttachment& attachment : attachments) {
        if (attachment.filePath.isEmpty() || QFileInfo::exists(attachment.filePath))
            continue;
        try {
            if (!m_attachmentSource)
                m_attachmentSource = store::openOfflineStore(m_storePath, m_openOptions);
        } catch (const store::StoreError&) {
            // The store went away or changed since the scan: the preview shows the names only.
            return;
        }
        if (!m_attachmentSource)
            return;
        QString error;
        scan::saveAttachmentFile(*m_attachmentSource, attachment, &error);
    }
}

} // namespace app
