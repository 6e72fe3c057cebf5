#include "catalog/SearchIndex.h"

#include "../support/RecordOf.h"
#include "catalog/Catalogs.h"
#include "catalog/TextFile.h"

#include <QTemporaryDir>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace catalog;

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

std::shared_ptr<const MailRecord> appendMail(Catalogs& catalogs, int serial, quint32 node, const QString& subject,
                                             const QString& body, qint64 time = -1)
{
    MailRecord record;
    record.name = s("Inbox");
    record.node = NodeId{node};
    record.serial = serial;
    record.subject = subject;
    record.from = s("Sender %1").arg(serial);
    record.time = time;
    MailTexts texts;
    texts.body = body;
    texts.senderAddress = s("sender%1@example.org").arg(serial);
    return catalogs.AppendMailRecord(record, texts);
}

QList<int> serials(const QList<SearchMatch>& matches)
{
    QList<int> result;
    for (const SearchMatch& match : matches)
        result << match.serial;
    return result;
}

QList<int> search(const Catalogs& catalogs, const char* text, const SearchScope& scope = {})
{
    QString error;
    const auto query = SearchQuery::parse(s(text), &error);
    if (!query)
        throw std::runtime_error(error.toStdString());
    catalogs.searchIndex()->waitUntilIndexed();
    return serials(catalogs.searchIndex()->search(*query, scope));
}

} // namespace

TEST(TextFile, BlobsReadBackFromMemoryAndFromTheFile)
{
    QTemporaryDir dir;
    for (const QString& folder : {QString(), dir.path()}) {
        const std::shared_ptr<TextFile> file = TextFile::create(folder);
        // Enough to be written out in pieces: reads then cross what is on the disk and what waits.
        QList<TextRef> refs;
        for (int i = 0; i < 3000; ++i)
            refs << file->append(QByteArray(1000 + i % 7, static_cast<char>('a' + i % 26)));
        for (int i = 0; i < 3000; i += 7) {
            const QByteArray blob = file->read(refs[i].offset, refs[i].size);
            EXPECT_EQ(blob, QByteArray(1000 + i % 7, static_cast<char>('a' + i % 26))) << i;
        }
        EXPECT_EQ(file->read(refs[10].offset, 5000).size(), 5000); // across blobs
        EXPECT_TRUE(file->read(file->size(), 10).isEmpty());
        if (!folder.isEmpty()) {
            EXPECT_TRUE(QFile::exists(file->path()));
            EXPECT_EQ(QFile(file->path()).permissions() & (QFile::ReadOther | QFile::ReadGroup), 0);
        }
    }
    // The file goes with the last holder.
    QString path;
    {
        const auto file = TextFile::create(dir.path());
        path = file->path();
    }
    EXPECT_FALSE(QFile::exists(path));
}

TEST(TextFile, AFullDiskFailsTheAppendAndKeepsNothing)
{
    QTemporaryDir dir;
    const auto file = TextFile::create(dir.path());
    file->setWriteLimit(100);
    file->append(QByteArray(60, 'x'));
    EXPECT_THROW(file->append(QByteArray(60, 'y')), CatalogWriteError);
    EXPECT_EQ(file->size(), 60);
    EXPECT_THROW(TextFile::create(dir.filePath(s("missing/folder"))), CatalogWriteError);
}

TEST(Catalogs, MailTextsLiveInTheFileAndOutliveAClear)
{
    QTemporaryDir dir;
    Catalogs catalogs;
    catalogs.setTextFolder(dir.path());
    MailRecord record;
    record.serial = 5;
    record.subject = s("Hello");
    MailTexts texts;
    texts.body = s("Grüße – 日本語 body");
    texts.to = s("Bob ;Carl ;");
    texts.recipients = {{s("Bob"), s("bob@example.org"), MailRecipient::To},
                        {s("Carl"), QString(), MailRecipient::Cc}};
    texts.attachmentFiles = {{s("/a/x.pdf"), s("/a/.files/1/x.pdf"), s("cid@1"), {0, 2}, 3, {1}}};
    texts.attachments = s("/a/x.pdf ;");
    const auto stored = catalogs.AppendMailRecord(record, texts);
    EXPECT_TRUE(stored->hasAttachments);
    EXPECT_GT(catalogs.textFile()->size(), 0);
    EXPECT_EQ(catalogs.mailTexts(*stored), texts);
    catalogs.ClearCatalogs();
    EXPECT_EQ(catalogs.mails().size(), 0);
    // A reader that still holds the record still reads its texts.
    EXPECT_EQ(catalogs.mailTexts(*stored), texts);
    EXPECT_FALSE(catalogs.mail(5));
}

TEST(Catalogs, TextsThatCannotBeWrittenLeaveNoRecord)
{
    QTemporaryDir dir;
    Catalogs catalogs;
    catalogs.setTextFolder(dir.path());
    catalogs.textFile()->setWriteLimit(10);
    MailRecord record;
    record.serial = 1;
    MailTexts texts;
    texts.body = QString(100, QLatin1Char('x'));
    EXPECT_THROW(catalogs.AppendMailRecord(record, texts), CatalogWriteError);
    EXPECT_EQ(catalogs.mails().size(), 0);
}

TEST(Catalogs, TaskNoteAndJournalTextsLiveInTheFileAndAreSearchedByKind)
{
    QTemporaryDir dir;
    Catalogs catalogs;
    catalogs.setTextFolder(dir.path());
    catalogs.setSearchable(true);
    const auto task =
        catalogs.AppendTaskRecord(support::recordOf<TaskRecord>(NoNode, 1, s("Budget")), s("Grüße\nzwei"));
    catalogs.AppendNoteRecord(support::recordOf<NoteRecord>(NoNode, 2, s("Budget note")), s("wifi code"));
    JournalRecord call;
    call.subject = s("Call");
    call.entryType = s("Phone call");
    call.serial = 3;
    catalogs.AppendJournalRecord(call);
    EXPECT_EQ(catalogs.bodyText(task->body), s("Grüße\nzwei"));
    EXPECT_EQ(catalogs.bodyText(catalogs.journal().bySerial(3)->body), QString());
    EXPECT_EQ(search(catalogs, "budget"), (QList<int>{1, 2}));
    EXPECT_EQ(search(catalogs, "budget kind:note"), (QList<int>{2}));
    EXPECT_EQ(search(catalogs, "body:grusse kind:task"), (QList<int>{1}));
    EXPECT_EQ(search(catalogs, "phone kind:journal"), (QList<int>{3}));
    // A text that cannot be kept leaves no record.
    catalogs.textFile()->setWriteLimit(catalogs.textFile()->size() + 10);
    EXPECT_THROW(
        catalogs.AppendNoteRecord(support::recordOf<NoteRecord>(NoNode, 4), QString(100, QLatin1Char('x'))),
        CatalogWriteError);
    EXPECT_EQ(catalogs.notes().size(), 1);
}

TEST(SearchIndex, FindsItemsByQueryFolderAndTime)
{
    QTemporaryDir dir;
    Catalogs catalogs;
    catalogs.setTextFolder(dir.path());
    catalogs.setSearchable(true);
    appendMail(catalogs, 1, 10, s("Budget review"), s("<p>numbers for M&uuml;nchen</p>"), 1000);
    appendMail(catalogs, 2, 11, s("Lunch"), s("Grüße aus München"), 2000);
    appendMail(catalogs, 3, 10, s("Budget"), s("nothing"), -1);
    ContactRecord::SlotValues slots;
    slots[12] = s("Luis");  // first name
    slots[11] = s("Ortega"); // last name
    slots[0] = s("Acme");
    catalogs.AppendContactRecord(s("Contacts"), NodeId{12}, ContactRecord::Kind, slots, 4, {s("luis@acme.example")});

    EXPECT_EQ(search(catalogs, "budget"), (QList<int>{1, 3}));
    EXPECT_EQ(search(catalogs, "munchen"), (QList<int>{2}));
    EXPECT_EQ(search(catalogs, "from:sender2@example.org"), (QList<int>{2}));
    EXPECT_EQ(search(catalogs, "from:luis@acme.example"), (QList<int>{4}));
    EXPECT_EQ(search(catalogs, "acme kind:contact"), (QList<int>{4}));
    EXPECT_EQ(search(catalogs, "budget", SearchScope{QSet<quint32>{11}, {}, {}}), QList<int>{});
    EXPECT_EQ(search(catalogs, "budget", SearchScope{QSet<quint32>{10}, {}, {}}), (QList<int>{1, 3}));
    // Items without a date are outside every date range.
    EXPECT_EQ(search(catalogs, "kind:mail", SearchScope{{}, 1500, {}}), (QList<int>{2}));
    EXPECT_EQ(search(catalogs, "kind:mail", SearchScope{{}, {}, 1500}), (QList<int>{1}));
    catalogs.ClearCatalogs();
    EXPECT_EQ(search(catalogs, "budget"), QList<int>{});
}

TEST(SearchIndex, AnEntryLargerThanAReadPieceIsFound)
{
    Catalogs catalogs;
    catalogs.setSearchable(true);
    QString huge(9 * 1024 * 1024, QLatin1Char('x'));
    huge += s(" needle");
    appendMail(catalogs, 1, 1, s("a"), s("small"));
    appendMail(catalogs, 2, 1, s("b"), huge);
    appendMail(catalogs, 3, 1, s("c"), s("needle"));
    EXPECT_EQ(search(catalogs, "needle"), (QList<int>{2, 3}));
}

TEST(SearchIndex, SearchesWhileTheScanAppends)
{
    constexpr int Mails = 4000;
    Catalogs catalogs;
    catalogs.setSearchable(true);
    std::atomic<bool> done{false};
    std::atomic<int> broken{0};
    std::thread writer([&] {
        for (int serial = 1; serial <= Mails; ++serial)
            appendMail(catalogs, serial, 1, serial % 2 ? s("odd one") : s("even one"), s("body %1").arg(serial));
        done = true;
    });
    QString error;
    const auto query = SearchQuery::parse(s("odd"), &error);
    ASSERT_TRUE(query);
    int rounds = 0;
    while (!done || rounds == 0) {
        ++rounds;
        const QList<SearchMatch> found = catalogs.searchIndex()->search(*query);
        int previous = 0;
        for (const SearchMatch& match : found) {
            // Every match is an odd serial whose record is already in the catalog, in order.
            const auto record = catalogs.mails().bySerial(match.serial);
            if (match.serial % 2 != 1 || match.serial <= previous || !record || record->subject != s("odd one"))
                ++broken;
            previous = match.serial;
        }
    }
    writer.join();
    EXPECT_EQ(broken.load(), 0);
    catalogs.searchIndex()->waitUntilIndexed();
    EXPECT_EQ(catalogs.searchIndex()->search(*query).size(), Mails / 2);
}

TEST(SearchIndex, AnIndexFileThatCannotBeWrittenFailsTheNextAppend)
{
    QTemporaryDir dir;
    Catalogs catalogs;
    catalogs.setTextFolder(dir.path());
    catalogs.setSearchable(true);
    catalogs.searchIndex()->file()->setWriteLimit(200);
    appendMail(catalogs, 1, 1, s("a"), QString(500, QLatin1Char('y')));
    EXPECT_THROW(catalogs.searchIndex()->waitUntilIndexed(), CatalogWriteError);
    EXPECT_THROW(appendMail(catalogs, 2, 1, s("b"), s("c")), CatalogWriteError);
}

TEST(SearchIndex, ALargeIndexIsSearchedInSegmentsAndItsMatchesComeInTheOrderOfTheItems)
{
    // Segments of 4 KB: the search of a few megabytes is shared out between threads.
    for (const bool inFile : {false, true}) {
        QTemporaryDir dir;
        const auto index = SearchIndex::create(inFile ? dir.path() : QString(), 4096);
        constexpr int Items = 3000;
        QList<int> needles, sevens, all;
        for (int serial = 1; serial <= Items; ++serial) {
            SearchSource source;
            source.serial = serial;
            source.kind = MailRecord::Kind;
            source.node = static_cast<quint32>(serial % 3);
            source.fields[static_cast<int>(SearchField::Subject)] = s("item %1").arg(serial % 7 == 0 ? s("seven") : s("other"));
            // Every 50th body is larger than a segment.
            source.fields[static_cast<int>(SearchField::Body)] =
                QString(serial % 50 == 0 ? 6000 : 40, QLatin1Char('z')) + (serial % 11 == 0 ? s(" needle") : s(" hay"));
            index->add(std::move(source));
            if (serial % 11 == 0)
                needles << serial;
            if (serial % 7 == 0)
                sevens << serial;
            all << serial;
        }
        index->waitUntilIndexed();
        const struct
        {
            const char* query;
            QList<int> expected;
        } cases[] = {{"needle", needles}, {"subject:seven", sevens}, {"kind:mail", all}, {"nowhere", {}}};
        for (const auto& c : cases) {
            QString error;
            const auto query = SearchQuery::parse(s(c.query), &error);
            ASSERT_TRUE(query) << c.query;
            EXPECT_EQ(serials(index->search(*query)), c.expected) << c.query << (inFile ? " in a file" : " in memory");
        }

        // Told to stop after its first batch, a search hands on nothing more.
        QString error;
        const auto everything = SearchQuery::parse(s("kind:mail"), &error);
        std::atomic<bool> stop{false};
        QList<int> got;
        index->search(*everything, {}, [&] { return stop.load(); }, [&](const QList<SearchMatch>& batch) {
            got += serials(batch);
            stop = true;
        });
        EXPECT_FALSE(got.isEmpty());
        EXPECT_LT(got.size(), Items);
        EXPECT_EQ(got, all.mid(0, got.size()));
    }
}
