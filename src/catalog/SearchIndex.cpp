#include "SearchIndex.h"

#include "CatalogWriteError.h"
#include "TextBlob.h"
#include "TextFolding.h"

#include <QtEndian>

namespace catalog {

namespace {

// What the queue may hold before add() waits for the folding: enough to ride out a long body,
// little against the memory the scan saves by keeping texts out of it.
constexpr qsizetype QueueChars = 16 * 1024 * 1024;
// A search reads the file in pieces of this size.
constexpr qint64 ReadChunk = 8 * 1024 * 1024;

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

std::shared_ptr<SearchIndex> SearchIndex::create(const QString& folder)
{
    std::shared_ptr<SearchIndex> index(new SearchIndex(TextFile::create(folder)));
    index->m_worker = std::thread([raw = index.get()] { raw->work(); });
    return index;
}

SearchIndex::SearchIndex(std::shared_ptr<TextFile> file) : m_file(std::move(file)) {}

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
            try {
                m_file->append(entryBytes(source));
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

void SearchIndex::search(const SearchQuery& query, const SearchScope& scope, const std::function<bool()>& cancelled,
                         const MatchBatch& found) const
{
    // The items folded when the search starts; those folded during it are left to the next one.
    const qint64 end = m_file->size();
    qint64 position = 0;
    QList<SearchMatch> batch;
    const auto look = [&](const SearchEntryView& entry) {
        if (inScope(entry, scope) && query.matches(entry))
            batch.append(SearchMatch{entry.serial, entry.kind, entry.node, entry.time});
    };
    while (position < end) {
        if (cancelled && cancelled())
            return;
        QByteArray bytes = m_file->read(position, std::min(ReadChunk, end - position));
        qsizetype used = readEntries(bytes, look);
        if (used == 0) {
            // One entry larger than a piece: read it whole.
            if (bytes.size() < 4)
                break;
            const qint64 length = 4 + qFromLittleEndian<quint32>(bytes.constData());
            bytes = m_file->read(position, length);
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

QList<SearchMatch> SearchIndex::search(const SearchQuery& query, const SearchScope& scope) const
{
    QList<SearchMatch> all;
    search(query, scope, {}, [&](const QList<SearchMatch>& batch) { all += batch; });
    return all;
}

} // namespace catalog
