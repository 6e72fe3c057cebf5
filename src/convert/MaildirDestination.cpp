#include "MaildirDestination.h"

#include "IdentityCounts.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace convert {

namespace {

constexpr const char* kOwnSuffix = ".ost2eml";
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
        for (const char* sub : {"cur", "new"}) {
            QDirIterator it(m_dir.filePath(QString::fromLatin1(sub)), QDir::Files);
            while (it.hasNext())
                m_held.add(MailEnvelope::identityOf(headerOf(it.next())));
        }
        return true;
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
    QDir m_dir;
    IdentityCounts m_held;
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
