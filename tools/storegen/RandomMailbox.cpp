#include "RandomMailbox.h"

#include "MessageBuilder.h"
#include "RandomSource.h"

#include <QDateTime>
#include <QTimeZone>
#include <vector>

namespace storegen {

namespace {

const char* const kFirstNames[] = {"Anna",   "Ben",    "Clara", "David", "Emma",  "Felix", "Greta",
                                   "Hugo",   "Ines",   "Jonas", "Karla", "Lukas", "Mia",   "Noah",
                                   "Olivia", "Paul",   "Quinn", "Rosa",  "Simon", "Tara",  "Uwe",
                                   "Vera",   "Walter", "Xenia", "Yusuf", "Zoe"};
const char* const kLastNames[] = {"Adams",   "Becker", "Costa",   "Dubois", "Evans",    "Fischer",
                                  "Garcia",  "Hansen", "Ivanova", "Jensen", "Kowalski", "Larsen",
                                  "Meyer",   "Novak",  "Olsen",   "Petrov", "Quint",    "Rossi",
                                  "Schmidt", "Tanaka", "Ueda",    "Vogel",  "Weber",    "Young"};
const char* const kDomains[] = {"example.com", "example.org", "corp.example", "mail.example.net",
                                "partner.example"};
const char* const kTopics[] = {"Quarterly report", "Budget review",     "Meeting notes",  "Project status",
                               "Invoice",          "Travel plans",      "Contract draft", "Release schedule",
                               "Server outage",    "Customer feedback", "Team lunch",     "Hiring update",
                               "Security audit",   "Training session",  "Migration plan", "Design review"};
const char* const kPrefixes[] = {"", "", "", "RE: ", "FW: ", "RE: RE: "};
const char* const kWords[] = {
    "the",    "project",  "meeting",   "please",   "review",  "attached", "document", "team", "schedule",
    "update", "client",   "deadline",  "report",   "numbers", "thanks",   "budget",   "next", "week",
    "status", "question", "regarding", "proposal", "server",  "and",      "with",     "for",  "we",
    "will",   "can",      "you",       "send",     "confirm", "agenda",   "notes"};
const char* const kNonAscii[] = {
    "Grüße aus München – Übersicht", "会議の議事録について", "Отчёт за квартал",
    "Réunion à Genève — café",       "Ελληνικά σημειώσεις",  "Zażółć gęślą jaźń"};
const char* const kLocations[] = {
    "Room 1.01",     "Board room", "Online", "Café Central", "Building B, 3rd floor",
    "Конференц-зал", "会議室 A"};
const char* const kAttachmentKinds[][2] = {
    {"pdf", "application/pdf"},
    {"docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
    {"xlsx", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
    {"png", "image/png"},
    {"jpg", "image/jpeg"},
    {"txt", "text/plain"},
    {"zip", "application/zip"}};

QString latin(const char* s)
{
    return QString::fromUtf8(s);
}

// Text and bytes are cut from pools made once per run, which keeps 100,000 messages fast.
class Pools
{
public:
    explicit Pools(RandomSource& random)
    {
        QString text;
        while (text.size() < 200000) {
            const int sentence = static_cast<int>(random.range(6, 18));
            for (int w = 0; w < sentence; ++w) {
                QString word = latin(random.pick(kWords));
                if (w == 0)
                    word[0] = word[0].toUpper();
                text += word;
                text += w + 1 == sentence ? QStringLiteral(". ") : QStringLiteral(" ");
            }
            if (random.percent(15))
                text += QStringLiteral("\r\n\r\n");
        }
        m_text = text;
        m_bytes.resize(4 << 20);
        for (qsizetype i = 0; i + 8 <= m_bytes.size(); i += 8) {
            const std::uint64_t v = random.next();
            std::memcpy(m_bytes.data() + i, &v, 8);
        }
    }

    QString text(RandomSource& random, qsizetype length) const
    {
        QString out;
        out.reserve(length);
        while (out.size() < length) {
            const qsizetype from =
                static_cast<qsizetype>(random.range(0, static_cast<std::uint64_t>(m_text.size() / 2)));
            out += QStringView(m_text).mid(from, std::min(length - out.size(), m_text.size() - from));
        }
        return out;
    }

    QByteArray bytes(RandomSource& random, qsizetype size) const
    {
        QByteArray out;
        out.reserve(size);
        while (out.size() < size) {
            const qsizetype from =
                static_cast<qsizetype>(random.range(0, static_cast<std::uint64_t>(m_bytes.size() / 2)));
            out.append(m_bytes.constData() + from, std::min(size - out.size(), m_bytes.size() - from));
        }
        return out;
    }

private:
    QString m_text;
    QByteArray m_bytes;
};

struct Person
{
    QString name;
    QString email;
};

Person person(RandomSource& random)
{
    const QString first = latin(random.pick(kFirstNames));
    const QString last = latin(random.pick(kLastNames));
    return Person{first + QLatin1Char(' ') + last, first.toLower() + QLatin1Char('.') + last.toLower() +
                                                       QLatin1Char('@') + latin(random.pick(kDomains))};
}

QByteArray htmlOf(const QString& text)
{
    QString escaped = text.toHtmlEscaped();
    escaped.replace(QStringLiteral("\r\n\r\n"), QStringLiteral("</p>\r\n<p>"));
    return (QStringLiteral(
                "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"
                "</head><body><div style=\"font-family:Calibri,sans-serif\"><p>") +
            escaped + QStringLiteral("</p></div></body></html>"))
        .toUtf8();
}

QByteArray rtfOf(const QString& text)
{
    QByteArray body;
    for (QChar c : text) {
        if (c == QLatin1Char('\n'))
            body += "\\par\r\n";
        else if (c == QLatin1Char('\r'))
            continue;
        else if (c == QLatin1Char('\\') || c == QLatin1Char('{') || c == QLatin1Char('}'))
            body += '\\' + QByteArray(1, static_cast<char>(c.unicode()));
        else if (c.unicode() < 0x80)
            body += static_cast<char>(c.unicode());
        else
            body += "\\u" + QByteArray::number(static_cast<qint16>(c.unicode())) + '?';
    }
    return "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0 Calibri;}}\\f0\\fs22 " + body + "}";
}

std::uint64_t randomTime(RandomSource& random)
{
    // Spread over 2019-2024.
    const qint64 start = QDateTime(QDate(2019, 1, 1), QTime(0, 0), QTimeZone::utc()).toSecsSinceEpoch();
    const qint64 seconds = start + static_cast<qint64>(random.range(0, 6ull * 365 * 86400));
    return MessageBuilder::fileTime(QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc()));
}

qsizetype bodyLength(RandomSource& random)
{
    if (random.percent(1.5))
        return static_cast<qsizetype>(random.range(33000, 70000)); // UTF-16: above 65,000 bytes
    if (random.percent(20))
        return static_cast<qsizetype>(random.range(2000, 12000));
    return static_cast<qsizetype>(random.range(150, 2500));
}

qsizetype attachmentSize(RandomSource& random)
{
    if (random.percent(1.5))
        return static_cast<qsizetype>(random.range(300000, 2 * 1024 * 1024));
    if (random.percent(12))
        return static_cast<qsizetype>(random.range(30000, 300000));
    return static_cast<qsizetype>(random.range(1024, 30000));
}

// The texts of an ANSI store are in the store's code page, and so is what its messages name as
// their internet code page (the writer sets it); other stores keep the mail's own.
Message simpleMail(RandomSource& random, const Pools& pools, const QString& subject, bool ansi)
{
    const Person from = person(random);
    const Person to = person(random);
    const std::uint64_t when = randomTime(random);
    MessageBuilder b;
    b.subject(subject)
        .sender(from.name, from.email)
        .to(to.name, to.email)
        .times(when, when + 600000000)
        .flags(1)
        .plainBody(pools.text(random, 400));
    if (!ansi)
        b.codePage(65001);
    return b.build();
}

Message mail(RandomSource& random, const Pools& pools, std::uint64_t serial, bool ansi)
{
    MessageBuilder b;
    QString subject = latin(random.pick(kPrefixes)) + latin(random.pick(kTopics));
    if (random.percent(6))
        subject = latin(random.pick(kNonAscii));
    subject += QStringLiteral(" #%1").arg(serial);
    b.subject(subject);
    const Person from = person(random);
    b.sender(from.name, from.email);

    std::uint64_t recipients = 1;
    if (random.percent(15))
        recipients = random.range(5, 20);
    else if (random.percent(40))
        recipients = random.range(2, 4);
    for (std::uint64_t i = 0; i < recipients; ++i) {
        const Person p = person(random);
        const std::uint32_t type = i == 0 ? 1 : random.percent(70) ? 1 : random.percent(80) ? 2 : 3;
        b.recipient(type, p.name, p.email);
    }

    const std::uint64_t sent = randomTime(random);
    b.times(sent, sent + random.range(10000000, 3000000000));
    std::uint32_t flags = random.percent(75) ? 1 : 0;
    b.flags(flags);
    b.importance(static_cast<std::uint32_t>(random.percent(90) ? 1 : random.range(0, 2)));
    b.priority(random.percent(90) ? 0 : static_cast<std::int32_t>(random.range(0, 2)) - 1);
    b.sensitivity(random.percent(95) ? 0 : static_cast<std::uint32_t>(random.range(1, 3)));
    const QString domain = from.email.mid(from.email.indexOf(QLatin1Char('@')) + 1);
    const QString id = QStringLiteral("<%1.%2@%3>").arg(serial).arg(random.next() % 1000000000).arg(domain);
    b.messageId(id);
    if (subject.startsWith(QStringLiteral("RE:"))) {
        const QString parent = QStringLiteral("<%1@%2>").arg(random.next() % 1000000000).arg(domain);
        b.inReplyTo(parent);
        b.references(parent);
    }
    const std::uint32_t codePage = random.percent(80) ? 65001 : 1252;
    if (!ansi)
        b.codePage(codePage);
    if (random.percent(30)) {
        b.transportHeaders(
            QStringLiteral("Received: from mx.%1 by mail.example.com; Mon, 1 Jan 2024 10:00:00 +0000\r\n"
                           "Message-ID: %2\r\nSubject: %3\r\nFrom: %4 <%5>\r\nMIME-Version: 1.0\r\n\r\n")
                .arg(domain, id, subject, from.name, from.email));
    }

    QString text = pools.text(random, bodyLength(random));
    if (random.percent(5))
        text.prepend(latin(random.pick(kNonAscii)) + QStringLiteral("\r\n\r\n"));
    text.prepend(QStringLiteral("Hello,\r\n\r\n"));
    text += QStringLiteral("\r\n\r\nBest regards,\r\n") + from.name;
    const std::uint64_t kind = random.range(0, 99);
    if (kind < 50) {
        b.plainBody(text);
        b.htmlBody(htmlOf(text));
    } else if (kind < 85) {
        b.plainBody(text);
    } else {
        b.plainBody(text);
        b.rtfBody(rtfOf(text));
    }

    if (random.percent(20)) {
        std::uint64_t count = 1;
        if (random.percent(50))
            count = random.percent(50) ? 2 : random.range(3, 5);
        for (std::uint64_t i = 0; i < count; ++i) {
            if (random.percent(4)) {
                b.attachMessage(simpleMail(random, pools,
                                           QStringLiteral("Forwarded: ") + latin(random.pick(kTopics)), ansi),
                                QStringLiteral("Forwarded message"));
                continue;
            }
            const auto& kind2 = random.pick(kAttachmentKinds);
            const QString name =
                QStringLiteral("%1_%2.%3")
                    .arg(latin(random.pick(kTopics)).replace(QLatin1Char(' '), QLatin1Char('_')))
                    .arg(i + 1)
                    .arg(latin(kind2[0]));
            b.attach(name, latin(kind2[1]), pools.bytes(random, attachmentSize(random)));
        }
    }
    return b.build();
}

Message contact(RandomSource& random)
{
    const QString first = latin(random.pick(kFirstNames));
    const QString last = latin(random.pick(kLastNames));
    const QString email =
        first.toLower() + QLatin1Char('.') + last.toLower() + QLatin1Char('@') + latin(random.pick(kDomains));
    return MessageBuilder(QStringLiteral("IPM.Contact"))
        .contact(first, last, email)
        .property(Property::text(0x3A16, QStringLiteral("Example Corp")))
        .property(Property::text(0x3A17, QStringLiteral("Engineer")))
        .property(Property::text(0x3A08, QStringLiteral("+1 555 %1").arg(random.range(1000000, 9999999))))
        .property(Property::text(0x3A1C, QStringLiteral("+1 555 %1").arg(random.range(1000000, 9999999))))
        .flags(1)
        .build();
}

Message appointment(RandomSource& random)
{
    const std::uint64_t start = randomTime(random);
    const std::uint64_t end = start + random.range(1, 8) * 15 * 600000000ull;
    MessageBuilder b(QStringLiteral("IPM.Appointment"));
    b.subject(latin(random.pick(kTopics))).appointment(start, end, latin(random.pick(kLocations))).flags(1);
    if (random.percent(15))
        b.recurrence(QStringLiteral("every week on Monday from 09:00 to 10:00"), start,
                     start + 520ull * 7 * 86400 * 10000000);
    return b.build();
}

Message task(RandomSource& random)
{
    const QUuid set = propertyset::task();
    const std::uint64_t due = randomTime(random);
    return MessageBuilder(QStringLiteral("IPM.Task"))
        .subject(QStringLiteral("Follow up: ") + latin(random.pick(kTopics)))
        .property(Property::namedAs(set, 0x8105, Property::fileTime(0, due)))
        .property(Property::namedAs(set, 0x8101,
                                    Property::integer32(0, static_cast<std::uint32_t>(random.range(0, 2)))))
        .flags(1)
        .build();
}

} // namespace

RandomMailbox::RandomMailbox(std::uint64_t messages, std::uint64_t seed) : m_messages(messages), m_seed(seed)
{
}

void RandomMailbox::write(StoreWriter& writer)
{
    RandomSource random(m_seed);
    const Pools pools(random);
    const bool ansi = writer.options().format == FileFormat::Ansi;
    writer.setDisplayName(QStringLiteral("Mailbox"));

    const std::uint32_t top = writer.addFolder(StoreWriter::kRootFolder, latin("Top of Personal Folders"),
                                               latin(""), FolderRole::IpmSubtree);
    const std::uint32_t inbox = writer.addFolder(top, latin("Inbox"), latin("IPF.Note"), FolderRole::Inbox);
    const std::uint32_t projects = writer.addFolder(inbox, latin("Projects"), latin("IPF.Note"));
    const std::uint32_t alpha = writer.addFolder(projects, latin("Alpha"), latin("IPF.Note"));
    const std::uint32_t archive = writer.addFolder(alpha, latin("Archive 2023"), latin("IPF.Note"));
    const std::uint32_t beta = writer.addFolder(projects, latin("Beta"), latin("IPF.Note"));
    const std::uint32_t vendors = writer.addFolder(inbox, latin("Vendors"), latin("IPF.Note"));
    const std::uint32_t newsletters = writer.addFolder(inbox, latin("Newsletters"), latin("IPF.Note"));
    const std::uint32_t sent = writer.addFolder(top, latin("Sent Items"), latin("IPF.Note"), FolderRole::SentItems);
    const std::uint32_t deleted =
        writer.addFolder(top, latin("Deleted Items"), latin("IPF.Note"), FolderRole::DeletedItems);
    const std::uint32_t calendar = writer.addFolder(top, latin("Calendar"), latin("IPF.Appointment"));
    const std::uint32_t contacts = writer.addFolder(top, latin("Contacts"), latin("IPF.Contact"));
    const std::uint32_t tasks = writer.addFolder(top, latin("Tasks"), latin("IPF.Task"));

    struct Weighted
    {
        std::uint32_t folder;
        std::uint64_t weight;
    };
    const Weighted mailFolders[] = {{inbox, 35},  {projects, 6},    {alpha, 8}, {archive, 10}, {beta, 6},
                                    {vendors, 8}, {newsletters, 5}, {sent, 15}, {deleted, 7}};
    std::uint64_t totalWeight = 0;
    for (const Weighted& w : mailFolders)
        totalWeight += w.weight;

    // Contacts, appointments and tasks come in proportion to the mail, interleaved with it.
    for (std::uint64_t i = 0; i < m_messages; ++i) {
        std::uint64_t roll = random.range(0, totalWeight - 1);
        std::uint32_t target = inbox;
        for (const Weighted& w : mailFolders) {
            if (roll < w.weight) {
                target = w.folder;
                break;
            }
            roll -= w.weight;
        }
        writer.addMessage(target, mail(random, pools, i + 1, ansi));
        if (i % 20 == 10)
            writer.addMessage(contacts, contact(random));
        if (i % 20 == 15)
            writer.addMessage(calendar, appointment(random));
        if (i % 50 == 25)
            writer.addMessage(tasks, task(random));
    }
}

} // namespace storegen
