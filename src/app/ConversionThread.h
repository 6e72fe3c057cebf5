#pragma once

#include "ConversionSession.h"
#include "store/Store.h"

#include <atomic>
#include <memory>

class QThread;

namespace convert {
class ConversionJob;
}

namespace app {

// Runs the engine's conversion job on a worker thread of its own, into a folder or onto an IMAP
// server, and reports its outcome and summary on the GUI thread when the thread has ended. The
// password of an upload lives only in the job's destination, which ends with the run. Created
// and driven on the GUI thread.
class ConversionThread : public ConversionSession
{
    Q_OBJECT

public:
    explicit ConversionThread(QObject* parent = nullptr);
    ~ConversionThread() override;

    // The reader and code page of every conversion from now on.
    void setOpenOptions(const store::OpenOptions& options) { m_openOptions = options; }
    // Where the report of an upload is written (an upload has no folder of its own); at first the
    // program's data folder.
    void setUploadReportDirectory(const QString& directory) { m_uploadReportDirectory = directory; }
    void start(const QString& storePath, ConversionRequest&& request,
               const std::vector<std::uint32_t>& folders) override;
    void setIncludeRecovered(bool include) override { m_includeRecovered = include; }
    bool isRunning() const override { return m_thread != nullptr; }
    bool pause() override;
    void resume() override;
    void stop() override;
    int progress() const override;

private:
    void threadEnded();

    store::OpenOptions m_openOptions;
    bool m_includeRecovered = false;
    QString m_uploadReportDirectory;
    std::unique_ptr<convert::ConversionJob> m_job;
    QThread* m_thread = nullptr;
    std::atomic<int> m_outcome{0};
    std::atomic<int> m_done{0};
    std::atomic<int> m_total{0};
};

} // namespace app
