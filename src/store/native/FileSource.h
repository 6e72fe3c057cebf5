#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <mutex>
#include <vector>

namespace store::native {

// Positioned reads of one store file, opened read-only. Reads never move a shared file position,
// so any number of threads may read at once. The file is never read whole.
class FileSource
{
public:
    // Throws OpenError when the file cannot be opened.
    explicit FileSource(const QString& path);
    ~FileSource();
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    std::uint64_t size() const { return m_size; }
    bool contains(std::uint64_t offset, std::uint64_t size) const
    {
        return offset <= m_size && size <= m_size - offset;
    }
    // Reads exactly size bytes at offset into buffer. Throws StoreError, naming what was read,
    // when the range lies outside the file or the system fails the read.
    void read(std::uint64_t offset, char* buffer, std::size_t size, const char* what) const;
    QByteArray read(std::uint64_t offset, std::size_t size, const char* what) const;
    // Tells the system that the range will be read soon, so that reads scattered over a file that
    // is not yet in memory are fetched together instead of one after the other. Only a hint.
    void prefetch(std::uint64_t offset, std::size_t size) const;
    // Tells that a range was read and is not needed again soon. A store larger than half the
    // memory would otherwise push everything else out of the system's cache as it is read (the
    // program's own code, the files the scan writes for the search), and the window would wait
    // for the disk at every turn. Such a store's ranges are let go once some more of it has been
    // read since, so that an item's blocks read twice are still in memory the second time.
    void readOnce(std::uint64_t offset, std::size_t size) const;
    bool letsGoOfReadRanges() const { return m_dropBehind; }

private:
    struct Range
    {
        std::uint64_t offset;
        std::uint64_t size;
    };

    int m_fd = -1;
    std::uint64_t m_size = 0;
    bool m_dropBehind = false;
    mutable std::mutex m_rangesMutex;
    mutable std::vector<Range> m_recent;
    mutable std::vector<Range> m_older;
    mutable std::uint64_t m_recentBytes = 0;
};

} // namespace store::native
