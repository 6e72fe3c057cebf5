#pragma once

#include <QFile>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <queue>
#include <stdexcept>
#include <type_traits>
#include <vector>

namespace storegen {

// Collects fixed-size entries in any order and hands them back once, sorted by key, while holding
// at most a batch of them in memory: each full batch is sorted and appended to a scratch file as a
// run, and the runs are merged on the way out. Entry is trivially copyable with a key() that
// orders it; keys are unique. Throws std::runtime_error when the scratch file fails.
template <typename Entry> class SortedSpill
{
    static_assert(std::is_trivially_copyable_v<Entry>);

public:
    // The most runs merged at once.
    static constexpr std::size_t kFanIn = 32;

    // The scratch file is created at scratchPath when the first batch is full and removed again.
    SortedSpill(QString scratchPath, std::size_t batchEntries)
        : m_path(std::move(scratchPath)), m_batchEntries(std::max<std::size_t>(batchEntries, 1))
    {
    }
    ~SortedSpill() { closeScratch(); }
    SortedSpill(const SortedSpill&) = delete;
    SortedSpill& operator=(const SortedSpill&) = delete;

    void add(const Entry& entry)
    {
        m_batch.push_back(entry);
        ++m_count;
        if (m_batch.size() >= m_batchEntries)
            spillBatch();
    }

    std::uint64_t size() const { return m_count; }
    std::size_t runCount() const { return m_runs.size(); }

    // Calls visit(entry) for every entry in ascending key order and leaves the spill empty.
    template <typename Visit> void drain(Visit visit)
    {
        if (m_runs.empty()) {
            sortBatch();
            for (const Entry& e : m_batch)
                visit(e);
        } else {
            if (!m_batch.empty())
                spillBatch();
            // Merges at most kFanIn runs at a time, so that the read-ahead stays bounded however
            // many runs there are: groups of runs become longer runs at the end of the file.
            while (m_runs.size() > kFanIn) {
                const std::uint64_t offset = m_runs.back().offset + m_runs.back().count;
                std::vector<Entry> out;
                out.reserve(kWriteEntries);
                std::uint64_t written = 0;
                auto flush = [&] {
                    if (fseeko(m_file, static_cast<off_t>((offset + written) * sizeof(Entry)), SEEK_SET) !=
                            0 ||
                        std::fwrite(out.data(), sizeof(Entry), out.size(), m_file) != out.size())
                        fail("cannot write");
                    written += out.size();
                    out.clear();
                };
                mergeRuns(0, kFanIn, [&](const Entry& e) {
                    out.push_back(e);
                    if (out.size() == kWriteEntries)
                        flush();
                });
                flush();
                m_runs.erase(m_runs.begin(), m_runs.begin() + kFanIn);
                m_runs.push_back(Run{offset, written});
            }
            mergeRuns(0, m_runs.size(), visit);
        }
        m_batch = std::vector<Entry>();
        m_runs.clear();
        m_count = 0;
        closeScratch();
    }

private:
    struct Run
    {
        std::uint64_t offset; // in entries
        std::uint64_t count;
    };
    struct Cursor
    {
        std::vector<Entry> buffer;
        std::size_t at = 0;
        std::uint64_t next = 0; // the next entry of the run to read
        std::uint64_t end = 0;
    };

    void sortBatch()
    {
        std::sort(m_batch.begin(), m_batch.end(),
                  [](const Entry& a, const Entry& b) { return a.key() < b.key(); });
    }

    void spillBatch()
    {
        if (!m_file) {
            m_file = std::fopen(QFile::encodeName(m_path).constData(), "w+b");
            if (!m_file)
                fail("cannot create");
            // The file lives on as long as it is open where the system allows that, so nothing is
            // left behind even when the process is killed.
            m_removed = std::remove(QFile::encodeName(m_path).constData()) == 0;
        }
        sortBatch();
        const std::uint64_t offset = m_runs.empty() ? 0 : m_runs.back().offset + m_runs.back().count;
        if (fseeko(m_file, static_cast<off_t>(offset * sizeof(Entry)), SEEK_SET) != 0 ||
            std::fwrite(m_batch.data(), sizeof(Entry), m_batch.size(), m_file) != m_batch.size())
            fail("cannot write");
        m_runs.push_back(Run{offset, m_batch.size()});
        m_batch.clear();
    }

    void refill(Cursor& c)
    {
        const std::uint64_t n = std::min<std::uint64_t>(c.buffer.capacity(), c.end - c.next);
        c.buffer.resize(static_cast<std::size_t>(n));
        if (fseeko(m_file, static_cast<off_t>(c.next * sizeof(Entry)), SEEK_SET) != 0 ||
            std::fread(c.buffer.data(), sizeof(Entry), c.buffer.size(), m_file) != c.buffer.size())
            fail("cannot read");
        c.next += n;
        c.at = 0;
    }

    // Merges the runs [first, last) in key order.
    template <typename Visit> void mergeRuns(std::size_t first, std::size_t last, Visit visit)
    {
        // About 64 KB of read-ahead per run.
        const std::size_t perRun = std::max<std::size_t>(1, (64 * 1024) / sizeof(Entry));
        std::vector<Cursor> cursors(last - first);
        using Head = std::pair<decltype(std::declval<Entry>().key()), std::size_t>;
        std::priority_queue<Head, std::vector<Head>, std::greater<Head>> heads;
        for (std::size_t i = 0; i < cursors.size(); ++i) {
            Cursor& c = cursors[i];
            c.buffer.reserve(perRun);
            c.next = m_runs[first + i].offset;
            c.end = m_runs[first + i].offset + m_runs[first + i].count;
            refill(c);
            heads.emplace(c.buffer[0].key(), i);
        }
        while (!heads.empty()) {
            const std::size_t i = heads.top().second;
            heads.pop();
            Cursor& c = cursors[i];
            visit(c.buffer[c.at++]);
            if (c.at == c.buffer.size()) {
                if (c.next == c.end)
                    continue;
                refill(c);
            }
            heads.emplace(c.buffer[c.at].key(), i);
        }
    }

    void closeScratch()
    {
        if (!m_file)
            return;
        std::fclose(m_file);
        m_file = nullptr;
        if (!m_removed)
            std::remove(QFile::encodeName(m_path).constData());
    }

    [[noreturn]] void fail(const char* what)
    {
        throw std::runtime_error(std::string(what) + " the scratch file " + m_path.toStdString());
    }

    static constexpr std::size_t kWriteEntries = std::max<std::size_t>(1, (256 * 1024) / sizeof(Entry));

    QString m_path;
    std::size_t m_batchEntries;
    std::vector<Entry> m_batch;
    std::vector<Run> m_runs;
    std::uint64_t m_count = 0;
    std::FILE* m_file = nullptr;
    bool m_removed = false;
};

} // namespace storegen
