#include "MboxDestination.h"

#include "IdentityCounts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cstring>
#include <optional>
#include <vector>
#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

namespace convert {

namespace {

// Where the messages of a folder's mbox are listed with their identities, for a re-run that
// finds the file as the last run left it: "mbox TAB size TAB mtime-ms", then "start TAB identity".
constexpr const char* kIndexName = ".ost2eml-mbox-index";

QByteArray asctime(const QDateTime& when)
{
    static const char* const days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDateTime utc = (when.isValid() ? when : QDateTime::fromSecsSinceEpoch(0)).toUTC();
    const QDate date = utc.date();
    const QTime time = utc.time();
    return QByteArray(days[date.dayOfWeek() - 1]) + ' ' + months[date.month() - 1] + ' ' +
           QByteArray::number(date.day()).rightJustified(2, ' ') + ' ' +
           time.toString(QStringLiteral("HH:mm:ss")).toLatin1() + ' ' + QByteArray::number(date.year());
}

// Whether the line at data starts with ">*From ".
bool quotable(const char* data, qsizetype size)
{
    qsizetype at = 0;
    while (at < size && data[at] == '>')
        ++at;
    return size - at >= 5 && std::memcmp(data + at, "From ", 5) == 0;
}

class MboxFolder : public DestinationFolder
{
public:
    explicit MboxFolder(const QString& path) : m_file(path) {}

    bool open(QString* failure)
    {
        if (QFileInfo::exists(m_file.fileName()) && !readIndex()) {
            m_indexChanged = true;
            const bool read = MboxDestination::readMessages(m_file.fileName(),
                                                            [this](const QByteArray& identity, qint64 start) {
                                                                m_messages.push_back({start, identity});
                                                            });
            if (!read) {
                *failure = QStringLiteral("cannot read ") + m_file.fileName();
                return false;
            }
        }
        for (std::size_t i = 0; i + 1 < m_messages.size(); ++i)
            m_held.add(m_messages[i].identity);
        if (!m_messages.empty())
            m_tail = m_messages.back();
        if (!m_file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered)) {
            *failure = QStringLiteral("cannot open ") + m_file.fileName() + QStringLiteral(": ") +
                       m_file.errorString();
            return false;
        }
        // A "From " line that a kill cut short holds no message.
        if (m_tail && m_tail->identity.isEmpty()) {
            QFile stored(m_file.fileName());
            if (stored.open(QIODevice::ReadOnly) && stored.seek(m_tail->start) &&
                !stored.readAll().contains('\n')) {
                m_file.resize(m_tail->start);
                m_messages.pop_back();
                m_indexChanged = true;
            }
        }
        m_tailEnd = m_file.size();
        // A file that does not end its last line would join it with the next "From " line.
        if (const qint64 size = m_file.size(); size > 0) {
            QFile last(m_file.fileName());
            m_endsLine = last.open(QIODevice::ReadOnly) && last.seek(size - 1) && last.read(1) == "\n";
        }
        return true;
    }

    ~MboxFolder() override
    {
        if (!m_indexChanged || !m_file.isOpen())
            return;
        m_file.close();
        // Written whole and then put in place, naming the size and time of the file it lists.
        QSaveFile index(indexPath());
        if (!index.open(QIODevice::WriteOnly))
            return;
        const QFileInfo info(m_file.fileName());
        QByteArray text = "mbox\t" + QByteArray::number(info.size()) + '\t' +
                          QByteArray::number(info.lastModified().toMSecsSinceEpoch()) + '\n';
        for (const Message& message : m_messages) {
            if (message.identity.contains('\n'))
                return; // not to be listed: the next run reads the file
            text += QByteArray::number(message.start) + '\t' + message.identity + '\n';
        }
        if (index.write(text) == text.size())
            index.commit();
    }

    Result write(const DestinationMail& mail, QString* failure) override
    {
        QByteArray record = MboxDestination::record(mail);
        if (m_tail && m_tail->identity == mail.identity && !mail.identity.isEmpty()) {
            const qint64 start = m_tail->start;
            m_tail.reset();
            // What the file held from its last message on when it was opened: mails written since
            // come after it.
            QFile stored(m_file.fileName());
            if (stored.open(QIODevice::ReadOnly) && stored.seek(start) &&
                stored.read(m_tailEnd - start) == record)
                return Result::AlreadyThere;
            // Cut short by a kill: written again in its place, where nothing came after it. Else
            // the part stays where it is, and the mail comes at the end.
            if (m_file.size() == m_tailEnd) {
                m_messages.pop_back();
                m_indexChanged = true;
                if (!m_file.resize(start)) {
                    *failure = QStringLiteral("cannot write ") + m_file.fileName() + QStringLiteral(": ") +
                               m_file.errorString();
                    return Result::Failed;
                }
                m_endsLine = true;
            }
        } else if (m_held.take(mail.identity)) {
            return Result::AlreadyThere;
        }
        if (!m_endsLine)
            record.prepend('\n');
        const qint64 size = m_file.size();
        m_indexChanged = true;
        if (m_file.write(record) != record.size()) {
            *failure = QStringLiteral("cannot write ") + m_file.fileName() + QStringLiteral(": ") +
                       m_file.errorString();
            m_file.resize(size);
            return Result::Failed;
        }
        m_messages.push_back({m_endsLine ? size : size + 1, mail.identity});
        m_endsLine = true;
        return Result::Written;
    }

    bool claim(const QByteArray& identity) override { return m_held.take(identity); }

private:
    struct Message
    {
        qint64 start = 0;
        QByteArray identity;
    };

    QString indexPath() const
    {
        return QFileInfo(m_file.fileName()).dir().filePath(QString::fromLatin1(kIndexName));
    }

    // The file's messages as a list written after the last change names them: only where the
    // file still has the size and modification time the list names.
    bool readIndex()
    {
        QFile index(indexPath());
        if (!index.open(QIODevice::ReadOnly))
            return false;
        const QList<QByteArray> lines = index.readAll().split('\n');
        const QList<QByteArray> head = lines.value(0).split('\t');
        const QFileInfo info(m_file.fileName());
        if (head.size() != 3 || head[0] != "mbox" || head[1].toLongLong() != info.size() ||
            head[2].toLongLong() != info.lastModified().toMSecsSinceEpoch())
            return false;
        std::vector<Message> messages;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            if (lines[i].isEmpty())
                continue;
            const qsizetype tab = lines[i].indexOf('\t');
            bool number = false;
            const qint64 start = tab > 0 ? lines[i].left(tab).toLongLong(&number) : 0;
            if (!number || start < 0 || start >= info.size() ||
                (!messages.empty() && start <= messages.back().start))
                return false;
            messages.push_back({start, lines[i].mid(tab + 1)});
        }
        m_messages = std::move(messages);
        return true;
    }

    QFile m_file;
    std::vector<Message> m_messages; // every message of the file, in order
    bool m_indexChanged = false;
    IdentityCounts m_held;
    std::optional<Message> m_tail; // the file's last message, until its mail comes
    qint64 m_tailEnd = 0;          // where the file ended when it was opened
    bool m_endsLine = true;
};

} // namespace

QByteArray MboxDestination::record(const DestinationMail& mail)
{
    const QByteArray& bytes = mail.bytes;
    QByteArray out;
    out.reserve(bytes.size() + 128);
    out += "From ";
    out += mail.envelope.senderAddress.isEmpty() ? QByteArray("MAILER-DAEMON") : mail.envelope.senderAddress;
    out += ' ' + asctime(mail.envelope.delivered) + '\n';
    qsizetype at = 0;
    while (at < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', at);
        end = end < 0 ? bytes.size() : end + 1;
        if (quotable(bytes.constData() + at, end - at))
            out += '>';
        out.append(bytes.constData() + at, end - at);
        at = end;
    }
    if (!out.endsWith('\n'))
        out += '\n';
    out += '\n';
    return out;
}

bool MboxDestination::readMessages(const QString& path,
                                   const std::function<void(const QByteArray& identity, qint64 start)>& found)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (file.size() == 0)
        return true;
    const uchar* mapped = file.map(0, file.size());
    if (!mapped)
        return false;
    const QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(mapped), file.size());
    // The pages read are let go of behind the reading, so that reading a file of gigabytes
    // does not hold them all.
    qsizetype released = 0;
    const auto release = [&](qsizetype upTo) {
        constexpr qsizetype kWindow = 64 << 20;
        if (upTo - released < kWindow)
            return;
#ifdef Q_OS_LINUX
        const qsizetype end = upTo & ~qsizetype(kWindow - 1);
        ::madvise(const_cast<uchar*>(mapped) + released, static_cast<std::size_t>(end - released), MADV_DONTNEED);
        released = end;
#endif
    };
    // Every line that starts with "From " starts a message: the messages' own are quoted.
    qsizetype start = data.startsWith("From ") ? 0 : data.indexOf("\nFrom ");
    while (start >= 0) {
        release(start);
        if (data.at(start) == '\n')
            ++start;
        const qsizetype header = data.indexOf('\n', start);
        if (header < 0) {
            found(QByteArray(), start); // a "From " line cut short
            break;
        }
        const qsizetype next = data.indexOf("\nFrom ", header);
        const qsizetype end = next < 0 ? data.size() : next + 1;
        found(MailEnvelope::identityOf(
                  QByteArray::fromRawData(data.constData() + header + 1, end - header - 1)),
              start);
        start = next;
    }
    return true;
}

std::unique_ptr<DestinationFolder> MboxDestination::openFolder(const Folder& folder, QString* failure)
{
    if (!QDir().mkpath(folder.directory)) {
        *failure = QStringLiteral("cannot create the folder ") + folder.directory;
        return nullptr;
    }
    auto opened =
        std::make_unique<MboxFolder>(QDir(folder.directory).filePath(folder.name + QStringLiteral(".mbox")));
    if (!opened->open(failure))
        return nullptr;
    return opened;
}

} // namespace convert
