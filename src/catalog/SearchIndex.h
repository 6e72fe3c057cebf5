#pragma once

#include "SearchQuery.h"
#include "TextFile.h"

#include <QList>
#include <QSet>
#include <QString>
#include <array>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace catalog {

// What the catalogs hand to the search index for one item: its identity and its texts as they
// are (folding them is the index's work).
struct SearchSource
{
    int serial = 0;
    int kind = 0;
    quint32 node = 0;
    qint64 time = -1;
    bool hasAttachments = false;
    bool bodyIsHtml = false;
    std::array<QString, SearchFieldCount> fields;
};

// What a search reads of a mail besides its record and texts: a body too large for the record.
struct SearchExtras
{
    QString body;
    bool bodyIsHtml = false;
};

// One match of a search.
struct SearchMatch
{
    int serial = 0;
    int kind = 0;
    quint32 node = 0;
    qint64 time = -1;
};

// Which items a search looks at besides what the query asks: a set of folder nodes (none: every
// folder) and a time range (ms since 1970, UTC; items without a time fall outside any range).
struct SearchScope
{
    std::optional<QSet<quint32>> nodes;
    std::optional<qint64> since;
    std::optional<qint64> until;
};

// The folded texts of every item the catalogs hold, in a file of their own, and the search over
// them. A scan over the file rather than an inverted index: the folded texts of 100,000 mails are
// read and matched well within a second, and a file written once in append order costs the scan
// nothing it would notice. Items are folded by a worker thread of the index, so that the scan's
// own thread only queues them (the queue is bounded: a scan faster than the folding waits).
// Searches run on any thread, also while items are still being added, over the items folded so
// far.
class SearchIndex
{
public:
    // An index whose file is in `folder` (in memory when empty). Throws CatalogWriteError when the
    // file cannot be made.
    // A search of a file larger than `segmentBytes` is shared out between threads in segments of
    // about that size.
    static constexpr qint64 DefaultSegmentBytes = 32 * 1024 * 1024;
    static std::shared_ptr<SearchIndex> create(const QString& folder, qint64 segmentBytes = DefaultSegmentBytes);
    ~SearchIndex();
    SearchIndex(const SearchIndex&) = delete;
    SearchIndex& operator=(const SearchIndex&) = delete;

    // Queues an item. Throws CatalogWriteError when an earlier item could not be written.
    void add(SearchSource source);
    // Returns once every item added so far is searchable (or the file failed). Throws
    // CatalogWriteError when an item could not be written.
    void waitUntilIndexed();
    // The number of items searchable now.
    qint64 indexedCount() const;
    std::shared_ptr<TextFile> file() const { return m_file; }

    // Calls `found` with the matches in the order the items were added, in batches, the first
    // one as soon as there is a match; stops early when `cancelled` returns true. Throws
    // CatalogWriteError when the file cannot be read.
    using MatchBatch = std::function<void(const QList<SearchMatch>&)>;
    void search(const SearchQuery& query, const SearchScope& scope, const std::function<bool()>& cancelled,
                const MatchBatch& found) const;
    // Every match at once.
    QList<SearchMatch> search(const SearchQuery& query, const SearchScope& scope = {}) const;

    // The folded form of an item, as the index keeps it (for tests and for readers of a store
    // that search items without keeping them).
    static QByteArray entryBytes(const SearchSource& source);
    // Reads entries from `bytes` as they lie in the index file; calls `each` for every whole one
    // and returns the bytes used.
    static qsizetype readEntries(QByteArrayView bytes, const std::function<void(const SearchEntryView&)>& each);

private:
    SearchIndex(std::shared_ptr<TextFile> file, qint64 segmentBytes);
    void work();
    // Searches the entries from `position` to `end` (both on entry bounds) on this thread,
    // reading into `bytes`.
    void searchRange(const SearchQuery& query, const SearchScope& scope, qint64 position, qint64 end,
                     const std::function<bool()>& stop, const MatchBatch& found, QByteArray& bytes) const;

    std::shared_ptr<TextFile> m_file;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<SearchSource> m_queue;
    qsizetype m_queuedChars = 0;
    bool m_stopping = false;
    bool m_idle = false;   // the worker waits for items
    int m_waiting = 0;     // threads waiting for room in the queue or for the worker to be idle
    std::optional<std::pair<QString, QString>> m_failure; // path, reason
    qint64 m_indexed = 0;
    const qint64 m_segmentBytes;
    std::vector<qint64> m_segmentStarts; // entries where the segments of a shared-out search begin
    std::thread m_worker;
};

} // namespace catalog
