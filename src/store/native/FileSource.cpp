#include "FileSource.h"

#include "Failure.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace store::native {

FileSource::FileSource(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    m_fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) {
        const int error = errno;
        throw OpenError(error == EACCES ? OpenError::Reason::PermissionDenied : OpenError::Reason::Unreadable,
                        std::string("cannot read the file: ") + std::strerror(error));
    }
    struct stat info = {};
    if (::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(m_fd);
        m_fd = -1;
        throw OpenError(OpenError::Reason::Unreadable, "cannot read the file: not a regular file");
    }
    m_size = static_cast<std::uint64_t>(info.st_size);
#if defined(POSIX_FADV_DONTNEED) && defined(_SC_PHYS_PAGES)
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0)
        m_dropBehind = m_size > static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize) / 2;
#endif
}

FileSource::~FileSource()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void FileSource::read(std::uint64_t offset, char* buffer, std::size_t size, const char* what) const
{
    if (!contains(offset, size))
        throw StoreError(std::string(what) + " at offset " + hex(offset) + " (" + std::to_string(size) +
                         " bytes) lies beyond the end of the file (" + std::to_string(m_size) + " bytes)");
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::pread(m_fd, buffer + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            throw StoreError(std::string("cannot read ") + what + " at offset " + hex(offset) + ": " +
                             (got < 0 ? std::strerror(errno) : "the file ended early"));
        done += static_cast<std::size_t>(got);
    }
}

void FileSource::prefetch(std::uint64_t offset, std::size_t size) const
{
#if defined(POSIX_FADV_WILLNEED)
    if (contains(offset, size))
        ::posix_fadvise(m_fd, static_cast<off_t>(offset), static_cast<off_t>(size), POSIX_FADV_WILLNEED);
#else
    (void)offset;
    (void)size;
#endif
}

void FileSource::readOnce(std::uint64_t offset, std::size_t size) const
{
#if defined(POSIX_FADV_DONTNEED)
    // Let go of a range after this much more of the store was read.
    constexpr std::uint64_t Window = 64ull << 20;
    if (!m_dropBehind || size == 0)
        return;
    std::vector<Range> release;
    {
        std::lock_guard lock(m_rangesMutex);
        if (!m_recent.empty() && m_recent.back().offset + m_recent.back().size == offset)
            m_recent.back().size += size; // read one after the other, as a walk mostly does
        else
            m_recent.push_back(Range{offset, size});
        m_recentBytes += size;
        if (m_recentBytes < Window)
            return;
        release = std::exchange(m_older, std::move(m_recent));
        m_recent.clear();
        m_recentBytes = 0;
    }
    for (const Range& range : release)
        ::posix_fadvise(m_fd, static_cast<off_t>(range.offset), static_cast<off_t>(range.size), POSIX_FADV_DONTNEED);
#else
    (void)offset;
    (void)size;
#endif
}

QByteArray FileSource::read(std::uint64_t offset, std::size_t size, const char* what) const
{
    QByteArray data(static_cast<qsizetype>(size), Qt::Uninitialized);
    read(offset, data.data(), size, what);
    return data;
}

} // namespace store::native
