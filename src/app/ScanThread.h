#pragma once

#include "ScanSession.h"
#include "store/Store.h"

#include <QString>
#include <atomic>
#include <memory>

class QThread;

namespace catalog {
class Catalogs;
}
namespace scan {
class ScanJob;
}
namespace views {
class FolderTreeModel;
}

namespace app {

// Runs the engine's scan job on a worker thread of its own. The job writes the catalogs and the
// folder tree model; this class keeps only the progress, and reports the outcome on the GUI
// thread when the thread has ended. Pause, resume and abandon act on the job's flags directly,
// so they take effect while the worker is busy. Created and driven on the GUI thread.
class ScanThread : public ScanSession
{
    Q_OBJECT

public:
    ScanThread(catalog::Catalogs& catalogs, views::FolderTreeModel& tree, QString attachmentsDirectory,
               QObject* parent = nullptr);
    ~ScanThread() override;

    // The reader and code page of every scan from now on.
    void setOpenOptions(const store::OpenOptions& options) { m_openOptions = options; }
    void start(const QString& storePath, catalog::NodeId storeNode) override;
    void setIncludeRecovered(bool include) override { m_includeRecovered = include; }
    bool isRunning() const override;
    bool pause() override;
    void resume() override;
    void abandon() override;
    int progress() const override;
    QString failureReason() const override { return m_failureReason; }
    ScanActivity activity() const override;
    void saveAttachmentFiles(const QList<catalog::MailAttachment>& attachments) override;

private:
    class Observer;

    void threadEnded();
    void stopAndWait();

    catalog::Catalogs& m_catalogs;
    views::FolderTreeModel& m_tree;
    QString m_attachmentsDirectory;
    store::OpenOptions m_openOptions;
    bool m_includeRecovered = false;
    std::unique_ptr<Observer> m_observer;
    std::unique_ptr<scan::ScanJob> m_job;
    QThread* m_thread = nullptr;
    std::atomic<int> m_outcome{0};
    quint64 m_generation = 0;
    QString m_failureReason;
    // The last scanned store, opened again when the preview first needs an attachment's content.
    QString m_storePath;
    std::unique_ptr<store::Store> m_attachmentSource;
};

} // namespace app
