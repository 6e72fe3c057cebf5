#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <memory>
#include <mutex>

namespace catalog {

class TextFile;

// Where a blob of a TextFile lies. It keeps the file: a record that outlives the catalogs it was
// appended to (a reader still holds it after a clear) can still read its texts.
struct TextRef
{
    std::shared_ptr<const TextFile> file;
    qint64 offset = -1;
    quint32 size = 0;

    bool isValid() const { return file && offset >= 0; }
    friend bool operator==(const TextRef&, const TextRef&) = default;
};

// An append-only file of byte blobs that the catalogs keep their records' large texts in (bodies,
// recipient lines, attachment lists), so that memory holds only what the lists show. Written
// once, read back by offset. The file lives in the run's private folder and is removed when the
// TextFile goes; without a folder the blobs stay in memory (tests, and runs without a private
// folder). Thread-safe: one writer appends while any number of readers read; a blob is readable
// as soon as append() returns, whether or not it has reached the disk yet.
class TextFile : public std::enable_shared_from_this<TextFile>
{
public:
    // A new file in `folder` (made owner-only), or in memory when `folder` is empty. Throws
    // CatalogWriteError when the file cannot be made.
    static std::shared_ptr<TextFile> create(const QString& folder);

    ~TextFile();
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;

    // Appends a blob and returns where it lies. Throws CatalogWriteError when the file cannot
    // take it; the blob is then not kept.
    TextRef append(const QByteArray& blob);
    // The `size` bytes from `offset`; fewer at the end. Throws CatalogWriteError when the file
    // cannot be read.
    QByteArray read(qint64 offset, qint64 size) const;
    // The same into `into`, whose memory is used again when it is large enough (a search reads
    // piece after piece).
    void readInto(qint64 offset, qint64 size, QByteArray& into) const;
    // The bytes appended so far.
    qint64 size() const;
    // The file's path; empty for a file in memory.
    QString path() const { return m_path; }

    // Lets appends fail once the file would grow past `bytes`, as a full disk makes them fail.
    // -1 (the default): no limit.
    void setWriteLimit(qint64 bytes);

private:
    explicit TextFile(QString path);
    void writePending(); // with m_mutex held

    QString m_path;
    mutable std::mutex m_mutex;
    QFile m_writer;
    mutable QFile m_reader;
    QByteArray m_pending;   // appended, not yet written to the file
    qint64 m_written = 0;   // bytes in the file
    qint64 m_writeLimit = -1;
};

} // namespace catalog
