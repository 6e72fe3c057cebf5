#include "ConversionJob.h"

#include "FileSystemNames.h"
#include "ICalendarWriter.h"
#include "ItemFields.h"
#include "MailMapper.h"
#include "store/MapiTags.h"
#include "NewFile.h"
#include "VCardWriter.h"
#include "eml/MessageWriter.h"
#include "store/RecoveredItemsStore.h"
#include "store/Store.h"
#include "store/StoreError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QThread>
#include <algorithm>
#include <functional>
#include <map>
#include <new>
#include <thread>

namespace convert {

namespace mapi = store::mapi;

namespace {

constexpr std::size_t kMaxFolderDepth = 1000;
constexpr int kMaxNameLength = 100;
constexpr int kMaxSubjectLength = 80;

QString folderName(const store::Item& folder)
{
    if (const auto name = folder.utf8String(mapi::PrDisplayName))
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

QString firstLine(const QString& text)
{
    return text.section(QLatin1Char('\n'), 0, 0);
}

// How many mails may wait for one before them when the destination takes them in store order.
constexpr std::size_t kMaxWaiting = 256;

} // namespace

struct ConversionJob::FolderPlan
{
    int firstSerial = 0;    // the serial number of the folder's first item
    QString path;           // in the store, "/"-separated
    QString directory;      // on disk
    std::vector<int> route; // sub-folder indices from the root, to find the folder again
    Special special;        // its own special use, or the one of the folder above it
    int items = 0;
    bool included = false;
    mutable bool directoryMade = false; // under m_directoryMutex
    // Where the folder's mails go, opened with its first mail; under m_directoryMutex.
    mutable std::unique_ptr<DestinationFolder> target;
    mutable bool targetTried = false;
    mutable QString targetFailure;
    // Mails the target took without yet saying what became of them, by serial; under
    // m_pendingMutex.
    mutable std::map<int, ItemResult> pending;

    // The results that wait for one before them, for a destination that takes mails in store
    // order.
    struct Sequence
    {
        std::mutex mutex;
        std::condition_variable room;
        int next = 0;
        std::map<int, ItemResult> waiting; // by item index
    };
    std::unique_ptr<Sequence> sequence = std::make_unique<Sequence>();

    // An item kept for the folder's .vcf or .ics file: its text waits in the scratch file, so that
    // memory does not grow with the folder.
    struct Collected
    {
        bool card = false; // .vcf, else .ics
        qint64 offset = 0; // in m_scratch
        qint64 size = 0;
        std::optional<TimeZoneDefinition> zone;
        int serial = 0;
        QString item;
        QString kind;
    };
    mutable std::map<int, Collected> collected; // by item index, under m_collectMutex
};

ConversionJob::ConversionJob(ConversionOptions options)
    : m_options(std::move(options)),
      m_destination(m_options.target ? m_options.target : Destination::create(m_options.format))
{
    if (!m_destination->writesFiles()) {
        m_options.kinds = ItemKinds{};
        m_report.setWrittenAs(QStringLiteral("Uploaded"));
    } else if (m_options.format != DestinationFormat::EmlFiles) {
        m_report.setWrittenAs(m_options.format == DestinationFormat::Mbox
                                  ? QStringLiteral("Written into mbox files")
                                  : QStringLiteral("Written into Maildirs"));
    }
    for (QString& filter : m_options.folderFilters)
        filter = normalisedPath(filter);
    m_options.folderFilters.removeAll(QString());
    std::sort(m_options.folderIdentifiers.begin(), m_options.folderIdentifiers.end());
}

ConversionJob::~ConversionJob() = default;

bool ConversionJob::isMailKind(int itemType)
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

void ConversionJob::pause()
{
    std::lock_guard lock(m_pauseMutex);
    m_paused = true;
}

void ConversionJob::resume()
{
    {
        std::lock_guard lock(m_pauseMutex);
        m_paused = false;
    }
    m_pauseChanged.notify_all();
}

void ConversionJob::stop()
{
    {
        std::lock_guard lock(m_pauseMutex);
        m_stopRequested = true;
        m_paused = false;
    }
    m_pauseChanged.notify_all();
    std::lock_guard lock(m_storeMutex);
    for (store::Store* opened : m_stores)
        opened->signalAbort();
}

bool ConversionJob::waitWhilePaused()
{
    std::unique_lock lock(m_pauseMutex);
    m_pauseChanged.wait(lock, [this] { return !m_paused || m_stopRequested; });
    return !m_stopRequested;
}

bool ConversionJob::included(const QString& path, std::optional<std::uint32_t> identifier) const
{
    const std::vector<std::uint32_t>& chosen = m_options.folderIdentifiers;
    if (!chosen.empty() && (!identifier || !std::binary_search(chosen.begin(), chosen.end(), *identifier)))
        return false;
    if (m_options.folderFilters.isEmpty())
        return true;
    // The top folder ("Top of Information Store") may be left out of a filter.
    const qsizetype slash = path.indexOf(QLatin1Char('/'));
    return std::any_of(
        m_options.folderFilters.begin(), m_options.folderFilters.end(), [&](const QString& filter) {
            return pathWithin(path, filter) || (slash > 0 && pathWithin(path.mid(slash + 1), filter));
        });
}

void ConversionJob::plan(const store::Item& folder, const QString& path, const QString& directory,
                            std::vector<int>& route, std::vector<std::uint32_t>& ancestry,
                            const Special& above)
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
    std::optional<std::uint32_t> folderIdentifier;
    try {
        folderIdentifier = folder.identifier();
    } catch (const store::StoreError&) {
    }
    entry.included = included(path, folderIdentifier);
    if (entry.included)
        m_total += entry.items;
    entry.special = above;
    // Special folders are below the top folder, never the top or the root itself.
    if (folderIdentifier && path.contains(QLatin1Char('/'))) {
        if (const auto found = m_specialFolders.find(*folderIdentifier); found != m_specialFolders.end())
            entry.special = {found->second, path};
    }
    const Special special = entry.special;
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
            for (int number = 2; usedNames.contains(directoryName, Qt::CaseInsensitive) ||
                                 m_destination->reservesName(directoryName);
                 ++number)
                directoryName = baseName + QStringLiteral(" (%1)").arg(number);
            usedNames << directoryName;

            ancestry.push_back(identifier);
            route.push_back(index);
            plan(*sub, childPath, directory + QLatin1Char('/') + directoryName, route, ancestry, special);
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

ConversionJob::Outcome ConversionJob::run()
{
    std::unique_ptr<store::Store> primary;
    try {
        primary = store::openOfflineStore(m_options.storePath, m_options.openOptions);
    } catch (const store::OpenError& error) {
        m_errorDetail = error.message();
        return error.reason() == store::OpenError::Reason::NotOfflineStore ? Outcome::NotOfflineStore
                                                                           : Outcome::CannotOpen;
    }
    const int workers =
        std::max(1, m_options.threads > 0 ? m_options.threads : std::min(4, QThread::idealThreadCount()));
    if (m_options.recovered) {
        std::unique_ptr<store::RecoveredItemsStore> withRecovered;
        try {
            withRecovered =
                std::make_unique<store::RecoveredItemsStore>(std::move(primary), m_options.recoveryProgress);
        } catch (const store::StoreError& error) {
            m_errorDetail = QStringLiteral("the search for recoverable items failed: ") + error.message();
            return Outcome::CannotOpen;
        }
        for (const auto& [state, count] : withRecovered->countsByState())
            m_report.addRecovered(QString::fromLatin1(store::recoveredStateName(state)), count);
        // Workers with store handles of their own would not see the recovered items.
        return convert(*withRecovered, withRecovered->allowsConcurrentReads() ? workers - 1 : 0);
    }
    return convert(*primary, workers - 1);
}

ConversionJob::Outcome ConversionJob::run(store::Store& opened)
{
    return convert(opened, 0);
}

void ConversionJob::registerStore(store::Store* opened, bool add)
{
    std::lock_guard lock(m_storeMutex);
    if (add) {
        m_stores.push_back(opened);
        if (m_stopRequested)
            opened->signalAbort();
    } else {
        m_stores.erase(std::remove(m_stores.begin(), m_stores.end(), opened), m_stores.end());
    }
}

ConversionJob::Outcome ConversionJob::convert(store::Store& primary, int extraWorkers)
{
    registerStore(&primary, true);
    // A store that may be read by many threads at once is shared by every worker. Otherwise
    // (libpff) extra workers read through store handles of their own, each opened on its worker's
    // thread; opening a large store takes a while, so they open while this thread plans, and then
    // take their share of the work.
    const bool shared = primary.allowsConcurrentReads();
    std::vector<std::thread> threads;
    struct Join
    {
        ConversionJob& job;
        std::vector<std::thread>& threads;
        store::Store& primary;
        ~Join()
        {
            {
                std::lock_guard lock(job.m_planMutex);
                if (job.m_planState == PlanState::Pending)
                    job.m_planState = PlanState::Abandoned;
            }
            job.m_planReady.notify_all();
            for (std::thread& thread : threads)
                thread.join();
            job.registerStore(&primary, false);
        }
    } join{*this, threads, primary};
    for (int worker = 0; worker < extraWorkers; ++worker) {
        threads.emplace_back([this, shared, &primary] {
            std::unique_ptr<store::Store> own;
            if (!shared) {
                try {
                    own = store::openOfflineStore(m_options.storePath, m_options.openOptions);
                } catch (const store::StoreError&) {
                    return; // the other workers share the work out among themselves
                }
                registerStore(own.get(), true);
            }
            bool ready = false;
            {
                std::unique_lock lock(m_planMutex);
                m_planReady.wait(lock, [this] { return m_planState != PlanState::Pending; });
                ready = m_planState == PlanState::Ready;
            }
            if (ready)
                work(own ? *own : primary);
            if (own)
                registerStore(own.get(), false);
        });
    }

    for (const QString& damage : primary.damage())
        m_report.addStoreProblem(QStringLiteral("the store's index: ") + damage);
    std::unique_ptr<store::Item> root;
    try {
        root = primary.rootFolder();
    } catch (const store::StoreError& error) {
        m_errorDetail = error.message();
        return Outcome::CannotOpen;
    }

    const QString storeName = FileSystemNames::clean(
        m_options.storeFolderName.isEmpty() ? QFileInfo(m_options.storePath).fileName() : m_options.storeFolderName,
        kMaxNameLength, QStringLiteral("store"));
    if (m_destination->writesFiles()) {
        const QDir destination(m_options.destination);
        const QFileInfo destinationInfo(m_options.destination);
        if (destinationInfo.exists() && !destinationInfo.isDir()) {
            m_errorDetail = QStringLiteral("%1 is a file, not a folder").arg(m_options.destination);
            return Outcome::DestinationUnusable;
        }
        m_outputRoot = destination.absoluteFilePath(storeName);
        if (!QDir().mkpath(m_outputRoot)) {
            m_errorDetail = QStringLiteral("cannot create the folder %1").arg(m_outputRoot);
            return Outcome::DestinationUnusable;
        }
    } else {
        m_outputRoot = m_options.destination;
    }
    if (!m_destination->open(&m_errorDetail))
        return Outcome::DestinationUnusable;

    std::vector<std::uint32_t> ancestry;
    try {
        ancestry.push_back(root->identifier());
    } catch (const store::StoreError&) {
    }
    std::vector<int> route;
    m_specialFolders = store::specialFolders(primary);
    plan(*root, QString(), m_outputRoot, route, ancestry, {});
    root.reset();

    // The work, in store order, in runs of a few items of one folder; serial numbers are the
    // items' positions in the whole store, so that names do not depend on who converts what.
    int serial = 0;
    for (std::size_t index = 0; index < m_plan.size(); ++index) {
        FolderPlan& planned = m_plan[index];
        planned.firstSerial = serial + 1;
        serial += planned.items;
        if (!planned.included)
            continue;
        m_report.folder(planned.path);
        for (int first = 0; first < planned.items; first += kItemsPerUnit)
            m_units.push_back({index, first, std::min(kItemsPerUnit, planned.items - first)});
    }
    reportProgress(0);

    {
        std::lock_guard lock(m_planMutex);
        m_planState = PlanState::Ready;
    }
    m_planReady.notify_all();
    work(primary);
    for (std::thread& thread : threads)
        thread.join();
    threads.clear();
    // What the destinations still hold goes out now, and what became of it is recorded.
    for (const FolderPlan& planned : m_plan) {
        if (planned.target)
            settle(planned, *planned.target, true);
        std::lock_guard lock(m_pendingMutex);
        for (auto& entry : planned.pending) {
            ItemResult& result = entry.second;
            result.kind = ItemResult::Kind::Failed;
            result.detail = QStringLiteral("the destination did not say whether it took it");
            record(planned, result);
        }
        planned.pending.clear();
    }

    writeCollected();
    m_report.sortNotes();
    m_report.setStopped(m_stopRequested);
    writeReport();
    return m_stopRequested ? Outcome::Stopped : Outcome::Completed;
}

bool ConversionJob::makeDirectory(const FolderPlan& planned)
{
    std::lock_guard lock(m_directoryMutex);
    if (!planned.directoryMade) {
        planned.directoryMade = QDir().mkpath(planned.directory);
        if (planned.directoryMade)
            NewFile::removeLeftovers(planned.directory);
    }
    return planned.directoryMade;
}

DestinationFolder* ConversionJob::target(const FolderPlan& planned, QString* failure)
{
    {
        std::lock_guard lock(m_directoryMutex);
        if (!planned.targetTried) {
            planned.targetTried = true;
            const QString name = FileSystemNames::clean(planned.path.section(QLatin1Char('/'), -1),
                                                        kMaxNameLength, QStringLiteral("items"));
            planned.target =
                m_destination->openFolder({planned.path, planned.directory, name, planned.special.use,
                                           planned.special.path},
                                          &planned.targetFailure);
        }
        if (planned.target)
            return planned.target.get();
        *failure = planned.targetFailure;
    }
    // A folder that cannot be made because the destination is gone ends the run as a mail
    // that cannot be written does.
    endIfDestinationFailed();
    return nullptr;
}

void ConversionJob::deliver(const FolderPlan& planned, int index, ItemResult result)
{
    if (!m_destination->wantsStoreOrder()) {
        hand(planned, result);
        record(planned, result);
        return;
    }
    FolderPlan::Sequence& sequence = *planned.sequence;
    std::unique_lock lock(sequence.mutex);
    // A worker far ahead waits for the others, so that what waits stays small. The one holding
    // the next item never waits.
    while (index != sequence.next && sequence.waiting.size() >= kMaxWaiting && !m_stopRequested)
        sequence.room.wait_for(lock, std::chrono::milliseconds(100));
    sequence.waiting.emplace(index, std::move(result));
    while (!sequence.waiting.empty() && sequence.waiting.begin()->first == sequence.next) {
        ItemResult ready = std::move(sequence.waiting.begin()->second);
        sequence.waiting.erase(sequence.waiting.begin());
        sequence.next += ready.items;
        hand(planned, ready);
        record(planned, ready);
    }
    // With the folder's last mail, what its destination still holds goes out: a destination
    // that sends mails in batches keeps no folder's mails until the end of the run.
    if (sequence.next >= planned.items) {
        std::unique_lock targetLock(m_directoryMutex);
        DestinationFolder* folder = planned.target.get();
        targetLock.unlock();
        if (folder)
            settle(planned, *folder, true);
    }
    sequence.room.notify_all();
}

void ConversionJob::hand(const FolderPlan& planned, ItemResult& result)
{
    if (result.kind != ItemResult::Kind::Ready)
        return;
    const std::shared_ptr<DestinationMail> mail = std::move(result.mail);
    QString failure;
    DestinationFolder* folder = target(planned, &failure);
    const DestinationFolder::Result written =
        folder ? folder->write(*mail, &failure) : DestinationFolder::Result::Failed;
    if (written == DestinationFolder::Result::Pending) {
        std::lock_guard lock(m_pendingMutex);
        planned.pending.emplace(result.serial, std::move(result));
        result.kind = ItemResult::Kind::Stopped; // recorded when settled
    } else {
        settled(result, written, failure);
    }
    if (folder)
        settle(planned, *folder, false);
}

void ConversionJob::settle(const FolderPlan& planned, DestinationFolder& folder, bool all)
{
    folder.settle(all, [&](int serial, DestinationFolder::Result written, const QString& failure) {
        ItemResult result;
        {
            std::lock_guard lock(m_pendingMutex);
            const auto found = planned.pending.find(serial);
            if (found == planned.pending.end())
                return;
            result = std::move(found->second);
            planned.pending.erase(found);
        }
        settled(result, written, failure);
        record(planned, result);
    });
}

void ConversionJob::endIfDestinationFailed()
{
    // A destination that cannot take more ends the conversion, with the report.
    const QString fatal = m_destination->fatalFailure();
    if (fatal.isEmpty())
        return;
    bool first = false;
    {
        std::lock_guard lock(m_reportMutex);
        first = m_report.destinationFailure().isEmpty();
        m_report.setDestinationFailure(fatal);
    }
    if (first)
        stop();
}

void ConversionJob::settled(ItemResult& result, DestinationFolder::Result written, const QString& failure)
{
    if (written == DestinationFolder::Result::Failed)
        endIfDestinationFailed();
    switch (written) {
    case DestinationFolder::Result::Written:
        result.kind = ItemResult::Kind::Written;
        break;
    case DestinationFolder::Result::AlreadyThere:
        result.kind = ItemResult::Kind::AlreadyThere;
        result.detail.clear();
        break;
    case DestinationFolder::Result::Failed:
    case DestinationFolder::Result::Pending:
        result.kind = ItemResult::Kind::Failed;
        result.detail = failure.isEmpty() ? QStringLiteral("the destination did not take it") : failure;
        break;
    }
}

void ConversionJob::reportProgress(int step)
{
    std::lock_guard lock(m_progressMutex);
    m_done += step;
    if (m_progress)
        m_progress(m_done, m_total);
}

void ConversionJob::work(const store::Store& opened)
{
    std::unique_ptr<store::Item> root;
    std::unique_ptr<store::Item> folder;
    std::size_t folderIndex = m_plan.size();
    for (;;) {
        const std::size_t next = m_nextUnit.fetch_add(1);
        if (next >= m_units.size() || m_stopRequested)
            return;
        const WorkUnit& unit = m_units[next];
        const FolderPlan& planned = m_plan[unit.folder];
        if (unit.folder != folderIndex) {
            // Find the folder again by its route: holding every folder open at once would cost
            // memory on stores with thousands of folders.
            folder.reset();
            folderIndex = unit.folder;
            try {
                if (!root)
                    root = opened.rootFolder();
                std::unique_ptr<store::Item> current;
                const store::Item* at = root.get();
                for (const int index : planned.route) {
                    current = at->subFolder(index);
                    at = current.get();
                }
                folder = current ? std::move(current) : std::move(root);
            } catch (const store::StoreError& error) {
                if (m_stopRequested)
                    return;
                ItemResult failed = ItemResult::failure(
                    planned.firstSerial + unit.first,
                    QStringLiteral("items %1 to %2").arg(unit.first + 1).arg(unit.first + unit.count),
                    QStringLiteral("the folder cannot be read: ") + firstLine(error.message()));
                failed.items = unit.count;
                deliver(planned, unit.first, std::move(failed));
                reportProgress(unit.count);
                continue;
            }
        }
        for (int index = unit.first; index < unit.first + unit.count; ++index) {
            if (!waitWhilePaused())
                return;
            const int serial = planned.firstSerial + index;
            ItemResult result;
            try {
                const std::unique_ptr<store::Item> message = folder->subMessage(index);
                result = convertMessage(opened, *message, planned, serial, index);
            } catch (const store::StoreError& error) {
                if (m_stopRequested)
                    return;
                result = ItemResult::failure(serial, QStringLiteral("item %1").arg(index + 1),
                                             QStringLiteral("cannot be read: ") + firstLine(error.message()));
            }
            deliver(planned, index, std::move(result));
            reportProgress(1);
        }
        if (folder.get() == root.get() && !planned.route.empty())
            root.reset();
    }
}

void ConversionJob::record(const FolderPlan& planned, const ItemResult& result)
{
    const int items = result.items;
    if (result.kind == ItemResult::Kind::Stopped)
        return;
    std::lock_guard lock(m_reportMutex);
    ConversionReport::Folder& report = m_report.folder(planned.path);
    if (!result.itemKind.isEmpty() && result.kind != ItemResult::Kind::NotMail) {
        ConversionReport::KindCounts& counts = report.kinds[result.itemKind];
        counts.seen += items;
        switch (result.kind) {
        case ItemResult::Kind::FilteredOut:
            ++counts.filteredOut;
            break;
        case ItemResult::Kind::Written:
            ++counts.written;
            [[fallthrough]];
        case ItemResult::Kind::Collected:
            if (!result.detail.isEmpty())
                report.incomplete.push_back({result.serial, result.item, result.detail});
            break;
        case ItemResult::Kind::Failed:
            counts.failed += items;
            report.failures.push_back({result.serial, result.item, result.detail});
            break;
        case ItemResult::Kind::AlreadyThere:
            ++counts.alreadyThere;
            break;
        case ItemResult::Kind::NotMail:
        case ItemResult::Kind::Stopped:
        case ItemResult::Kind::Ready:
        case ItemResult::Kind::Copy:
            break;
        }
        return;
    }
    switch (result.kind) {
    case ItemResult::Kind::NotMail:
        ++report.notConverted[result.detail];
        break;
    case ItemResult::Kind::FilteredOut:
        ++report.mailsSeen;
        ++report.filteredOut;
        break;
    case ItemResult::Kind::Written:
        ++report.mailsSeen;
        ++report.written;
        if (!result.detail.isEmpty())
            report.incomplete.push_back({result.serial, result.item, result.detail});
        break;
    case ItemResult::Kind::AlreadyThere:
        ++report.mailsSeen;
        ++report.alreadyThere;
        break;
    case ItemResult::Kind::Copy:
        ++report.mailsSeen;
        report.copies.push_back({result.serial, result.item, result.detail});
        break;
    case ItemResult::Kind::Collected:
    case ItemResult::Kind::Stopped:
    case ItemResult::Kind::Ready:
        break;
    case ItemResult::Kind::Failed:
        report.mailsSeen += items;
        report.failed += items;
        report.failures.push_back({result.serial, result.item, result.detail});
        break;
    }
}

ConversionJob::ItemResult ConversionJob::convertMessage(const store::Store& opened,
                                                              const store::Item& message,
                                                              const FolderPlan& planned, int serial,
                                                              int index)
{
    const store::ItemType kind = message.type();
    if (!isMailKind(static_cast<int>(kind)) || !m_options.kinds.mail)
        return convertOther(opened, message, kind, planned, serial, index);
    QString item = QStringLiteral("mail %1").arg(serial, 5, 10, QLatin1Char('0'));
    try {
        auto mail = std::make_shared<DestinationMail>();
        mail->serial = serial;
        mail->envelope = MailEnvelope::read(message);
        // The envelope's date is the one the mail's Date header gets.
        if (!inDateRange(mail->envelope.date))
            return {ItemResult::Kind::FilteredOut, serial, item, {}};
        QString failure;
        DestinationFolder* folder = target(planned, &failure);
        if (!folder)
            return ItemResult::failure(serial, item, failure);
        // A re-run knows most mails by their stored Message-ID, without making them again.
        if (const QByteArray stored = MailEnvelope::storedMessageId(message);
            !stored.isEmpty() && folder->claim(stored)) {
            if (m_options.duplicates)
                m_options.duplicates->copyOf(stored, 0, storeLabel(), item);
            return {ItemResult::Kind::AlreadyThere, serial, item, {}};
        }
        MailMapper mapper;
        eml::Message mapped = mapper.map(message);
        mapped.storeKey = QString::fromLatin1(MailEnvelope::storeKey(message));
        item += mapped.subject.isEmpty() ? QStringLiteral(" (item %1, no subject)").arg(index + 1)
                                         : QStringLiteral(" \"%1\"").arg(mapped.subject);
        eml::MessageWriter::Error writeError = eml::MessageWriter::Error::None;
        mail->bytes = eml::MessageWriter::toBytes(mapped, &writeError);
        if (writeError != eml::MessageWriter::Error::None)
            return ItemResult::failure(serial, item,
                                       writeError == eml::MessageWriter::Error::NestingTooDeep
                                           ? QStringLiteral("attached messages nested too deeply")
                                           : QStringLiteral("the MIME message could not be built"));
        // A stop breaks off the reads in progress: what this item lost to it is not written as if
        // the store had lost it.
        if (m_stopRequested)
            return {ItemResult::Kind::Stopped, serial, item, {}};
        mail->identity = MailEnvelope::identityOf(mail->bytes);
        if (m_options.duplicates) {
            // Never 0, which stands for bytes not made.
            const quint64 content = qHash(mail->bytes, 0) | 1;
            if (const auto first = m_options.duplicates->copyOf(mail->identity, content, storeLabel(), item)) {
                if (folder->claim(mail->identity)) // a copy that an earlier run wrote all the same
                    return {ItemResult::Kind::AlreadyThere, serial, item, {}};
                return {ItemResult::Kind::Copy, serial, item, QStringLiteral("a copy of ") + *first};
            }
        }
        mail->baseName = QStringLiteral("%1 %2")
                             .arg(serial, 5, 10, QLatin1Char('0'))
                             .arg(FileSystemNames::clean(mapped.subject, kMaxSubjectLength,
                                                         QStringLiteral("(no subject)")));
        ItemResult result{ItemResult::Kind::Ready, serial, item,
                          mapper.problems().join(QStringLiteral("; "))};
        result.mail = std::move(mail);
        return result;
    } catch (const std::bad_alloc&) {
        return ItemResult::failure(serial, item, QStringLiteral("not enough memory"));
    } catch (const store::StoreError& error) {
        if (m_stopRequested)
            return {ItemResult::Kind::Stopped, serial, item, {}};
        return ItemResult::failure(serial, item, firstLine(error.message()));
    }
}

QString ConversionJob::storeLabel() const
{
    return m_options.storePath;
}

bool ConversionJob::inDateRange(const QDateTime& date) const
{
    if (!m_options.since && !m_options.until)
        return true;
    return date.isValid() && (!m_options.since || date >= *m_options.since) &&
           (!m_options.until || date < *m_options.until);
}

ConversionJob::ItemResult ConversionJob::convertOther(const store::Store& opened,
                                                            const store::Item& message, store::ItemType type,
                                                            const FolderPlan& planned, int serial, int index)
{
    const ItemKinds& kinds = m_options.kinds;
    QString kind;
    switch (type) {
    case store::ItemType::Contact:
    case store::ItemType::DistributionList:
        if (kinds.contacts)
            kind = QStringLiteral("contact");
        break;
    case store::ItemType::Appointment:
        if (kinds.calendar)
            kind = QStringLiteral("appointment");
        break;
    case store::ItemType::Task:
        if (kinds.tasks)
            kind = QStringLiteral("task");
        break;
    case store::ItemType::Note:
        if (kinds.notes)
            kind = QStringLiteral("note");
        break;
    case store::ItemType::Activity:
        if (kinds.journal)
            kind = QStringLiteral("journal entry");
        break;
    default:
        break;
    }
    if (kind.isEmpty())
        return {ItemResult::Kind::NotMail, serial, {}, QString::fromLatin1(store::itemTypeName(type))};

    const QString number = QStringLiteral("%1").arg(serial, 5, 10, QLatin1Char('0'));
    QString item = kind + QLatin1Char(' ') + number;
    const auto named = [&](const QString& name) {
        item += name.isEmpty() ? QStringLiteral(" (item %1, no name)").arg(index + 1)
                               : QStringLiteral(" \"%1\"").arg(name);
    };
    const auto result = [&](ItemResult::Kind outcome, const QString& detail) {
        return ItemResult{outcome, serial, item, detail, kind};
    };
    try {
        FolderPlan::Collected collected;
        collected.serial = serial;
        collected.kind = kind;
        QStringList problems;
        QDateTime date;
        QByteArray cardBytes;
        QByteArray entryBytes;
        if (type == store::ItemType::Note) {
            const ItemFields fields(message);
            const QString subject = fields.subject();
            named(subject);
            date = fields.time(mapi::PrLastModificationTime).value_or(QDateTime());
            if (!inDateRange(date))
                return result(ItemResult::Kind::FilteredOut, {});
            QString body = fields.plainBody();
            if (body.isEmpty())
                body = subject;
            if (!makeDirectory(planned))
                return result(ItemResult::Kind::Failed,
                              QStringLiteral("cannot create the folder ") + planned.directory);
            const QString base =
                number + QLatin1Char(' ') +
                FileSystemNames::clean(subject, kMaxSubjectLength, QStringLiteral("(no subject)"));
            QString failure;
            switch (
                NewFile::write(planned.directory, base, QStringLiteral(".txt"), body.toUtf8(), &failure)) {
            case NewFile::Outcome::Failed:
                return result(ItemResult::Kind::Failed, failure);
            case NewFile::Outcome::AlreadyThere:
                return result(ItemResult::Kind::AlreadyThere, {});
            case NewFile::Outcome::Written:
                break;
            }
            return result(ItemResult::Kind::Written, fields.problems().join(QStringLiteral("; ")));
        }
        if (kind == QLatin1String("contact")) {
            const VCardWriter::Card card = VCardWriter(m_options.vcardVersion, &opened).write(message);
            named(card.name);
            date = ItemFields(message).time(mapi::PrLastModificationTime).value_or(QDateTime());
            collected.card = true;
            collected.size = card.bytes.size();
            cardBytes = card.bytes;
            problems = card.problems;
        } else {
            const ICalendarWriter::Entry entry =
                type == store::ItemType::Appointment ? ICalendarWriter::appointment(message)
                : type == store::ItemType::Task      ? ICalendarWriter::task(message)
                                                     : ICalendarWriter::journal(message);
            named(entry.summary);
            if (entry.components.isEmpty())
                return result(ItemResult::Kind::Failed, entry.problems.join(QStringLiteral("; ")));
            date = entry.date;
            collected.size = entry.components.size();
            entryBytes = entry.components;
            collected.zone = entry.zone;
            problems = entry.problems;
        }
        if (!inDateRange(date))
            return result(ItemResult::Kind::FilteredOut, {});
        if (m_stopRequested)
            return result(ItemResult::Kind::Stopped, {});
        collected.item = item;
        {
            std::lock_guard lock(m_collectMutex);
            const QByteArray& bytes = collected.card ? cardBytes : entryBytes;
            if (!m_scratch) {
                m_scratch = std::make_unique<QTemporaryFile>(
                    QDir(m_options.destination).filePath(QStringLiteral(".ost2eml-XXXXXX")));
                if (!m_scratch->open())
                    m_scratchFailure = m_scratch->errorString();
            }
            if (m_scratchFailure.isEmpty()) {
                collected.offset = m_scratch->size();
                if (!m_scratch->seek(collected.offset) || m_scratch->write(bytes) != bytes.size())
                    return result(ItemResult::Kind::Failed,
                                  QStringLiteral("cannot keep it for the folder's file: ") +
                                      m_scratch->errorString());
            } else {
                return result(ItemResult::Kind::Failed,
                              QStringLiteral("cannot keep it for the folder's file: ") + m_scratchFailure);
            }
            planned.collected.emplace(index, std::move(collected));
        }
        return result(ItemResult::Kind::Collected, problems.join(QStringLiteral("; ")));
    } catch (const std::bad_alloc&) {
        return result(ItemResult::Kind::Failed, QStringLiteral("not enough memory"));
    } catch (const store::StoreError& error) {
        if (m_stopRequested)
            return result(ItemResult::Kind::Stopped, {});
        return result(ItemResult::Kind::Failed, firstLine(error.message()));
    }
}

void ConversionJob::writeCollected()
{
    for (const FolderPlan& planned : m_plan) {
        if (planned.collected.empty())
            continue;
        const QString folder = planned.path.section(QLatin1Char('/'), -1);
        const QString base = FileSystemNames::clean(folder, kMaxNameLength, QStringLiteral("items"));
        for (const bool cards : {true, false}) {
            // Each zone once; a name that stands for different definitions in the folder gets a
            // number from its second definition on, in the order of the items.
            std::vector<TimeZoneDefinition> zones;
            std::vector<const FolderPlan::Collected*> entries;
            std::map<const FolderPlan::Collected*, QString> renamed;
            std::map<QString, std::vector<QByteArray>> definitions;
            for (const auto& [index, collected] : planned.collected) {
                if (collected.card != cards)
                    continue;
                entries.push_back(&collected);
                if (!collected.zone)
                    continue;
                const QByteArray definition = collected.zone->vtimezone();
                std::vector<QByteArray>& known = definitions[collected.zone->name()];
                const auto at = std::find(known.begin(), known.end(), definition);
                const auto number = static_cast<int>(at - known.begin()) + 1;
                const QString name = number == 1
                                         ? collected.zone->name()
                                         : QStringLiteral("%1 (%2)").arg(collected.zone->name()).arg(number);
                if (at == known.end()) {
                    known.push_back(definition);
                    zones.push_back(*collected.zone);
                    zones.back().rename(name);
                }
                if (number > 1)
                    renamed.emplace(&collected, name);
            }
            if (entries.empty())
                continue;
            const auto content = [&](QIODevice& device) {
                if (!cards && device.write(ICalendarWriter::calendarStart(zones)) < 0)
                    return false;
                for (const FolderPlan::Collected* collected : entries) {
                    if (!m_scratch->seek(collected->offset))
                        return false;
                    QByteArray bytes = m_scratch->read(collected->size);
                    if (bytes.size() != collected->size)
                        return false;
                    if (const auto it = renamed.find(collected); it != renamed.end())
                        bytes = ICalendarWriter::withZoneRenamed(bytes, collected->zone->name(), it->second);
                    if (device.write(bytes) != bytes.size())
                        return false;
                }
                return cards || device.write(ICalendarWriter::calendarEnd()) >= 0;
            };
            QString failure;
            NewFile::Outcome outcome = NewFile::Outcome::Failed;
            if (!makeDirectory(planned))
                failure = QStringLiteral("cannot create the folder ") + planned.directory;
            else
                outcome = NewFile::write(planned.directory, base,
                                         cards ? QStringLiteral(".vcf") : QStringLiteral(".ics"), content,
                                         &failure);
            std::lock_guard lock(m_reportMutex);
            ConversionReport::Folder& report = m_report.folder(planned.path);
            for (const FolderPlan::Collected* collected : entries) {
                ConversionReport::KindCounts& counts = report.kinds[collected->kind];
                if (outcome == NewFile::Outcome::AlreadyThere) {
                    ++counts.alreadyThere;
                } else if (outcome == NewFile::Outcome::Written) {
                    ++counts.written;
                } else {
                    ++counts.failed;
                    report.failures.push_back({collected->serial, collected->item, failure});
                }
            }
        }
        planned.collected.clear();
    }
    m_scratch.reset();
}

void ConversionJob::writeReport()
{
    const QString directory =
        QDir(m_options.reportDirectory.isEmpty() ? m_options.destination : m_options.reportDirectory)
            .absolutePath();
    QDir().mkpath(directory);
    const auto save = [&](const QString& extension, const QByteArray& content) {
        QString path;
        if (NewFile::write(directory, QStringLiteral("conversion-report"), extension, content, nullptr, &path,
                           NewFile::Same::WriteAnew) == NewFile::Outcome::Failed)
            path.clear();
        return path;
    };
    const QString destination =
        m_destination->writesFiles() ? QDir(m_options.destination).absolutePath() : m_options.destination;
    m_reportPath = save(QStringLiteral(".txt"), m_report.toText(m_options.storePath, destination));
    save(QStringLiteral(".json"), m_report.toJson(m_options.storePath, destination));
}

} // namespace convert
