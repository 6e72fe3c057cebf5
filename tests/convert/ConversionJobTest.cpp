#include "convert/ConversionJob.h"

#include "FakeStore.h"
#include "FileTree.h"
#include "SampleRecurrence.h"
#include "convert/FileSystemNames.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

namespace {

using convert::ConversionJob;
using support::FakeNode;
using support::FakeStore;

using support::filesBelow;
using support::readAll;

class EmlConversion : public ::testing::Test
{
protected:
    EmlConversion()
    {
        m_top = &m_store.root().addFolder(QStringLiteral("Top of Information Store"));
        m_inbox = &m_top->addFolder(QStringLiteral("Inbox"));
    }

    ConversionJob::Outcome convert(const QString& destination, convert::ConversionOptions options = {})
    {
        options.storePath = QStringLiteral("/somewhere/mailbox.ost");
        options.destination = destination;
        m_job = std::make_unique<ConversionJob>(options);
        return m_job->run(m_store);
    }

    QString out(const QString& relative) const
    {
        return m_dir.filePath(QStringLiteral("mailbox.ost/") + relative);
    }

    FakeStore m_store;
    FakeNode* m_top = nullptr;
    FakeNode* m_inbox = nullptr;
    QTemporaryDir m_dir;
    std::unique_ptr<ConversionJob> m_job;
};

TEST_F(EmlConversion, WritesOneFilePerMailUnderTheFolderPath)
{
    m_inbox->addMail(QStringLiteral("Hello: world?")).setPlainTextBody(QStringLiteral("body one"));
    m_inbox->addFolder(QStringLiteral("Projects/2024")).addMail(QStringLiteral("Plans"));
    m_top->addFolder(QStringLiteral("Sent Items")).addMail(QString());

    ASSERT_EQ(convert(m_dir.path()), ConversionJob::Outcome::Completed);
    EXPECT_TRUE(QFile::exists(out(QStringLiteral("Top of Information Store/Inbox/00001 Hello_ world_.eml"))));
    EXPECT_TRUE(
        QFile::exists(out(QStringLiteral("Top of Information Store/Inbox/Projects_2024/00002 Plans.eml"))));
    EXPECT_TRUE(
        QFile::exists(out(QStringLiteral("Top of Information Store/Sent Items/00003 (no subject).eml"))));
    const QByteArray first =
        readAll(out(QStringLiteral("Top of Information Store/Inbox/00001 Hello_ world_.eml")));
    EXPECT_TRUE(first.contains("Subject: Hello: world?\r\n"));
    EXPECT_TRUE(first.contains("body one"));
    EXPECT_EQ(m_job->report().written(), 3);
    EXPECT_FALSE(m_job->report().hasFailures());
    EXPECT_TRUE(QFile::exists(m_dir.filePath(QStringLiteral("conversion-report.txt"))));
    EXPECT_TRUE(QFile::exists(m_dir.filePath(QStringLiteral("conversion-report.json"))));
}

TEST_F(EmlConversion, TwoRunsGiveTheSameBytesAndNothingIsOverwritten)
{
    FakeNode& mail = m_inbox->addMail(QStringLiteral("Report"));
    mail.setHtmlBody("<p>Quarterly <img src=\"cid:chart\"></p>")
        .setPlainTextBody(QStringLiteral("Quarterly"));
    mail.addDataAttachment(QStringLiteral("chart.png"), QByteArray(5000, '\x89'))
        .setString(0x3712, QStringLiteral("chart"));
    mail.addDataAttachment(QStringLiteral("Zahlen für 2024.xlsx"), QByteArray(70000, 'x'));
    mail.addEmbeddedItem()
        .setString(0x0037, QStringLiteral("Inner"))
        .setPlainTextBody(QStringLiteral("inner body"));
    mail.addRecipient(QStringLiteral("Ann"), QStringLiteral("ann@example.com"));

    QTemporaryDir second;
    ASSERT_EQ(convert(m_dir.path()), ConversionJob::Outcome::Completed);
    ASSERT_EQ(convert(second.path()), ConversionJob::Outcome::Completed);
    const auto a = filesBelow(m_dir.path());
    const auto b = filesBelow(second.path());
    ASSERT_EQ(a.size(), 3u);
    for (const auto& [path, bytes] : a) {
        if (path.startsWith(QLatin1String("conversion-report")))
            continue;
        ASSERT_TRUE(b.count(path)) << path.toStdString();
        EXPECT_EQ(bytes, b.at(path)) << path.toStdString();
    }

    // A second conversion into the same place keeps the first files and numbers the new ones.
    const QString eml = out(QStringLiteral("Top of Information Store/Inbox/00001 Report.eml"));
    QFile::resize(eml, 10);
    ASSERT_EQ(convert(m_dir.path()), ConversionJob::Outcome::Completed);
    EXPECT_EQ(QFileInfo(eml).size(), 10);
    EXPECT_TRUE(QFile::exists(out(QStringLiteral("Top of Information Store/Inbox/00001 Report (2).eml"))));
    EXPECT_TRUE(QFile::exists(m_dir.filePath(QStringLiteral("conversion-report (2).txt"))));
}

TEST_F(EmlConversion, DamagedItemsAreReportedAndTheRestIsConverted)
{
    m_inbox->addMail(QStringLiteral("good one"));
    m_inbox->addMail(QStringLiteral("unreadable")).makeUnfetchable();
    FakeNode& partial = m_inbox->addMail(QStringLiteral("attachment lost"));
    partial.addDataAttachment(QStringLiteral("a.bin"), "data");
    partial.attachmentNode(0).failOn(support::FakeOp::AttachmentData);
    m_inbox->addMail(QStringLiteral("good two"));
    m_inbox->addMessage(store::ItemType::Contact);
    m_inbox->addMessage(store::ItemType::Task);

    ASSERT_EQ(convert(m_dir.path()), ConversionJob::Outcome::Completed);
    const convert::ConversionReport& report = m_job->report();
    EXPECT_EQ(report.mailsSeen(), 4);
    EXPECT_EQ(report.written(), 3);
    EXPECT_EQ(report.failed(), 1);
    EXPECT_EQ(report.incomplete(), 1);
    EXPECT_EQ(report.notConverted(), 2);
    EXPECT_TRUE(report.hasFailures());
    // The unreadable mail keeps its serial number, so the names of the others do not depend on it.
    EXPECT_TRUE(QFile::exists(out(QStringLiteral("Top of Information Store/Inbox/00004 good two.eml"))));
    const QByteArray text = readAll(m_job->reportPath());
    EXPECT_TRUE(text.contains("FAILED item 2")) << text.constData();
    EXPECT_TRUE(text.contains("incomplete mail 00003 \"attachment lost\": attachment 1")) << text.constData();
    const QJsonObject json =
        QJsonDocument::fromJson(readAll(m_dir.filePath(QStringLiteral("conversion-report.json")))).object();
    EXPECT_EQ(json.value(QStringLiteral("totals")).toObject().value(QStringLiteral("failed")).toInt(), 1);
}

TEST_F(EmlConversion, OtherKindsAreCountedPerKindAndDamagedOnesDoNotStopTheirFolder)
{
    FakeNode& contacts = m_top->addFolder(QStringLiteral("Kontakte: privat"));
    contacts.addMessage(store::ItemType::Contact).setString(0x3001, QStringLiteral("Ann"));
    contacts.addMessage(store::ItemType::Contact).makeUnfetchable();
    contacts.addMessage(store::ItemType::Contact).setString(0x3001, QStringLiteral("Bob"));
    FakeNode& calendar = m_top->addFolder(QStringLiteral("Calendar"));
    calendar.addMessage(store::ItemType::Appointment).setString(0x0037, QStringLiteral("no start"));
    calendar.addMessage(store::ItemType::Appointment)
        .setString(0x0037, QStringLiteral("Review"))
        .setFileTime(0x820D, 133560000000000000ULL)
        .setFileTime(0x820E, 133560036000000000ULL);
    calendar.addMessage(store::ItemType::Task);
    m_inbox->addMail(QStringLiteral("mail"));

    convert::ConversionOptions options;
    options.kinds.contacts = true;
    options.kinds.calendar = true;
    ASSERT_EQ(convert(m_dir.path(), options), ConversionJob::Outcome::Completed);
    const convert::ConversionReport& report = m_job->report();
    const auto kinds = report.kinds();
    ASSERT_EQ(kinds.size(), 2u);
    // An item that cannot be fetched has no known kind: it fails as an item of the folder.
    EXPECT_EQ(kinds.at(QStringLiteral("contact")).seen, 2);
    EXPECT_EQ(kinds.at(QStringLiteral("contact")).written, 2);
    EXPECT_EQ(report.failed(), 1);
    EXPECT_EQ(kinds.at(QStringLiteral("appointment")).written, 1);
    EXPECT_EQ(kinds.at(QStringLiteral("appointment")).failed, 1);
    EXPECT_EQ(report.written(), 1);
    EXPECT_EQ(report.notConverted(), 1); // the task: not chosen
    EXPECT_EQ(report.kindsFailed(), 1);
    EXPECT_TRUE(report.hasFailures());

    // One file per folder, named after the folder (cleaned), with every item that could be read.
    const QByteArray cards =
        readAll(out(QStringLiteral("Top of Information Store/Kontakte_ privat/Kontakte_ privat.vcf")));
    EXPECT_EQ(cards.count("BEGIN:VCARD"), 2) << cards.constData();
    EXPECT_LT(cards.indexOf("FN:Ann"), cards.indexOf("FN:Bob"));
    const QByteArray events = readAll(out(QStringLiteral("Top of Information Store/Calendar/Calendar.ics")));
    EXPECT_EQ(events.count("BEGIN:VEVENT"), 1) << events.constData();
    EXPECT_TRUE(events.startsWith("BEGIN:VCALENDAR\r\nVERSION:2.0\r\n"));
    const QByteArray text = readAll(m_job->reportPath());
    EXPECT_TRUE(text.contains("FAILED appointment 00005 \"no start\": the appointment has no start time"))
        << text.constData();
    EXPECT_TRUE(text.contains("contact items 2, written 2, failed 0")) << text.constData();
    EXPECT_TRUE(text.contains("appointment items 2, written 1, failed 1")) << text.constData();
}

TEST_F(EmlConversion, ModifiedInstancesWithoutReadableMessagesAreWrittenFromTheSeries)
{
    FakeNode& calendar = m_top->addFolder(QStringLiteral("Calendar"));
    const auto series = [&](const QString& subject) -> FakeNode& {
        return calendar.addMessage(store::ItemType::Appointment)
            .setString(0x0037, subject)
            .setFileTime(0x820D, support::fileTimeOf(2024, 3, 25, 9, 0))
            .setFileTime(0x820E, support::fileTimeOf(2024, 3, 25, 10, 0))
            .setBoolean(0x8223, true)
            .setBinary(0x8216, support::weeklySeriesWithException())
            .setPlainTextBody(QStringLiteral("Agenda"));
    };
    series(QStringLiteral("lost message"));
    FakeNode& unreadable = series(QStringLiteral("unreadable message"));
    unreadable.addEmbeddedItem(store::ItemType::Appointment);
    unreadable.attachmentNode(0).setInteger32(0x7FFD, 2).failOn(support::FakeOp::EmbeddedItem);
    // Found by its attachment's start, but its body cannot be read.
    FakeNode& damaged = series(QStringLiteral("damaged message"));
    damaged.addEmbeddedItem(store::ItemType::Appointment).failOn(support::FakeOp::PlainTextBody);
    damaged.attachmentNode(0).setInteger32(0x7FFD, 2).setFileTime(0x7FFB,
                                                                  support::fileTimeOf(2024, 4, 9, 10, 0));
    // Marked recurring, but the pattern itself is missing: one meeting, and the item is reported.
    calendar.addMessage(store::ItemType::Appointment)
        .setString(0x0037, QStringLiteral("no pattern"))
        .setFileTime(0x820D, support::fileTimeOf(2024, 3, 25, 9, 0))
        .setBoolean(0x8223, true);

    convert::ConversionOptions options;
    options.kinds.calendar = true;
    ASSERT_EQ(convert(m_dir.path(), options), ConversionJob::Outcome::Completed);
    const QByteArray events = readAll(out(QStringLiteral("Top of Information Store/Calendar/Calendar.ics")));
    // Each instance from the blob, with the series' body in place of its own.
    EXPECT_EQ(events.count("RECURRENCE-ID:20240408T090000Z\r\nDTSTART:20240409T100000Z\r\n"
                           "DTEND:20240409T113000Z\r\nSUMMARY:Mü\r\nDESCRIPTION:Agenda\r\n"),
              3)
        << events.constData();
    const QByteArray text = readAll(m_job->reportPath());
    EXPECT_TRUE(text.contains("appointment items 4, written 4, failed 0")) << text.constData();
    EXPECT_TRUE(text.contains("\"no pattern\": the appointment is marked recurring but holds no recurrence "
                              "pattern; written as a single event"))
        << text.constData();
    EXPECT_TRUE(
        text.contains("\"lost message\": the modified instance of 2024-04-08 has no readable message; "
                      "written from the recurrence pattern"))
        << text.constData();
    EXPECT_TRUE(text.contains("\"unreadable message\": attachment 1 cannot be read"));
    EXPECT_TRUE(text.contains("\"damaged message\": the modified instance of 2024-04-08: the plain-text body "
                              "cannot be read"));
}

TEST_F(EmlConversion, HeadersComeFromTheRightProperties)
{
    FakeNode& mail = m_inbox->addMail(QString());
    mail.setString(0x0037, QString(QChar(0x0001)) + QChar(0x0004) + QStringLiteral("RE: Budget"));
    mail.setString(0x0C1A, QStringLiteral("Bob Builder"));
    mail.setString(0x0C1E, QStringLiteral("EX"));
    mail.setString(0x0C1F, QStringLiteral("/O=ORG/OU=EXCHANGE/CN=RECIPIENTS/CN=BOB"));
    mail.setString(0x5D01, QStringLiteral("bob@example.com"));
    mail.setFileTime(0x0E06, support::fileTimeOf(2021, 3, 4, 5, 6, 7));
    mail.setString(0x1035, QStringLiteral("<id-1@example.com>"));
    mail.setString(0x1042, QStringLiteral("<id-0@example.com>"));
    mail.setInteger32(0x0017, 2);
    mail.addRecipientProperties({{0x3001, QStringLiteral("Ann")},
                                 {0x3002, QStringLiteral("EX")},
                                 {0x3003, QStringLiteral("/O=ORG/CN=ANN")},
                                 {0x39FE, QStringLiteral("ann@example.com")}});
    mail.addRecipientProperties(
        {{0x3001, QStringLiteral("Carl")}, {0x3003, QStringLiteral("carl@example.com")}});
    mail.recipientsTable().setInteger32(0x0C15, 1, 0).setInteger32(0x0C15, 2, 1);
    FakeNode& exchangeOnly = m_inbox->addMail(QStringLiteral("x"));
    exchangeOnly.setString(0x0C1A, QStringLiteral("Eve")).setString(0x0C1E, QStringLiteral("EX"));
    exchangeOnly.setString(0x0C1F, QStringLiteral("/O=ORG/CN=EVE"));

    ASSERT_EQ(convert(m_dir.path()), ConversionJob::Outcome::Completed);
    const QByteArray eml =
        readAll(out(QStringLiteral("Top of Information Store/Inbox/00001 RE_ Budget.eml")));
    EXPECT_TRUE(eml.contains("From: Bob Builder <bob@example.com>\r\n")) << eml.constData();
    EXPECT_TRUE(eml.contains("Subject: RE: Budget\r\n"));
    EXPECT_TRUE(eml.contains("To: Ann <ann@example.com>\r\n"));
    EXPECT_TRUE(eml.contains("Cc: Carl <carl@example.com>\r\n"));
    EXPECT_TRUE(eml.contains("Date: Thu, 04 Mar 2021 05:06:07 +0000\r\n"));
    EXPECT_TRUE(eml.contains("Message-ID: <id-1@example.com>\r\n"));
    EXPECT_TRUE(eml.contains("In-Reply-To: <id-0@example.com>\r\n"));
    EXPECT_FALSE(eml.contains("/O=ORG"));
    // No SMTP address anywhere: the name alone, never an invented address.
    const QByteArray other = readAll(out(QStringLiteral("Top of Information Store/Inbox/00002 x.eml")));
    EXPECT_FALSE(other.contains("/O=ORG")) << other.constData();
    EXPECT_TRUE(other.contains("Eve")) << other.constData();
}

TEST_F(EmlConversion, HtmlIsDecodedWithItsCodePage)
{
    m_inbox->addMail(QStringLiteral("cyrillic"))
        .setInteger32(0x3FDE, 1251)
        .setHtmlBody(QByteArray("<p>\xcf\xf0\xe8\xe2\xe5\xf2</p>"));
    m_inbox->addMail(QStringLiteral("unicode"))
        .setHtmlBody(QByteArray("<\0p\0>\0\xe9\0", 8), store::valuetype::Unicode);
    ASSERT_EQ(convert(m_dir.path()), ConversionJob::Outcome::Completed);
    // Written as UTF-8, whatever the store held (quoted-printable in the file).
    const QByteArray cyrillic =
        readAll(out(QStringLiteral("Top of Information Store/Inbox/00001 cyrillic.eml")));
    EXPECT_TRUE(cyrillic.contains("=D0=9F=D1=80=D0=B8=D0=B2=D0=B5=D1=82")) << cyrillic.constData();
    const QByteArray unicode =
        readAll(out(QStringLiteral("Top of Information Store/Inbox/00002 unicode.eml")));
    EXPECT_TRUE(unicode.contains("<p>=C3=A9")) << unicode.constData();
}

TEST_F(EmlConversion, FiltersByFolderAndDate)
{
    m_inbox->addMail(QStringLiteral("old"))
        .setFileTime(0x0039, support::fileTimeOf(2019, 12, 31, 23, 59, 59));
    m_inbox->addMail(QStringLiteral("new")).setFileTime(0x0039, support::fileTimeOf(2020, 1, 1));
    m_inbox->addMail(QStringLiteral("undated"));
    m_top->addFolder(QStringLiteral("Sent Items"))
        .addMail(QStringLiteral("sent"))
        .setFileTime(0x0039, support::fileTimeOf(2020, 6, 1));

    convert::ConversionOptions options;
    options.folderFilters = {QStringLiteral("inbox")};
    options.since = QDateTime(QDate(2020, 1, 1), QTime(0, 0), QTimeZone::utc());
    ASSERT_EQ(convert(m_dir.path(), options), ConversionJob::Outcome::Completed);
    const auto files = filesBelow(out(QString()));
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files.begin()->first, QStringLiteral("Top of Information Store/Inbox/00002 new.eml"));
    EXPECT_EQ(m_job->report().filteredOut(), 2);
}

TEST_F(EmlConversion, ChosenFoldersAreConvertedWithoutTheirSubFolders)
{
    FakeNode& projects = m_inbox->addFolder(QStringLiteral("Projects"));
    FakeNode& sent = m_top->addFolder(QStringLiteral("Sent Items"));
    FakeNode& archive = m_top->addFolder(QStringLiteral("Archive"));
    m_inbox->addMail(QStringLiteral("in inbox"));
    projects.addMail(QStringLiteral("in projects"));
    sent.addMail(QStringLiteral("sent"));
    archive.addMail(QStringLiteral("archived"));
    const auto below = [&] {
        QStringList names;
        for (const auto& [name, bytes] : filesBelow(out(QString())))
            names << name;
        return names;
    };

    // Paths given more than once add up, each with its sub-folders.
    convert::ConversionOptions byPath;
    byPath.folderFilters = {QStringLiteral("inbox"), QStringLiteral("/Top of Information Store/Sent Items/")};
    ASSERT_EQ(convert(m_dir.filePath(QStringLiteral("paths")), byPath), ConversionJob::Outcome::Completed);
    EXPECT_EQ(filesBelow(m_dir.filePath(QStringLiteral("paths/mailbox.ost"))).size(), 3u);

    // Identifiers name single folders: Inbox without Projects, and Archive.
    convert::ConversionOptions byIdentifier;
    byIdentifier.folderIdentifiers = {archive.identifier(), m_inbox->identifier()};
    ASSERT_EQ(convert(m_dir.path(), byIdentifier), ConversionJob::Outcome::Completed);
    EXPECT_EQ(below(), (QStringList{QStringLiteral("Top of Information Store/Archive/00004 archived.eml"),
                                    QStringLiteral("Top of Information Store/Inbox/00001 in inbox.eml")}));
}

TEST_F(EmlConversion, StopEndsAtTheNextItemAndStillWritesTheReport)
{
    for (int i = 0; i < 20; ++i)
        m_inbox->addMail(QStringLiteral("mail %1").arg(i));
    int fetched = 0;
    m_store.setVisitHook([&](const FakeNode& node) {
        if (node.type() == store::ItemType::Email && ++fetched == 5)
            m_job->stop();
    });
    ASSERT_EQ(convert(m_dir.path()), ConversionJob::Outcome::Stopped);
    EXPECT_TRUE(m_store.abortSignalled());
    EXPECT_LT(m_job->report().written(), 20);
    EXPECT_TRUE(m_job->report().stopped());
    EXPECT_TRUE(QFile::exists(m_dir.filePath(QStringLiteral("conversion-report.txt"))));
}

TEST_F(EmlConversion, SameNamedFoldersGetDirectoriesOfTheirOwn)
{
    m_top->addFolder(QStringLiteral("Archive")).addMail(QStringLiteral("a"));
    m_top->addFolder(QStringLiteral("archive")).addMail(QStringLiteral("b"));
    ASSERT_EQ(convert(m_dir.path()), ConversionJob::Outcome::Completed);
    EXPECT_TRUE(QFile::exists(out(QStringLiteral("Top of Information Store/Archive/00001 a.eml"))));
    EXPECT_TRUE(QFile::exists(out(QStringLiteral("Top of Information Store/archive (2)/00002 b.eml"))));
}

// A destination that sends mails in batches (as the IMAP one does): it answers Pending and tells
// what became of each mail when asked to finish. The server refuses one mail.
class BatchingDestination : public convert::Destination
{
public:
    class Folder : public convert::DestinationFolder
    {
    public:
        explicit Folder(BatchingDestination& destination) : m_destination(destination) {}
        Result write(const convert::DestinationMail& mail, QString*) override
        {
            m_held.push_back(mail.serial);
            ++m_destination.pending;
            return Result::Pending;
        }
        void settle(bool all, const Told& told) override
        {
            if (!all)
                return;
            for (const int serial : m_held)
                told(serial, serial == m_destination.refused ? Result::Failed : Result::Written,
                     QStringLiteral("the server refused it"));
            m_destination.pending -= static_cast<int>(m_held.size());
            m_held.clear();
        }

    private:
        BatchingDestination& m_destination;
        std::vector<int> m_held;
    };

    bool writesFiles() const override { return false; }
    bool wantsStoreOrder() const override { return true; }
    std::unique_ptr<convert::DestinationFolder> openFolder(const Destination::Folder&, QString* failure) override
    {
        if (gone) {
            *failure = fatal = QStringLiteral("the server is gone");
            return nullptr;
        }
        pendingWhenOpened.push_back(pending);
        return std::make_unique<Folder>(*this);
    }
    QString fatalFailure() const override { return fatal; }

    int pending = 0;
    int refused = 0;
    bool gone = false; // folders can no longer be opened
    QString fatal;
    std::vector<int> pendingWhenOpened;
};

TEST_F(EmlConversion, MailsLeftPendingAreRecordedWhenTheirFolderEnds)
{
    for (int i = 0; i < 3; ++i)
        m_inbox->addMail(QStringLiteral("inbox %1").arg(i));
    FakeNode& sent = m_top->addFolder(QStringLiteral("Sent Items"));
    for (int i = 0; i < 2; ++i)
        sent.addMail(QStringLiteral("sent %1").arg(i));
    auto destination = std::make_shared<BatchingDestination>();
    destination->refused = 2;
    convert::ConversionOptions options;
    options.target = destination;
    options.threads = 1;
    options.reportDirectory = m_dir.path();

    ASSERT_EQ(convert(QStringLiteral("imaps://somewhere"), options), ConversionJob::Outcome::Completed);
    // Each folder's mails were finished before the next folder was opened.
    EXPECT_EQ(destination->pendingWhenOpened, (std::vector<int>{0, 0}));
    EXPECT_EQ(destination->pending, 0);
    EXPECT_EQ(m_job->report().written(), 4);
    EXPECT_TRUE(m_job->report().hasFailures());
}

TEST(FileSystemNames, CleansNamesForEveryFileSystem)
{
    using convert::FileSystemNames;
    const QString fallback = QStringLiteral("x");
    EXPECT_EQ(FileSystemNames::clean(QStringLiteral("a/b\\c:d*e?f\"g<h>i|j"), 100, fallback),
              QStringLiteral("a_b_c_d_e_f_g_h_i_j"));
    EXPECT_EQ(FileSystemNames::clean(QStringLiteral("  ..hidden. "), 100, fallback),
              QStringLiteral("hidden"));
    EXPECT_EQ(FileSystemNames::clean(QStringLiteral("tab\there\nnew"), 100, fallback),
              QStringLiteral("tab_here_new"));
    EXPECT_EQ(FileSystemNames::clean(QStringLiteral("..."), 100, fallback), fallback);
    EXPECT_EQ(FileSystemNames::clean(QString(), 100, fallback), fallback);
    EXPECT_EQ(FileSystemNames::clean(QStringLiteral("CON"), 100, fallback), QStringLiteral("_CON"));
    EXPECT_EQ(FileSystemNames::clean(QStringLiteral("com1.txt"), 100, fallback), QStringLiteral("_com1.txt"));
    EXPECT_EQ(FileSystemNames::clean(QStringLiteral("Zürich 東京"), 100, fallback),
              QStringLiteral("Zürich 東京"));
    // Never cut inside a surrogate pair.
    const QString emoji = QStringLiteral("ab") + QString::fromUtf8("\xF0\x9F\x98\x80");
    EXPECT_EQ(FileSystemNames::clean(emoji, 3, fallback), QStringLiteral("ab"));
    EXPECT_EQ(FileSystemNames::clean(QStringLiteral("abcdef"), 3, fallback), QStringLiteral("abc"));
}

} // namespace

TEST_F(EmlConversion, ADestinationGoneWhileAFolderIsMadeEndsTheRunWithItsFailure)
{
    m_inbox->addMail(QStringLiteral("inbox"));
    auto destination = std::make_shared<BatchingDestination>();
    destination->gone = true;
    convert::ConversionOptions options;
    options.target = destination;
    options.threads = 1;
    options.reportDirectory = m_dir.path();

    convert(QStringLiteral("imaps://somewhere"), options);
    EXPECT_EQ(m_job->report().destinationFailure(), QStringLiteral("the server is gone"));
    EXPECT_TRUE(m_job->report().hasFailures());
}
