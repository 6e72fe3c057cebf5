#include "EmlFilesDestination.h"

#include "NewFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <mutex>
#include <vector>
#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace convert {

namespace {

// Where a folder's .eml files are listed with the identity of their mails, the size and the
// modification time they were written with: "identity TAB name TAB size TAB mtime-ms".
constexpr const char* kIndexName = ".ost2eml-index";

class EmlFilesFolder : public DestinationFolder
{
public:
    explicit EmlFilesFolder(QString directory)
        : m_directory(std::move(directory)),
          m_index(QDir(m_directory).filePath(QString::fromLatin1(kIndexName)))
    {
        if (m_index.open(QIODevice::ReadOnly)) {
            while (!m_index.atEnd()) {
                const QList<QByteArray> fields = m_index.readLine().trimmed().split('\t');
                if (fields.size() == 4)
                    m_listed[fields[0]].push_back(
                        {QString::fromUtf8(fields[1]), fields[2].toLongLong(), fields[3].toLongLong()});
            }
            m_index.close();
        }
#ifdef Q_OS_UNIX
        m_directoryFd = ::open(QFile::encodeName(m_directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
#endif
    }

    Result write(const DestinationMail& mail, QString* failure) override
    {
        QString path;
        switch (
            NewFile::write(m_directory, mail.baseName, QStringLiteral(".eml"), mail.bytes, failure, &path)) {
        case NewFile::Outcome::Written:
            list(mail.identity, path);
            return Result::Written;
        case NewFile::Outcome::AlreadyThere:
            list(mail.identity, path);
            return Result::AlreadyThere;
        case NewFile::Outcome::Failed:
            break;
        }
        return Result::Failed;
    }

    // A mail is there when the file written for its identity is as it was written: a conversion
    // of the same item gives the same bytes. Anything else is left to write(), which compares.
    bool claim(const QByteArray& identity) override
    {
        // The files are looked at outside the lock: a re-run does little else, on every worker.
        std::vector<std::pair<QString, Stamp>> candidates;
        {
            std::lock_guard lock(m_mutex);
            const auto found = m_listed.constFind(identity);
            if (found == m_listed.constEnd())
                return false;
            for (const Listed& listed : found.value()) {
                if (!listed.claimed)
                    candidates.emplace_back(listed.name, Stamp{listed.size, listed.modified});
            }
        }
        for (const auto& [name, stamp] : candidates) {
            if (stampOf(name) != stamp)
                continue;
            std::lock_guard lock(m_mutex);
            for (Listed& listed : m_listed[identity]) {
                if (listed.name == name && !listed.claimed) {
                    listed.claimed = true;
                    return true;
                }
            }
        }
        return false;
    }

    ~EmlFilesFolder() override
    {
#ifdef Q_OS_UNIX
        if (m_directoryFd >= 0)
            ::close(m_directoryFd);
#endif
    }

private:
    struct Stamp
    {
        qint64 size = -1;
        qint64 modified = 0;
        bool operator==(const Stamp&) const = default;
    };

    // The size and modification time of a file of the folder; size -1 when it is not a file.
    Stamp stampOf(const QString& name) const
    {
#ifdef Q_OS_UNIX
        // Relative to the folder, which spares the walk of a long path for each of many files.
        struct stat status;
        if (m_directoryFd >= 0) {
            if (::fstatat(m_directoryFd, QFile::encodeName(name).constData(), &status, 0) != 0 ||
                !S_ISREG(status.st_mode))
                return {};
            return {static_cast<qint64>(status.st_size),
                    static_cast<qint64>(status.st_mtim.tv_sec) * 1000 + status.st_mtim.tv_nsec / 1000000};
        }
#endif
        const QFileInfo info(QDir(m_directory).filePath(name));
        if (!info.isFile())
            return {};
        return {info.size(), info.lastModified().toMSecsSinceEpoch()};
    }

    struct Listed
    {
        QString name;
        qint64 size = 0;
        qint64 modified = 0;
        bool claimed = false;
    };

    void list(const QByteArray& identity, const QString& path)
    {
        if (identity.isEmpty() || identity.contains('\t') || identity.contains('\n'))
            return;
        const QFileInfo info(path);
        const QByteArray line = identity + '\t' + info.fileName().toUtf8() + '\t' +
                                QByteArray::number(info.size()) + '\t' +
                                QByteArray::number(info.lastModified().toMSecsSinceEpoch()) + '\n';
        std::lock_guard lock(m_mutex);
        // Listed once: a re-run finds most mails through claim() and lists nothing.
        const auto found = m_listed.constFind(identity);
        if (found != m_listed.constEnd()) {
            for (const Listed& listed : found.value()) {
                if (listed.name == info.fileName())
                    return;
            }
        }
        // Made with the first file listed: a folder whose mails were all there or left out as
        // copies gets none.
        if (m_index.isOpen() || m_index.open(QIODevice::WriteOnly | QIODevice::Append))
            m_index.write(line);
    }

    QString m_directory;
    int m_directoryFd = -1;
    std::mutex m_mutex;
    QFile m_index;                                   // under m_mutex
    QHash<QByteArray, std::vector<Listed>> m_listed; // under m_mutex
};

} // namespace

std::unique_ptr<DestinationFolder> EmlFilesDestination::openFolder(const Folder& folder, QString* failure)
{
    if (!QDir().mkpath(folder.directory)) {
        *failure = QStringLiteral("cannot create the folder ") + folder.directory;
        return nullptr;
    }
    NewFile::removeLeftovers(folder.directory);
    return std::make_unique<EmlFilesFolder>(folder.directory);
}

} // namespace convert
