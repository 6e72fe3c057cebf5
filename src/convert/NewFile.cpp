#include "NewFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace convert {

namespace {

constexpr const char* kPartPrefix = ".ost2eml-";
constexpr const char* kPartSuffix = ".part";

// A device that compares what is written to it with a file, a chunk at a time.
class ComparingDevice : public QIODevice
{
public:
    explicit ComparingDevice(const QString& path) : m_file(path) {}

    bool start() { return m_file.open(QIODevice::ReadOnly) && open(QIODevice::WriteOnly); }
    bool same() const { return m_same && m_file.pos() == m_file.size(); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        if (m_same) {
            const QByteArray stored = m_file.read(size);
            m_same = stored.size() == size && std::memcmp(stored.constData(), data, size) == 0;
        }
        return size;
    }

private:
    QFile m_file;
    bool m_same = true;
};

enum class Created
{
    Written,
    Taken,
    Failed,
};

Created create(const QString& path, const NewFile::ContentWriter& content, QString* failure)
{
    const QFileInfo target(path);
    const QString part = target.dir().filePath(
        QString::fromLatin1(kPartPrefix) +
        QString::fromLatin1(
            QCryptographicHash::hash(target.fileName().toUtf8(), QCryptographicHash::Sha1).toHex().left(20)) +
        QString::fromLatin1(kPartSuffix));
    QFile file(part);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        // Left by a write that was killed: one name is only ever written by one worker at a time.
        QFile::remove(part);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (failure)
                *failure =
                    QStringLiteral("cannot create ") + path + QStringLiteral(": ") + file.errorString();
            return Created::Failed;
        }
    }
    const bool written = content(file) && file.flush();
    const QString problem = file.errorString();
    file.close();
    if (!written || file.error() != QFileDevice::NoError) {
        if (failure)
            *failure = QStringLiteral("cannot write ") + path + QStringLiteral(": ") + problem;
        file.remove();
        return Created::Failed;
    }
    const QByteArray from = QFile::encodeName(part);
    const QByteArray to = QFile::encodeName(path);
    const int linked = ::link(from.constData(), to.constData());
    const int error = errno;
    ::unlink(from.constData());
    if (linked == 0)
        return Created::Written;
    if (error == EEXIST)
        return Created::Taken;
    if (failure)
        *failure = QStringLiteral("cannot create ") + path + QStringLiteral(": ") +
                   QString::fromLocal8Bit(std::strerror(error));
    return Created::Failed;
}

} // namespace

bool NewFile::holds(const QString& path, const ContentWriter& content)
{
    ComparingDevice device(path);
    return device.start() && content(device) && device.same();
}

NewFile::Outcome NewFile::write(const QString& directory, const QString& base, const QString& extension,
                                const ContentWriter& content, QString* failure, QString* path, Same same)
{
    const QDir dir(directory);
    QString name = base + extension;
    for (int number = 2;; ++number) {
        const QString candidate = dir.filePath(name);
        // A name that is taken is usually taken by what a run before wrote: look before writing.
        const QFileInfo existing(candidate);
        if (existing.exists() || existing.isSymLink()) {
            if (same == Same::AlreadyThere && existing.isFile() && !existing.isSymLink() &&
                holds(candidate, content)) {
                if (path)
                    *path = candidate;
                return Outcome::AlreadyThere;
            }
        } else {
            switch (create(candidate, content, failure)) {
            case Created::Written:
                if (path)
                    *path = candidate;
                return Outcome::Written;
            case Created::Failed:
                return Outcome::Failed;
            case Created::Taken:
                continue; // taken meanwhile: look again
            }
        }
        name = base + QStringLiteral(" (%1)").arg(number) + extension;
    }
}

NewFile::Outcome NewFile::write(const QString& directory, const QString& base, const QString& extension,
                                const QByteArray& content, QString* failure, QString* path, Same same)
{
    return write(
        directory, base, extension,
        [&content](QIODevice& device) { return device.write(content) == content.size(); }, failure, path,
        same);
}

void NewFile::removeLeftovers(const QString& directory)
{
    QDir dir(directory);
    const QStringList parts = dir.entryList(
        {QString::fromLatin1(kPartPrefix) + QLatin1Char('*') + QString::fromLatin1(kPartSuffix)},
        QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& part : parts)
        dir.remove(part);
}

} // namespace convert
