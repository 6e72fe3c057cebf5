#include "EmlConversionJob.h"

#include "FileSystemNames.h"
#include "MailMapper.h"
#include "eml/MessageWriter.h"
#include "store/Store.h"
#include "store/StoreError.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <new>

namespace engine {

namespace {

constexpr std::size_t kMaxFolderDepth = 1000;
constexpr int kMaxNameLength = 100;
constexpr int kMaxSubjectLength = 80;

QString folderName(const store::Item& folder)
{
    if (const auto name = folder.utf8String(0x3001))
        return QString::fromUtf8(*name);
    return {};
}

QString normalisedPath(QString path)
{
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return parts.join(QLatin1Char('/'));
}

bool pathWithin(const QString& path, const QString& filter)
{
    return path.compare(filter, Qt::CaseInsensitive) == 0 ||
           path.startsWith(filter + QLatin1Char('/'), Qt::CaseInsensitive);
}

} // namespace

struct EmlConversionJob::FolderPlan
{
    QString path;           // in the store, "/"-separated
    QString directory;      // on disk
    std::vector<int> route; // sub-folder indices from the root, to find the folder again
    int items = 0;
    bool included = false;
};

EmlConversionJob::EmlConversionJob(ConversionOptions options) : m_options(std::move(options))
{
    m_options.folderFilter = normalisedPath(m_options.folderFilter);
}

EmlConversionJob::~EmlConversionJob() = default;

bool EmlConversionJob::isMailKind(int itemType)
{
    switch (static_cast<store::ItemType>(itemType)) {
    case store::ItemType::Email:
    case store::ItemType::EmailSmime:
    case store::ItemType::Meeting:
    case store::ItemType::PostingNote:
    case store::ItemType::Fax:
    case store::ItemType::Voicemail:
    case store::ItemType::Sms:
    case store::ItemType::Mms:
    case store::ItemType::Sharing:
    case store::ItemType::TaskRequest:
    case store::ItemType::ConflictMessage:
    case store::ItemType::RssFeed:
        return true;
    default:
        return false;
    }
}

void EmlConversionJob::pause()
{
    std::lock_guard lock(m_pauseMutex);
    m_paused = true;
}

void EmlConversionJob::resume()
{
    {
        std::lock_guard lock(m_pauseMutex);
        m_paused = false;
    }
    m_pauseChanged.notify_all();
}

void EmlConversionJob::stop()
{
    {
        std::lock_guard lock(m_pauseMutex);
        m_stopRequested = true;
        m_paused = false;
    }
    m_pauseChanged.notify_all();
    std::lock_guard lock(m_storeMutex);
    if (m_store)
        m_store->signalAbort();
}

bool EmlConversionJob::waitWhilePaused()
{
    std::unique_lock lock(m_pauseMutex);
    m_pauseChanged.wait(lock, [this] { return !m_paused || m_stopRequested; });
    return !m_stopRequested;
}

bool EmlConversionJob::included(const QString& path) const
{
    const QString& filter = m_options.folderFilter;
    if (filter.isEmpty())
        return true;
    if (pathWithin(path, filter))
        return true;
    // The top folder ("Top of Information Store") may be left out of the filter.
    const qsizetype slash = path.indexOf(QLatin1Char('/'));
    return slash > 0 && pathWithin(path.mid(slash + 1), filter);
}

void EmlConversionJob::plan(const store::Item& folder, const QString& path, const QString& directory,
                            std::vector<int>& route, std::vector<std::uint32_t>& ancestry)
{
    FolderPlan entry;
    entry.path = path;
    entry.directory = directory;
    entry.route = route;
    try {
        entry.items = folder.subMessageCount();
    } catch (const store::StoreError& error) {
        m_report.addStoreProblem(QStringLiteral("folder %1: its items cannot be listed: %2")
                                     .arg(path.isEmpty() ? QStringLiteral("/") : path, error.message()));
    }
    entry.included = included(path);
    if (entry.included)
        m_total += entry.items;
    m_plan.push_back(std::move(entry));

    int count = 0;
    try {
        count = folder.subFolderCount();
    } catch (const store::StoreError& error) {
        m_report.addStoreProblem(QStringLiteral("folder %1: its sub-folders cannot be listed: %2")
                                     .arg(path.isEmpty() ? QStringLiteral("/") : path, error.message()));
    }
    QStringList usedNames;
    for (int index = 0; index < count; ++index) {
        try {
            const std::unique_ptr<store::Item> sub = folder.subFolder(index);
            const std::uint32_t identifier = sub->identifier();
            QString name = folderName(*sub);
            const QString childPath = path.isEmpty() ? name : path + QLatin1Char('/') + name;
            if (route.size() >= kMaxFolderDepth ||
                std::find(ancestry.begin(), ancestry.end(), identifier) != ancestry.end()) {
                m_report.addStoreProblem(
                    QStringLiteral("folder %1: not entered (it contains itself or is nested too deeply)")
                        .arg(childPath));
                continue;
            }
            // Two sub-folders of one name (or names that clean to one) get directories of their own.
            QString directoryName =
                FileSystemNames::clean(name, kMaxNameLength, QStringLiteral("Folder %1").arg(index + 1));
            const QString baseName = directoryName;
            for (int number = 2; usedNames.contains(directoryName, Qt::CaseInsensitive); ++number)
                directoryName = baseName + QStringLiteral(" (%1)").arg(number);
            usedNames << directoryName;

            ancestry.push_back(identifier);
            route.push_back(index);
            plan(*sub, childPath, directory + QLatin1Char('/') + directoryName, route, ancestry);
            route.pop_back();
            ancestry.pop_back();
        } catch (const store::StoreError& error) {
            m_report.addStoreProblem(QStringLiteral("folder %1: sub-folder %2 cannot be read: %3")
                                         .arg(path.isEmpty() ? QStringLiteral("/") : path)
                                         .arg(index + 1)
                                         .arg(error.message()));
        }
    }
}

EmlConversionJob::Outcome EmlConversionJob::run()
{
    std::unique_ptr<store::Store> opened;
    try {
        opened = store::openOfflineStore(m_options.storePath);
    } catch (const store::OpenError& error) {
        m_errorDetail = error.message();
        return error.reason() == store::OpenError::Reason::NotOfflineStore ? Outcome::NotOfflineStore
                                                                           : Outcome::CannotOpen;
    }
    return run(*opened);
}

EmlConversionJob::Outcome EmlConversionJob::run(store::Store& opened)
{
    {
        std::lock_guard lock(m_storeMutex);
        m_store = &opened;
    }
    struct Release
    {
        EmlConversionJob& job;
        ~Release()
        {
            std::lock_guard lock(job.m_storeMutex);
            job.m_store = nullptr;
        }
    } release{*this};

    std::unique_ptr<store::Item> root;
    try {
        root = opened.rootFolder();
    } catch (const store::StoreError& error) {
        m_errorDetail = error.message();
        return Outcome::CannotOpen;
    }

    const QDir destination(m_options.destination);
    const QFileInfo destinationInfo(m_options.destination);
    if (destinationInfo.exists() && !destinationInfo.isDir()) {
        m_errorDetail = QStringLiteral("%1 is a file, not a folder").arg(m_options.destination);
        return Outcome::DestinationUnusable;
    }
    const QString storeName = FileSystemNames::clean(QFileInfo(m_options.storePath).fileName(),
                                                     kMaxNameLength, QStringLiteral("store"));
    m_outputRoot = destination.absoluteFilePath(storeName);
    if (!QDir().mkpath(m_outputRoot)) {
        m_errorDetail = QStringLiteral("cannot create the folder %1").arg(m_outputRoot);
        return Outcome::DestinationUnusable;
    }

    std::vector<std::uint32_t> ancestry;
    try {
        ancestry.push_back(root->identifier());
    } catch (const store::StoreError&) {
    }
    std::vector<int> route;
    plan(*root, QString(), m_outputRoot, route, ancestry);
    if (m_progress)
        m_progress(0, m_total);

    for (const FolderPlan& planned : m_plan) {
        if (m_stopRequested)
            break;
        if (!planned.included)
            continue;
        m_report.folder(planned.path);
        try {
            // Find the folder again by its route: holding every folder open at once would cost
            // memory on stores with thousands of folders.
            std::unique_ptr<store::Item> folder;
            const store::Item* current = root.get();
            for (const int index : planned.route) {
                folder = current->subFolder(index);
                current = folder.get();
            }
            convertFolder(*current, planned);
        } catch (const store::StoreError& error) {
            if (!m_stopRequested)
                m_report.addStoreProblem(
                    QStringLiteral("folder %1 cannot be read: %2").arg(planned.path, error.message()));
        }
    }

    m_report.setStopped(m_stopRequested);
    writeReport();
    return m_stopRequested ? Outcome::Stopped : Outcome::Completed;
}

void EmlConversionJob::convertFolder(const store::Item& folder, const FolderPlan& planned)
{
    for (int index = 0; index < planned.items; ++index) {
        if (!waitWhilePaused())
            return;
        try {
            const std::unique_ptr<store::Item> message = folder.subMessage(index);
            convertMessage(*message, planned, index);
        } catch (const store::StoreError& error) {
            if (m_stopRequested)
                return;
            ConversionReport::Folder& report = m_report.folder(planned.path);
            ++report.mailsSeen;
            ++report.failed;
            ++m_serial;
            report.failures.push_back(
                {QStringLiteral("item %1").arg(index + 1),
                 QStringLiteral("cannot be read: ") + error.message().section(QLatin1Char('\n'), 0, 0)});
        }
        ++m_done;
        if (m_progress)
            m_progress(m_done, m_total);
    }
}

void EmlConversionJob::convertMessage(const store::Item& message, const FolderPlan& planned, int index)
{
    ConversionReport::Folder& report = m_report.folder(planned.path);
    const store::ItemType kind = message.type();
    if (!isMailKind(static_cast<int>(kind))) {
        ++report.notConverted[QString::fromLatin1(store::itemTypeName(kind))];
        return;
    }
    ++report.mailsSeen;
    const int serial = ++m_serial;
    QString item = QStringLiteral("mail %1").arg(serial, 5, 10, QLatin1Char('0'));
    try {
        MailMapper mapper;
        const eml::Message mail = mapper.map(message);
        item += mail.subject.isEmpty() ? QStringLiteral(" (item %1, no subject)").arg(index + 1)
                                       : QStringLiteral(" \"%1\"").arg(mail.subject);
        if (m_options.since || m_options.until) {
            const bool inRange = mail.date.isValid() && (!m_options.since || mail.date >= *m_options.since) &&
                                 (!m_options.until || mail.date < *m_options.until);
            if (!inRange) {
                ++report.filteredOut;
                return;
            }
        }
        eml::MessageWriter::Error writeError = eml::MessageWriter::Error::None;
        const QByteArray bytes = eml::MessageWriter::toBytes(mail, &writeError);
        if (writeError != eml::MessageWriter::Error::None) {
            ++report.failed;
            report.failures.push_back({item, writeError == eml::MessageWriter::Error::NestingTooDeep
                                                 ? QStringLiteral("attached messages nested too deeply")
                                                 : QStringLiteral("the MIME message could not be built")});
            return;
        }
        if (!QDir().mkpath(planned.directory)) {
            ++report.failed;
            report.failures.push_back(
                {item, QStringLiteral("cannot create the folder ") + planned.directory});
            return;
        }
        const QString base =
            QStringLiteral("%1 %2")
                .arg(serial, 5, 10, QLatin1Char('0'))
                .arg(FileSystemNames::clean(mail.subject, kMaxSubjectLength, QStringLiteral("(no subject)")));
        const QString fileName =
            FileSystemNames::unusedFileName(planned.directory, base, QStringLiteral(".eml"));
        QSaveFile file(QDir(planned.directory).filePath(fileName));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
            ++report.failed;
            report.failures.push_back({item, QStringLiteral("cannot write ") + file.fileName() +
                                                 QStringLiteral(": ") + file.errorString()});
            return;
        }
        ++report.written;
        if (!mapper.problems().isEmpty())
            report.incomplete.push_back({item, mapper.problems().join(QStringLiteral("; "))});
    } catch (const std::bad_alloc&) {
        ++report.failed;
        report.failures.push_back({item, QStringLiteral("not enough memory")});
    } catch (const store::StoreError& error) {
        ++report.failed;
        report.failures.push_back({item, error.message().section(QLatin1Char('\n'), 0, 0)});
    }
}

void EmlConversionJob::writeReport()
{
    const QDir destination(m_options.destination);
    const auto save = [&](const QString& extension, const QByteArray& content) {
        const QString name = FileSystemNames::unusedFileName(destination.absolutePath(),
                                                             QStringLiteral("conversion-report"), extension);
        QSaveFile file(destination.absoluteFilePath(name));
        if (file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.commit())
            return file.fileName();
        return QString();
    };
    m_reportPath =
        save(QStringLiteral(".txt"), m_report.toText(m_options.storePath, destination.absolutePath()));
    save(QStringLiteral(".json"), m_report.toJson(m_options.storePath, destination.absolutePath()));
}

} // namespace engine
