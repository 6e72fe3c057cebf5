#include "SearchIndex.h"

#include "CatalogWriteError.h"
#include "TextBlob.h"
#include "TextFolding.h"

#include <QtEndian>

#include <atomic>
#include <chrono>
#include <exception>

namespace catalog {

namespace {

// What the queue may hold before add() waits for the folding: enough to ride out a long body,
// little against the memory the scan saves by keeping texts out of it.
constexpr qsizetype QueueChars = 16 * 1024 * 1024;
// A search reads the file in pieces of this size: small enough to be matched while the piece is
// still in the processor's cache, and read into one buffer again and again.
constexpr qint64 ReadChunk = 2 * 1024 * 1024;
// A search of a large file is shared out between at most that many threads.
constexpr std::size_t MaxSearchThreads = 4;

qsizetype charsOf(const SearchSource& source)
{
    qsizetype chars = 64;
    for (const QString& field : source.fields)
        chars += field.size();
    return chars;
}

// Reads a variable-length number from `data` at `position`; false past `end`.
bool readNumber(const char* data, qsizetype end, qsizetype& position, quint64& value)
{
    value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        if (position >= end)
            return false;
        const auto byte = static_cast<unsigned char>(data[position++]);
        value |= static_cast<quint64>(byte & 0x7f) << shift;
        if (!(byte & 0x80))
            return true;
    }
    return false;
}

bool inScope(const SearchEntryView& entry, const SearchScope& scope)
{
    if (scope.nodes && !scope.nodes->contains(entry.node))
        return false;
    if (scope.since && (entry.time < 0 || entry.time < *scope.since))
        return false;
    if (scope.until && (entry.time < 0 || entry.time > *scope.until))
        return false;
    return true;
}

} // namespace

std::shared_ptr<SearchIndex> SearchIndex::create(const QString& folder, qint64 segmentBytes)
{
    std::shared_ptr<SearchIndex> index(new SearchIndex(TextFile::create(folder), std::max<qint64>(1, segmentBytes)));
    index->m_worker = std::thread([raw = index.get()] { raw->work(); });
    return index;
}

SearchIndex::SearchIndex(std::shared_ptr<TextFile> file, qint64 segmentBytes)
    : m_file(std::move(file)), m_segmentBytes(segmentBytes)
{
}

SearchIndex::~SearchIndex()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_queue.clear();
    }
    m_changed.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

QByteArray SearchIndex::entryBytes(const SearchSource& source)
{
    TextBlobWriter out;
    out.number(static_cast<quint64>(source.serial < 0 ? 0 : source.serial));
    out.number(static_cast<quint64>(source.kind < 0 ? 0 : source.kind));
    out.number(source.node);
    out.signedNumber(source.time);
    out.number(source.hasAttachments ? 1 : 0);
    for (int field = 0; field < SearchFieldCount; ++field) {
        const QString& text = source.fields[static_cast<std::size_t>(field)];
        const QByteArray folded =
            field == static_cast<int>(SearchField::Body) && source.bodyIsHtml
                ? TextFolding::fold(TextFolding::htmlText(text))
                : TextFolding::fold(text);
        out.number(static_cast<quint64>(folded.size()));
        out.raw(folded);
    }
    QByteArray entry(4, '\0');
    qToLittleEndian<quint32>(static_cast<quint32>(out.bytes().size()), entry.data());
    entry.append(out.bytes());
    return entry;
}

qsizetype SearchIndex::readEntries(QByteArrayView bytes, const std::function<void(const SearchEntryView&)>& each)
{
    const char* data = bytes.data();
    const qsizetype size = bytes.size();
    qsizetype position = 0;
    while (size - position >= 4) {
        const auto length = static_cast<qsizetype>(qFromLittleEndian<quint32>(data + position));
        if (size - position - 4 < length)
            break;
        const qsizetype end = position + 4 + length;
        qsizetype at = position + 4;
        SearchEntryView entry;
        quint64 serial = 0, kind = 0, node = 0, time = 0, flags = 0;
        bool ok = readNumber(data, end, at, serial) && readNumber(data, end, at, kind) &&
                  readNumber(data, end, at, node) && readNumber(data, end, at, time) &&
                  readNumber(data, end, at, flags);
        for (int field = 0; ok && field < SearchFieldCount; ++field) {
            quint64 fieldSize = 0;
            ok = readNumber(data, end, at, fieldSize) && fieldSize <= static_cast<quint64>(end - at);
            if (ok) {
                entry.fields[static_cast<std::size_t>(field)] =
                    QByteArrayView(data + at, static_cast<qsizetype>(fieldSize));
                at += static_cast<qsizetype>(fieldSize);
            }
        }
        if (ok) {
            entry.serial = static_cast<int>(serial);
            entry.kind = static_cast<int>(kind);
            entry.node = static_cast<quint32>(node);
            entry.time = static_cast<qint64>(time >> 1) ^ -static_cast<qint64>(time & 1);
            entry.hasAttachments = flags & 1;
            each(entry);
        }
        position = end;
    }
    return position;
}

void SearchIndex::add(SearchSource source)
{
    std::unique_lock lock(m_mutex);
    if (m_failure)
        throw CatalogWriteError(m_failure->first, m_failure->second);
    const qsizetype chars = charsOf(source);
    if (m_queuedChars != 0 && m_queuedChars + chars > QueueChars) {
        ++m_waiting;
        m_changed.wait(lock, [&] { return m_stopping || m_failure || m_queuedChars == 0 || m_queuedChars + chars <= QueueChars; });
        --m_waiting;
    }
    if (m_failure)
        throw CatalogWriteError(m_failure->first, m_failure->second);
    if (m_stopping)
        return;
    m_queuedChars += chars;
    m_queue.push_back(std::move(source));
    // Only an idle worker waits for an item; waking it for every one would cost more than the
    // folding.
    const bool wake = m_idle;
    lock.unlock();
    if (wake)
        m_changed.notify_all();
}

void SearchIndex::work()
{
    std::deque<SearchSource> batch;
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            m_idle = true;
            if (m_waiting > 0)
                m_changed.notify_all();
            m_changed.wait(lock, [&] { return m_stopping || !m_queue.empty(); });
            m_idle = false;
            if (m_stopping)
                return;
            batch.swap(m_queue);
        }
        // The batch's items leave the queue's count one by one, so that a waiting scan goes on
        // as soon as there is room.
        while (!batch.empty()) {
            SearchSource source = std::move(batch.front());
            batch.pop_front();
            const qsizetype chars = charsOf(source);
            std::optional<std::pair<QString, QString>> failure;
            qint64 start = -1;
            try {
                start = m_file->append(entryBytes(source)).offset;
            } catch (const CatalogWriteError& e) {
                failure = std::make_pair(e.path(), e.reason());
            } catch (const std::bad_alloc&) {
                failure = std::make_pair(m_file->path(), QStringLiteral("not enough memory"));
            }
            std::lock_guard lock(m_mutex);
            m_queuedChars -= chars;
            if (m_stopping)
                return;
            if (failure) {
                m_failure = failure;
                m_queue.clear();
                batch.clear();
                m_queuedChars = 0;
                m_changed.notify_all();
                break;
            }
            ++m_indexed;
            if (start >= (m_segmentStarts.empty() ? 0 : m_segmentStarts.back()) + m_segmentBytes)
                m_segmentStarts.push_back(start);
            if (m_waiting > 0 && m_queuedChars <= QueueChars / 2)
                m_changed.notify_all();
        }
    }
}

void SearchIndex::waitUntilIndexed()
{
    std::unique_lock lock(m_mutex);
    ++m_waiting;
    m_changed.notify_all();
    m_changed.wait(lock, [&] { return m_failure || m_stopping || (m_queue.empty() && m_idle); });
    --m_waiting;
    if (m_failure)
        throw CatalogWriteError(m_failure->first, m_failure->second);
}

qint64 SearchIndex::indexedCount() const
{
    std::lock_guard lock(m_mutex);
    return m_indexed;
}

void SearchIndex::searchRange(const SearchQuery& query, const SearchScope& scope, qint64 position, qint64 end,
                              const std::function<bool()>& stop, const MatchBatch& found, QByteArray& bytes) const
{
    QList<SearchMatch> batch;
    const auto look = [&](const SearchEntryView& entry) {
        if (inScope(entry, scope) && query.matches(entry))
            batch.append(SearchMatch{entry.serial, entry.kind, entry.node, entry.time});
    };
    while (position < end) {
        if (stop())
            return;
        m_file->readInto(position, std::min(ReadChunk, end - position), bytes);
        qsizetype used = readEntries(bytes, look);
        if (used == 0) {
            // One entry larger than a piece: read it whole.
            if (bytes.size() < 4)
                break;
            const qint64 length = 4 + qFromLittleEndian<quint32>(bytes.constData());
            m_file->readInto(position, length, bytes);
            used = readEntries(bytes, look);
            if (used == 0)
                break; // the file ends inside the entry: nothing more is whole
        }
        position += used;
        if (!batch.isEmpty()) {
            found(batch);
            batch.clear();
        }
    }
}

void SearchIndex::search(const SearchQuery& query, const SearchScope& scope, const std::function<bool()>& cancelled,
                         const MatchBatch& found) const
{
    // The items folded when the search starts; those folded during it are left to the next one.
    const qint64 end = m_file->size();
    std::vector<qint64> bounds{0};
    {
        std::lock_guard lock(m_mutex);
        for (const qint64 start : m_segmentStarts) {
            if (start >= end)
                break;
            bounds.push_back(start);
        }
    }
    bounds.push_back(end);
    const std::size_t segments = bounds.size() - 1;
    // This thread and its helpers.
    const std::size_t helpers =
        std::min<std::size_t>({std::max(1u, std::thread::hardware_concurrency()), MaxSearchThreads, segments});
    if (helpers <= 1) {
        QByteArray buffer;
        searchRange(query, scope, 0, end, [&] { return cancelled && cancelled(); }, found, buffer);
        return;
    }

    // The segments are shared out between this thread and helpers, each taking the next one not
    // yet taken. Matches are handed on by this thread alone and in the order of the segments, so
    // that they come in the order of the items: the first segment's as they are found, a later
    // one's once it is done and every one before it is handed on. Only this thread asks whether
    // to stop.
    struct Segment
    {
        QList<SearchMatch> matches;
        std::exception_ptr failure;
        bool done = false;
    };
    std::vector<Segment> results(segments);
    std::atomic<bool> stop{false}; // set when a segment fails, and on the way out
    const std::function<bool()> helperStop = [&] { return stop.load(); };
    const std::function<bool()> shouldStop = [&] { return stop || (cancelled && cancelled()); };
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<std::size_t> next{0};
    const auto searchInto = [&](std::size_t segment, QByteArray& buffer, const std::function<bool()>& stopped) {
        QList<SearchMatch> matches;
        std::exception_ptr failure;
        try {
            searchRange(query, scope, bounds[segment], bounds[segment + 1], stopped,
                        [&](const QList<SearchMatch>& batch) { matches += batch; }, buffer);
        } catch (...) {
            failure = std::current_exception();
            stop = true;
        }
        if (!failure && stopped())
            return; // broken off: never handed on as if whole
        std::lock_guard lock(mutex);
        results[segment].matches = std::move(matches);
        results[segment].failure = failure;
        results[segment].done = true;
        changed.notify_all();
    };

    std::vector<std::jthread> threads;
    // Declared after the threads, so that it is gone first: the helpers stop before they are joined.
    struct StopOnExit
    {
        std::atomic<bool>& stop;
        ~StopOnExit() { stop = true; }
    } stopOnExit{stop};
    // Ends the search before its end: for a failed segment with its failure, else (cancelled)
    // quietly.
    const auto endEarly = [&] {
        stop = true;
        threads.clear();
        if (cancelled && cancelled())
            return;
        for (const Segment& result : results) {
            if (result.failure)
                std::rethrow_exception(result.failure);
        }
    };
    std::size_t delivered = 0; // the segments handed on
    // Hands on the segments done next in order; false when the search is to end.
    const auto handOnDone = [&] {
        for (;;) {
            if (shouldStop())
                return false;
            Segment ready;
            {
                std::lock_guard lock(mutex);
                if (delivered == segments || !results[delivered].done)
                    return true;
                ready = std::move(results[delivered]);
            }
            ++delivered;
            if (ready.failure)
                std::rethrow_exception(ready.failure);
            if (!ready.matches.isEmpty())
                found(ready.matches);
        }
    };

    for (std::size_t i = 1; i < helpers; ++i) {
        threads.emplace_back([&] {
            QByteArray buffer;
            for (std::size_t segment = next++; segment < segments && !stop; segment = next++)
                searchInto(segment, buffer, helperStop);
        });
    }
    QByteArray buffer;
    for (std::size_t segment = next++; segment < segments; segment = next++) {
        if (shouldStop())
            return endEarly();
        if (segment == delivered) {
            searchRange(query, scope, bounds[segment], bounds[segment + 1], shouldStop, found, buffer);
            if (shouldStop())
                return endEarly();
            ++delivered;
        } else {
            searchInto(segment, buffer, shouldStop);
        }
        if (!handOnDone())
            return endEarly();
    }
    while (delivered < segments) {
        {
            std::unique_lock lock(mutex);
            changed.wait_for(lock, std::chrono::milliseconds(20), [&] { return results[delivered].done; });
        }
        if (!handOnDone())
            return endEarly();
    }
}

QList<SearchMatch> SearchIndex::search(const SearchQuery& query, const SearchScope& scope) const
{
    QList<SearchMatch> all;
    search(query, scope, {}, [&](const QList<SearchMatch>& batch) { all += batch; });
    return all;
}

} // namespace catalog
