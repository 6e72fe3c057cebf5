#include "TextFile.h"

#include "CatalogWriteError.h"

#include <QDir>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace catalog {

namespace {

// Appends are gathered and written in pieces of this size: one system call per blob would cost
// more than the scan's own reading.
constexpr qsizetype WriteChunk = 1 << 20;

} // namespace

std::shared_ptr<TextFile> TextFile::create(const QString& folder)
{
    if (folder.isEmpty())
        return std::shared_ptr<TextFile>(new TextFile(QString()));
    // The name is random and the file owner-only: the folder is private, the file says so twice.
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral("item-texts-XXXXXX")));
    probe.setAutoRemove(false);
    if (!probe.open())
        throw CatalogWriteError(QDir(folder).filePath(QStringLiteral("item-texts")), probe.errorString());
    const QString path = probe.fileName();
    probe.close();
    std::shared_ptr<TextFile> file(new TextFile(path));
    file->m_writer.setFileName(path);
    file->m_reader.setFileName(path);
    if (!file->m_writer.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered) ||
        !file->m_reader.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw CatalogWriteError(path, file->m_writer.isOpen() ? file->m_reader.errorString()
                                                              : file->m_writer.errorString());
    return file;
}

TextFile::TextFile(QString path) : m_path(std::move(path)) {}

TextFile::~TextFile()
{
    m_reader.close();
    m_writer.close();
    if (!m_path.isEmpty())
        QFile::remove(m_path);
}

void TextFile::setWriteLimit(qint64 bytes)
{
    std::lock_guard lock(m_mutex);
    m_writeLimit = bytes;
}

qint64 TextFile::size() const
{
    std::lock_guard lock(m_mutex);
    return m_written + m_pending.size();
}

TextRef TextFile::append(const QByteArray& blob)
{
    std::lock_guard lock(m_mutex);
    const qint64 offset = m_written + m_pending.size();
    if (m_writeLimit >= 0 && offset + blob.size() > m_writeLimit)
        throw CatalogWriteError(m_path, QStringLiteral("No space left on device"));
    if (blob.size() > std::numeric_limits<quint32>::max())
        throw CatalogWriteError(m_path, QStringLiteral("a text of %1 bytes is too large").arg(blob.size()));
    m_pending.append(blob);
    if (!m_path.isEmpty() && m_pending.size() >= WriteChunk)
        writePending();
    return TextRef{shared_from_this(), offset, static_cast<quint32>(blob.size())};
}

void TextFile::writePending()
{
    qsizetype done = 0;
    while (done < m_pending.size()) {
        const qint64 n = m_writer.write(m_pending.constData() + done, m_pending.size() - done);
        if (n <= 0) {
            // What could not be written stays out of the file, and so do the blobs behind it:
            // their appends already returned, so the file is broken from here on.
            const QString reason = m_writer.errorString();
            m_written += done;
            m_pending.clear();
            m_writeLimit = m_written;
            throw CatalogWriteError(m_path, reason);
        }
        done += static_cast<qsizetype>(n);
    }
    m_written += m_pending.size();
    m_pending.clear();
}

QByteArray TextFile::read(qint64 offset, qint64 size) const
{
    QByteArray result;
    readInto(offset, size, result);
    return result;
}

void TextFile::readInto(qint64 offset, qint64 size, QByteArray& result) const
{
    result.resize(0);
    if (offset < 0 || size <= 0)
        return;
    std::unique_lock lock(m_mutex);
    const qint64 written = m_written;
    const qint64 end = std::min(offset + size, written + m_pending.size());
    if (end <= offset)
        return;
    // One buffer of the final size, read into directly: a search reads pieces of megabytes.
    result.resize(static_cast<qsizetype>(end - offset));
    const qint64 fromFile = std::max<qint64>(0, std::min(end, written) - offset);
    if (end > written) {
        const qint64 first = std::max(offset, written) - written;
        std::memcpy(result.data() + fromFile, m_pending.constData() + first, static_cast<size_t>(end - written - first));
    }
    if (fromFile == 0)
        return;
#ifdef Q_OS_UNIX
    // What reached the file never changes: readers read it side by side, and the writer goes on.
    lock.unlock();
    const int descriptor = m_reader.handle();
    qint64 filled = 0;
    while (filled < fromFile) {
        const ssize_t n = ::pread(descriptor, result.data() + filled, static_cast<size_t>(fromFile - filled),
                                  static_cast<off_t>(offset + filled));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw CatalogWriteError(m_path, n == 0 ? QStringLiteral("the file is shorter than written")
                                                   : QString::fromLocal8Bit(std::strerror(errno)));
        filled += n;
    }
#else
    if (!m_reader.seek(offset))
        throw CatalogWriteError(m_path, m_reader.errorString());
    qint64 filled = 0;
    while (filled < fromFile) {
        const qint64 n = m_reader.read(result.data() + filled, fromFile - filled);
        if (n <= 0)
            throw CatalogWriteError(m_path, n == 0 || m_reader.errorString().isEmpty()
                                                ? QStringLiteral("the file is shorter than written")
                                                : m_reader.errorString());
        filled += n;
    }
#endif
}

} // namespace catalog
