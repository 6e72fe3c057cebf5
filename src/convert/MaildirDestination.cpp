#include "MaildirDestination.h"

#include "IdentityCounts.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <unistd.h>

namespace convert {

namespace {

constexpr const char* kOwnSuffix = ".ost2eml";
// Where the identities of a Maildir's messages are kept, by the unique part of their file names
// (what precedes the ":" of the flags): "unique TAB identity". A message file never changes
// (a mail program that changes a mail writes a new file), so a re-run reads the headers only of
// files the list does not know.
constexpr const char* kIndexName = ".ost2eml-maildir-index";
constexpr qint64 kHeaderChunk = 16 * 1024;
constexpr qint64 kMaxHeader = 1024 * 1024;

// The header of a message file (up to its first empty line, at most kMaxHeader bytes).
QByteArray headerOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray header;
    while (header.size() < kMaxHeader) {
        const QByteArray chunk = file.read(kHeaderChunk);
        if (chunk.isEmpty())
            break;
        header += chunk;
        if (header.contains("\n\n") || header.contains("\n\r\n"))
            break;
    }
    return header;
}

class MaildirFolder : public DestinationFolder
{
public:
    explicit MaildirFolder(const QString& directory) : m_dir(directory) {}

    bool open(QString* failure)
    {
        for (const char* sub : {"cur", "new", "tmp"}) {
            if (!m_dir.mkpath(QString::fromLatin1(sub))) {
                *failure =
                    QStringLiteral("cannot create the folder ") + m_dir.filePath(QString::fromLatin1(sub));
                return false;
            }
        }
        // What a conversion that was killed left in tmp/; other programs' files stay.
        QDir tmp(m_dir.filePath(QStringLiteral("tmp")));
        for (const QString& name :
             tmp.entryList({QLatin1Char('*') + QString::fromLatin1(kOwnSuffix)}, QDir::Files | QDir::Hidden))
            tmp.remove(name);
        QHash<QByteArray, QByteArray> listed;
        QFile index(m_dir.filePath(QString::fromLatin1(kIndexName)));
        if (index.open(QIODevice::ReadOnly)) {
            const QList<QByteArray> lines = index.readAll().split('\n');
            for (const QByteArray& line : lines) {
                const qsizetype tab = line.indexOf('\t');
                if (tab > 0)
                    listed.insert(line.left(tab), line.mid(tab + 1));
            }
        }
        for (const char* sub : {"cur", "new"}) {
            QDirIterator it(m_dir.filePath(QString::fromLatin1(sub)), QDir::Files);
            while (it.hasNext()) {
                const QString path = it.next();
                const QByteArray unique = uniqueOf(it.fileName());
                QByteArray identity = listed.value(unique);
                if (identity.isEmpty()) {
                    identity = MailEnvelope::identityOf(headerOf(path));
                    m_indexChanged = true;
                }
                m_held.add(identity);
                if (!identity.isEmpty() && !identity.contains('\n') && !unique.contains('\t'))
                    m_index.insert(unique, identity);
            }
        }
        // Files gone since the list was written leave it too.
        m_indexChanged = m_indexChanged || m_index.size() != listed.size();
        return true;
    }

    ~MaildirFolder() override
    {
        if (!m_indexChanged)
            return;
        // Written whole and then put in place: a run killed meanwhile leaves the previous list,
        // whose missing files only cost their headers being read again.
        QSaveFile index(m_dir.filePath(QString::fromLatin1(kIndexName)));
        if (!index.open(QIODevice::WriteOnly))
            return;
        QByteArray text;
        for (auto it = m_index.cbegin(); it != m_index.cend(); ++it)
            text += it.key() + '\t' + it.value() + '\n';
        if (index.write(text) == text.size())
            index.commit();
    }

    Result write(const DestinationMail& mail, QString* failure) override
    {
        if (m_held.take(mail.identity))
            return Result::AlreadyThere;
        const QDateTime delivered = mail.envelope.delivered;
        const QByteArray unique =
            QByteArray::number(delivered.isValid() ? delivered.toSecsSinceEpoch() : 0) + '.' +
            QByteArray::number(mail.serial) + '_' +
            QCryptographicHash::hash(mail.identity, QCryptographicHash::Sha1).toHex().left(8);
        const QString part = m_dir.filePath(QStringLiteral("tmp/") + QString::fromLatin1(unique) +
                                            QString::fromLatin1(kOwnSuffix));
        QFile file(part);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            *failure = QStringLiteral("cannot create ") + part + QStringLiteral(": ") + file.errorString();
            return Result::Failed;
        }
        bool written = file.write(mail.bytes) == mail.bytes.size() && file.flush();
        if (written && delivered.isValid())
            written = file.setFileTime(delivered, QFileDevice::FileModificationTime);
        const QString problem = file.errorString();
        file.close();
        if (!written) {
            file.remove();
            *failure = QStringLiteral("cannot write ") + part + QStringLiteral(": ") + problem;
            return Result::Failed;
        }
        const QByteArray from = QFile::encodeName(part);
        const QByteArray info = ':' + MaildirDestination::info(mail.envelope);
        Result result = Result::Failed;
        for (int number = 1; result == Result::Failed; ++number) {
            const QByteArray name =
                unique + (number > 1 ? '-' + QByteArray::number(number) : QByteArray()) + kOwnSuffix + info;
            const QString target = m_dir.filePath(QStringLiteral("cur/") + QString::fromLatin1(name));
            if (::link(from.constData(), QFile::encodeName(target).constData()) == 0) {
                result = Result::Written;
                if (!mail.identity.isEmpty() && !mail.identity.contains('\n')) {
                    std::lock_guard lock(m_indexMutex);
                    m_index.insert(uniqueOf(QString::fromLatin1(name)), mail.identity);
                    m_indexChanged = true;
                }
            } else if (errno != EEXIST) {
                *failure = QStringLiteral("cannot create ") + target + QStringLiteral(": ") +
                           QString::fromLocal8Bit(std::strerror(errno));
                break;
            }
        }
        ::unlink(from.constData());
        return result;
    }

    bool claim(const QByteArray& identity) override { return m_held.take(identity); }

private:
    // The unique part of a message file's name.
    static QByteArray uniqueOf(const QString& fileName)
    {
        return QFile::encodeName(fileName.section(QLatin1Char(':'), 0, 0));
    }

    QDir m_dir;
    IdentityCounts m_held;
    std::mutex m_indexMutex;
    QHash<QByteArray, QByteArray> m_index; // under m_indexMutex once mails are written
    bool m_indexChanged = false;           // under m_indexMutex once mails are written
};

} // namespace

QByteArray MaildirDestination::info(const MailEnvelope& envelope)
{
    QByteArray flags = "2,";
    if (envelope.draft)
        flags += 'D';
    if (envelope.flagged)
        flags += 'F';
    if (envelope.answered)
        flags += 'R';
    if (envelope.seen)
        flags += 'S';
    return flags;
}

bool MaildirDestination::reservesName(const QString& name) const
{
    return name == QLatin1String("cur") || name == QLatin1String("new") || name == QLatin1String("tmp");
}

std::unique_ptr<DestinationFolder> MaildirDestination::openFolder(const Folder& folder, QString* failure)
{
    auto opened = std::make_unique<MaildirFolder>(folder.directory);
    if (!opened->open(failure))
        return nullptr;
    return opened;
}

} // namespace convert
