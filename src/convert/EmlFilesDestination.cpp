#include "EmlFilesDestination.h"

#include "NewFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <mutex>
#include <vector>

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
        m_index.open(QIODevice::WriteOnly | QIODevice::Append);
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
        std::lock_guard lock(m_mutex);
        const auto found = m_listed.find(identity);
        if (found == m_listed.end())
            return false;
        for (Listed& listed : found.value()) {
            if (listed.claimed)
                continue;
            const QFileInfo info(QDir(m_directory).filePath(listed.name));
            if (info.isFile() && info.size() == listed.size &&
                info.lastModified().toMSecsSinceEpoch() == listed.modified) {
                listed.claimed = true;
                return true;
            }
        }
        return false;
    }

private:
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
        m_index.write(line);
    }

    QString m_directory;
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
