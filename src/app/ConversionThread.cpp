#include "ConversionThread.h"

#include "convert/ConversionJob.h"
#include "convert/ImapDestination.h"

#include <QDir>
#include <QStandardPaths>
#include <QThread>
#include <utility>

namespace app {

namespace {

ConversionOutcome toSessionOutcome(convert::ConversionJob::Outcome outcome)
{
    using Outcome = convert::ConversionJob::Outcome;
    switch (outcome) {
    case Outcome::Completed:
        return ConversionOutcome::Completed;
    case Outcome::Stopped:
        return ConversionOutcome::Stopped;
    case Outcome::NotOfflineStore:
        return ConversionOutcome::NotAnOfflineStore;
    case Outcome::CannotOpen:
        return ConversionOutcome::OpenFailed;
    case Outcome::DestinationUnusable:
        return ConversionOutcome::DestinationUnusable;
    }
    return ConversionOutcome::OpenFailed;
}

} // namespace

ConversionThread::ConversionThread(QObject* parent)
    : ConversionSession(parent),
      m_uploadReportDirectory(
          QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation)).filePath(QStringLiteral("reports")))
{
}

ConversionThread::~ConversionThread()
{
    if (m_thread) {
        m_job->stop();
        m_job->resume();
        m_thread->wait();
    }
}

void ConversionThread::start(const QString& storePath, ConversionRequest&& request,
                             const std::vector<std::uint32_t>& folders)
{
    // Taken over whether the run starts or not.
    const QByteArray password = std::exchange(request.password, QByteArray());
    if (m_thread)
        return;
    convert::ConversionOptions options;
    options.storePath = storePath;
    options.openOptions = m_openOptions;
    options.destination = request.destination();
    options.format = request.format;
    options.folderIdentifiers = folders;
    options.kinds = request.kinds;
    options.recovered = m_includeRecovered;
    if (request.server) {
        options.target = std::make_shared<convert::ImapDestination>(*request.server, password, request.caFile);
        options.reportDirectory = m_uploadReportDirectory;
    }
    m_job = std::make_unique<convert::ConversionJob>(options);
    m_done.store(0);
    m_total.store(0);
    m_job->setProgressCallback([this](int done, int total) {
        m_total.store(total);
        m_done.store(done);
    });
    convert::ConversionJob* job = m_job.get();
    m_thread = QThread::create([this, job] { m_outcome.store(static_cast<int>(job->run())); });
    m_thread->setObjectName(QStringLiteral("conversion"));
    connect(m_thread, &QThread::finished, this, &ConversionThread::threadEnded, Qt::QueuedConnection);
    m_thread->start();
}

bool ConversionThread::pause()
{
    if (!m_thread || m_thread->isFinished())
        return false;
    m_job->pause();
    return true;
}

void ConversionThread::resume()
{
    if (m_job)
        m_job->resume();
}

void ConversionThread::stop()
{
    if (!m_job)
        return;
    m_job->stop();
    m_job->resume();
}

int ConversionThread::progress() const
{
    const int total = m_total.load();
    if (total <= 0)
        return 0;
    return static_cast<int>(std::min<qint64>(100, qint64(m_done.load()) * 100 / total));
}

void ConversionThread::threadEnded()
{
    if (!m_thread)
        return;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    const auto outcome = static_cast<convert::ConversionJob::Outcome>(m_outcome.load());
    QString summary = m_job->report().summary();
    if (!m_job->reportPath().isEmpty())
        summary += QStringLiteral("\n\nReport: ") + m_job->reportPath();
    // A destination that failed for good stopped the job; the user did not.
    const QString failure = m_job->report().destinationFailure();
    const QString detail = failure.isEmpty() ? m_job->errorDetail() : failure;
    // With the job goes the destination, and the password it held.
    m_job.reset();
    Q_EMIT finished(failure.isEmpty() ? toSessionOutcome(outcome) : ConversionOutcome::DestinationFailed, summary,
                    detail);
}

} // namespace app
