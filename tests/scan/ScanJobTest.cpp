#include "CompoundFile.h"
#include "ScanFixture.h"
#include "MessageBuilder.h"
#include "StoreWriter.h"
#include "scan/AttachmentExport.h"
#include "scan/ScanObserver.h"
#include "store/Store.h"
#include "views/PreviewWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

using scan::ScanOutcome;

namespace {

QString testData()
{
    return QStringLiteral(OST2EML_SOURCE_DIR "/../shared/testdata");
}

struct ExpectedCounts
{
    int folders = -1;
    int messages = -1;
    int embedded = -1;
};

// The counts the test data's README gives per file.
std::map<QString, ExpectedCounts> readmeCounts()
{
    std::map<QString, ExpectedCounts> counts;
    QFile readme(testData() + QStringLiteral("/README.md"));
    if (!readme.open(QIODevice::ReadOnly | QIODevice::Text))
        return counts;
    const QStringList lines = QString::fromUtf8(readme.readAll()).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const QStringList cells = line.split(QLatin1Char('|'));
        if (cells.size() < 11)
            continue;
        static const QRegularExpression file(QStringLiteral("`stores/([^`]+)`"));
        const auto match = file.match(cells[1]);
        bool foldersOk = false;
        bool messagesOk = false;
        bool embeddedOk = false;
        const int folders = cells[8].trimmed().toInt(&foldersOk);
        const int messages = cells[9].trimmed().toInt(&messagesOk);
        const int embedded = cells[11].trimmed().toInt(&embeddedOk);
        if (match.hasMatch() && foldersOk && messagesOk && embeddedOk)
            counts[match.captured(1)] = ExpectedCounts{folders, messages, embedded};
    }
    return counts;
}

QByteArray contentType(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(10).mid(8, 2);
}

class Recorder : public scan::ScanObserver
{
public:
    void scanStarted(int total) override { started = total; }
    void scanProgressed(const scan::ScanProgress& progress) override
    {
        ++batches;
        last = progress;
        mails += progress.newMails.size();
    }
    int started = -1;
    int batches = 0;
    qsizetype mails = 0;
    scan::ScanProgress last;
};

} // namespace

class ScanJobTest : public EngineFixture
{
protected:
    ScanOutcome scanFile(const QString& path, bool saveAttachmentFiles = false)
    {
        job = std::make_unique<scan::ScanJob>(catalogs, tree, serials, counters);
        scan::ScanSettings settings;
        settings.storePath = path;
        settings.attachmentsDirectory = attachmentsDirectory();
        settings.saveAttachmentFiles = saveAttachmentFiles;
        return job->run(settings);
    }
};

TEST_F(ScanJobTest, ObserverGetsBatchesAndTheNewMailRows)
{
    auto& inbox = store.root().addFolder(QStringLiteral("Inbox"));
    for (int i = 0; i < 450; ++i)
        inbox.addMail(QStringLiteral("m%1").arg(i));
    store.root().addFolder(QStringLiteral("Other")).addMail(QStringLiteral("x"));
    Recorder recorder;
    job = std::make_unique<scan::ScanJob>(catalogs, tree, serials, counters);
    job->setObserver(&recorder);
    scan::ScanSettings settings;
    settings.attachmentsDirectory = attachmentsDirectory();
    ASSERT_EQ(job->runOnStore(store, settings), ScanOutcome::Completed);
    EXPECT_EQ(recorder.started, 451);
    EXPECT_GE(recorder.batches, 3);
    EXPECT_EQ(recorder.mails, 451);
    EXPECT_EQ(recorder.last.messagesDone, 451);
    EXPECT_EQ(recorder.last.messagesTotal, 451);
}

TEST_F(ScanJobTest, AbortBeforeTheScanOpensNothing)
{
    job = std::make_unique<scan::ScanJob>(catalogs, tree, serials, counters);
    bool opened = false;
    job->setStoreOpener([&](const QString&, const store::OpenOptions&) -> std::unique_ptr<store::Store> {
        opened = true;
        return nullptr;
    });
    job->abort();
    scan::ScanSettings settings;
    settings.storePath = QStringLiteral("x.ost");
    EXPECT_EQ(job->run(settings), ScanOutcome::Aborted);
    EXPECT_FALSE(opened);
}

TEST_F(ScanJobTest, TheStoreIsClosedOnEveryOutcome)
{
    struct ClosingStore : support::FakeStore
    {
        explicit ClosingStore(bool* closed) : m_closed(closed) {}
        ~ClosingStore() override { *m_closed = true; }
        bool* m_closed;
    };
    for (const bool abortDuringWalk : {false, true}) {
        bool closed = false;
        job = std::make_unique<scan::ScanJob>(catalogs, tree, serials, counters);
        job->setStoreOpener([&](const QString&, const store::OpenOptions&) -> std::unique_ptr<store::Store> {
            auto opened = std::make_unique<ClosingStore>(&closed);
            opened->root().addFolder(QStringLiteral("Inbox")).addMail(QStringLiteral("m"));
            if (abortDuringWalk)
                opened->setVisitHook([this](const support::FakeNode&) { job->abort(); });
            return opened;
        });
        scan::ScanSettings settings;
        settings.attachmentsDirectory = attachmentsDirectory();
        EXPECT_EQ(job->run(settings), abortDuringWalk ? ScanOutcome::Aborted : ScanOutcome::Completed);
        EXPECT_TRUE(closed);
    }
}

TEST_F(ScanJobTest, OpenFailuresAreTold)
{
    using Reason = store::OpenError::Reason;
    for (const auto& [reason, outcome] : {std::pair{Reason::NotOfflineStore, ScanOutcome::HeaderRejected},
                                          std::pair{Reason::Unreadable, ScanOutcome::CannotOpen},
                                          std::pair{Reason::Empty, ScanOutcome::CannotOpen}}) {
        job = std::make_unique<scan::ScanJob>(catalogs, tree, serials, counters);
        job->setStoreOpener(
            [r = reason](const QString&, const store::OpenOptions&) -> std::unique_ptr<store::Store> {
                throw store::OpenError(r, "refused");
            });
        EXPECT_EQ(job->run(scan::ScanSettings{}), outcome);
        EXPECT_EQ(job->openFailure(), reason);
        EXPECT_EQ(job->errorMessage(), QStringLiteral("refused"));
    }
}

TEST_F(ScanJobTest, OutcomesOfFilesThatAreNoOfflineStores)
{
    EXPECT_EQ(scanFile(temp.path() + QStringLiteral("/missing.ost")), ScanOutcome::CannotOpen);
    EXPECT_EQ(job->openFailure(), store::OpenError::Reason::NotFound);
    const QString personal = testData() + QStringLiteral("/stores/aspose-personal-store-named.ost");
    if (!QFileInfo::exists(personal))
        GTEST_SKIP() << "no test data";
    EXPECT_EQ(scanFile(personal), ScanOutcome::HeaderRejected);
    EXPECT_TRUE(catalogs.folders().isEmpty());
}

TEST_F(ScanJobTest, BrokenFilesAreRefusedOrReportedWithoutCrashing)
{
    const QDir broken(testData() + QStringLiteral("/broken"));
    if (!broken.exists())
        GTEST_SKIP() << "no test data";
    for (const QString& name : broken.entryList(QDir::Files)) {
        const ScanOutcome outcome = scanFile(broken.filePath(name));
        EXPECT_NE(outcome, ScanOutcome::OutOfMemory) << name.toStdString();
        if (name.endsWith(QStringLiteral(".pst")) || name == QStringLiteral("empty.ost")) {
            EXPECT_NE(outcome, ScanOutcome::Completed) << name.toStdString();
        }
        catalogs.ClearCatalogs();
        tree.clear();
    }
}

TEST_F(ScanJobTest, EveryOfflineSampleStoreScansWithTheCountsOfItsReadme)
{
    const QDir stores(testData() + QStringLiteral("/stores"));
    if (!stores.exists())
        GTEST_SKIP() << "no test data";
    const auto expected = readmeCounts();
    int scanned = 0;
    for (const QString& name : stores.entryList({QStringLiteral("*.ost")}, QDir::Files)) {
        if (contentType(stores.filePath(name)) != "SO")
            continue;
        SCOPED_TRACE(name.toStdString());
        catalogs.ClearCatalogs();
        tree.clear();
        ASSERT_EQ(scanFile(stores.filePath(name)), ScanOutcome::Completed)
            << job->errorMessage().toStdString();
        ++scanned;
        const auto counts = expected.find(name);
        ASSERT_NE(counts, expected.end());
        // The README's reader counts the store's root folder too, which has no record of its own.
        EXPECT_EQ(catalogs.folders().size() + 1, counts->second.folders);
        EXPECT_EQ(job->messagesTotal(), counts->second.messages);
        int seen = 0;
        int embedded = 0;
        for (const auto& folderReport : job->report().folders()) {
            seen += folderReport.itemsSeen - folderReport.embeddedSeen;
            embedded += folderReport.embeddedSeen;
        }
        EXPECT_EQ(seen, counts->second.messages);
        EXPECT_EQ(embedded, counts->second.embedded);
        EXPECT_EQ(job->report().totalFailures(), 0);
    }
    EXPECT_GE(scanned, 6);
}

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString utf16File(const QString& path)
{
    const QByteArray bytes = contents(path).mid(2);
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
}

// RTF holding the HTML "<p>Hi <img src="cid:ID"></p>", as Outlook keeps a mail without other body.
QByteArray rtfHoldingHtml(const QByteArray& id)
{
    return "{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 \\deff0{\\fonttbl{\\f0\\fswiss Arial;}}"
           "{\\*\\htmltag64 <p>}Hi {\\*\\htmltag84 <img src=\"cid:" +
           id + "\">}{\\*\\htmltag72 </p>}}";
}

} // namespace

// RTF-only mails (in a folder and attached to a mail) and mails with pictures and files, from a
// generated store through the scan to the preview files.
TEST_F(ScanJobTest, RtfOnlyMailsAndSavedAttachmentsReachThePreview)
{
    const QByteArray picture("\x89PNG picture bytes");
    storegen::Folder inbox;
    inbox.name = QStringLiteral("Inbox");
    inbox.containerClass = QStringLiteral("IPF.Note");
    const storegen::Message inner =
        storegen::MessageBuilder()
            .subject(QStringLiteral("inner"))
            .rtfBody(rtfHoldingHtml("none"))
            .attach(QStringLiteral("deep.txt"), QStringLiteral("text/plain"), "deep")
            .build();
    inbox.messages.push_back(storegen::MessageBuilder()
                                 .subject(QStringLiteral("rtf html"))
                                 .rtfBody(rtfHoldingHtml("pic@x"))
                                 .attach(QStringLiteral("pic.png"), QStringLiteral("image/png"), picture,
                                         QStringLiteral("<pic@x>"))
                                 .build());
    inbox.messages.push_back(storegen::MessageBuilder()
                                 .subject(QStringLiteral("rtf text"))
                                 .rtfBody("{\\rtf1\\ansi hello\\par world}")
                                 .build());
    const QByteArray oleObject = storegen::staticDibObject(3, 2, 0xABCDEF);
    inbox.messages.push_back(
        storegen::MessageBuilder()
            .subject(QStringLiteral("outer"))
            .plainBody(QStringLiteral("see attached"))
            .attach(QStringLiteral("report.pdf"), QStringLiteral("application/pdf"), "first")
            .attachMessage(inner, QStringLiteral("inner"))
            .build());
    inbox.messages.push_back(
        storegen::MessageBuilder()
            .subject(QStringLiteral("other"))
            .attach(QStringLiteral("report.pdf"), QStringLiteral("application/pdf"), "second")
            .attachObject(QStringLiteral("Picture (Device Independent Bitmap)"), oleObject)
            .build());
    storegen::StoreDescription description;
    description.folders.push_back(inbox);
    const QString path = temp.filePath(QStringLiteral("mail.ost"));
    storegen::writeStore(description, path);

    // Without saving (the command line's scan) no content is written.
    ASSERT_EQ(scanFile(path), ScanOutcome::Completed);
    EXPECT_TRUE(mailWithSubject(QStringLiteral("other")).attachmentFiles.value(0).filePath.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(attachmentsDirectory() + QStringLiteral("/.files")));

    catalogs.ClearCatalogs();
    ASSERT_EQ(scanFile(path, true), ScanOutcome::Completed);
    const support::MailView html = mailWithSubject(QStringLiteral("rtf html"));
    EXPECT_EQ(html.bodyKind, 1);
    EXPECT_EQ(html.body, QStringLiteral("<p>Hi <img src=\"cid:pic@x\"></p>"));
    const support::MailView text = mailWithSubject(QStringLiteral("rtf text"));
    EXPECT_EQ(text.bodyKind, 0);
    EXPECT_TRUE(text.body->contains(QStringLiteral("hello"))) << text.body->toStdString();
    EXPECT_FALSE(text.body->contains(QStringLiteral("rtf")));
    const support::MailView embedded = mailWithSubject(QStringLiteral("inner"));
    EXPECT_EQ(embedded.bodyKind, 1);
    EXPECT_EQ(embedded.body, QStringLiteral("<p>Hi <img src=\"cid:none\"></p>"));

    // Each data attachment gets a file of its own name, apart from same-named ones of other mails;
    // the scan writes none of them: they are saved from the store when their mail is shown.
    const support::MailView outer = mailWithSubject(QStringLiteral("outer"));
    const support::MailView other = mailWithSubject(QStringLiteral("other"));
    QList<catalog::MailAttachment> all =
        html.attachmentFiles + outer.attachmentFiles + other.attachmentFiles + embedded.attachmentFiles;
    for (const catalog::MailAttachment& attachment : all)
        EXPECT_TRUE(attachment.filePath.isEmpty() || !QFileInfo::exists(attachment.filePath));
    const std::unique_ptr<store::Store> reopened = store::openOfflineStore(path);
    for (const catalog::MailAttachment& attachment : all) {
        QString error;
        if (!attachment.filePath.isEmpty()) {
            EXPECT_TRUE(scan::saveAttachmentFile(*reopened, attachment, &error)) << error.toStdString();
        }
    }
    ASSERT_EQ(html.attachmentFiles.size(), 1);
    EXPECT_EQ(html.attachmentFiles[0].contentId, QStringLiteral("pic@x"));
    EXPECT_EQ(contents(html.attachmentFiles[0].filePath), picture);
    ASSERT_EQ(outer.attachmentFiles.size(), 2);
    EXPECT_EQ(QFileInfo(outer.attachmentFiles[0].filePath).fileName(), QStringLiteral("report.pdf"));
    EXPECT_EQ(contents(outer.attachmentFiles[0].filePath), "first");
    EXPECT_TRUE(outer.attachmentFiles[1].filePath.isEmpty());
    EXPECT_EQ(contents(other.attachmentFiles.value(0).filePath), "second");
    // An OLE object is saved as its stored compound file, by either reader.
    ASSERT_EQ(other.attachmentFiles.size(), 2);
    EXPECT_EQ(QFileInfo(other.attachmentFiles[1].filePath).fileName(),
              QStringLiteral("Picture (Device Independent Bitmap)"));
    EXPECT_EQ(contents(other.attachmentFiles[1].filePath), oleObject);
    catalog::MailAttachment throughLibpff = other.attachmentFiles[1];
    throughLibpff.filePath = temp.filePath(QStringLiteral("libpff/picture"));
    store::OpenOptions libpff;
    libpff.reader = store::ReaderKind::Libpff;
    QString libpffError;
    EXPECT_TRUE(
        scan::saveAttachmentFile(*store::openOfflineStore(path, libpff), throughLibpff, &libpffError))
        << libpffError.toStdString();
    EXPECT_EQ(contents(throughLibpff.filePath), oleObject);
    // Through the attached message too.
    EXPECT_EQ(contents(embedded.attachmentFiles.value(0).filePath), "deep");

    const views::PreviewWriter writer(temp.filePath(QStringLiteral("preview")), attachmentsDirectory());
    QDir().mkpath(writer.previewFolder());
    ASSERT_TRUE(writer.writeMailPreview(support::asMail(html)));
    const QString body = utf16File(writer.bodyFilePath(1));
    EXPECT_TRUE(
        body.contains(QUrl::fromLocalFile(html.attachmentFiles[0].filePath).toString(QUrl::FullyEncoded)))
        << body.toStdString();
    EXPECT_FALSE(body.contains(QStringLiteral("cid:")));
    ASSERT_TRUE(writer.writeMailPreview(support::asMail(embedded)));
    EXPECT_EQ(utf16File(writer.bodyFilePath(1)), *embedded.body);
    ASSERT_TRUE(writer.writeMailPreview(support::asMail(outer)));
    // The attached mail is a link to its own record's preview.
    EXPECT_EQ(outer.attachmentFiles.value(1).itemSerial, embedded.serial);
    EXPECT_TRUE(utf16File(writer.pageFilePath())
                    .contains(QStringLiteral(">report.pdf</a> ;<a href=\"item:%1\">Embedded00001</a> ;</td>")
                                  .arg(embedded.serial)));
}
