#pragma once

#include "ConversionSession.h"
#include "store/Store.h"

#include <atomic>
#include <memory>

class QThread;

namespace engine {
class EmlConversionJob;
}

namespace app {

// Runs the engine's EML conversion job on a worker thread of its own and reports its outcome
// and summary on the GUI thread when the thread has ended. Created and driven on the GUI thread.
class ConversionThread : public ConversionSession
{
    Q_OBJECT

public:
    explicit ConversionThread(QObject* parent = nullptr);
    ~ConversionThread() override;

    // The reader and code page of every conversion from now on.
    void setOpenOptions(const store::OpenOptions& options) { m_openOptions = options; }
    void start(const QString& storePath, const QString& destination,
               const std::vector<std::uint32_t>& folders, const engine::ItemKinds& kinds) override;
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
    std::unique_ptr<engine::EmlConversionJob> m_job;
    QThread* m_thread = nullptr;
    std::atomic<int> m_outcome{0};
    std::atomic<int> m_done{0};
    std::atomic<int> m_total{0};
};

} // namespace app
