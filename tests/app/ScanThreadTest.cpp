#include "ScanThread.h"

#include "AppTestSupport.h"
#include "MessageBuilder.h"
#include "StoreWriter.h"
#include "catalog/Catalogs.h"
#include "views/FolderTreeModel.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <optional>

using app::ScanOutcome;
using app::ScanThread;

namespace {

const auto* const environment = ::testing::AddGlobalTestEnvironment(new apptest::QtEnvironment);

QString sample(const char* relative)
{
    return QStringLiteral(OST2EML_SOURCE_DIR "/../shared/testdata/") + QString::fromUtf8(relative);
}

class ScanThreadTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!QFileInfo::exists(sample("stores")))
            GTEST_SKIP() << "no sample stores";
        ASSERT_TRUE(m_dir.isValid());
        storeNode = tree.InsertFolderNode(catalog::NoNode, QStringLiteral("store"));
    }

    // Runs the event loop until the scan reports; the guard only keeps a broken scan from
    // hanging the test run.
    std::optional<ScanOutcome> waitForOutcome(ScanThread& scan)
    {
        std::optional<ScanOutcome> outcome;
        QEventLoop loop;
        QObject::connect(&scan, &app::ScanSession::finished, &loop, [&](ScanOutcome o) {
            outcome = o;
            loop.quit();
        });
        QTimer::singleShot(120000, &loop, &QEventLoop::quit);
        loop.exec();
        return outcome;
    }

    QTemporaryDir m_dir;
    catalog::Catalogs catalogs;
    views::FolderTreeModel tree;
    catalog::NodeId storeNode = catalog::NoNode;
};

} // namespace

TEST_F(ScanThreadTest, ScansAnOfflineStoreOnItsOwnThread)
{
    ScanThread scan(catalogs, tree, m_dir.filePath(QStringLiteral("Attachments")));
    scan.start(sample("stores/aspose-python-test.SO.ost"), storeNode);
    EXPECT_TRUE(scan.isRunning());
    EXPECT_EQ(waitForOutcome(scan), ScanOutcome::Completed);
    EXPECT_FALSE(scan.isRunning());
    EXPECT_GT(catalogs.folders().size(), 20);
    EXPECT_GT(catalogs.mails().size(), 0);
    EXPECT_EQ(tree.children(storeNode).isEmpty(), false);
    EXPECT_EQ(scan.progress(), 100);
}

TEST_F(ScanThreadTest, AScanAskedForRecoveredItemsShowsThemInTheirFolder)
{
    const QString path = m_dir.filePath(QStringLiteral("changed.ost"));
    {
        storegen::StoreWriter writer(path, storegen::StoreOptions());
        const std::uint32_t inbox = writer.addFolder(storegen::StoreWriter::kRootFolder,
                                                     QStringLiteral("Inbox"), QStringLiteral("IPF.Note"));
        storegen::Message gone = storegen::MessageBuilder(QStringLiteral("IPM.Note"))
                                     .subject(QStringLiteral("gone"))
                                     .attach(QStringLiteral("kept.txt"), QStringLiteral("text/plain"), "still here")
                                     .build();
        gone.deleted = true;
        writer.addMessage(inbox, gone);
        writer.finish();
    }
    for (const bool include : {false, true}) {
        catalogs.ClearCatalogs();
        tree.clear();
        storeNode = tree.InsertFolderNode(catalog::NoNode, QStringLiteral("store"));
        ScanThread scan(catalogs, tree, m_dir.filePath(QStringLiteral("Attachments")));
        scan.setIncludeRecovered(include);
        scan.start(path, storeNode);
        ASSERT_EQ(waitForOutcome(scan), ScanOutcome::Completed);
        QStringList labels;
        for (const catalog::NodeId node : tree.children(storeNode))
            labels << tree.label(node);
        // The folder tells how many items it holds, and in which state they were found.
        EXPECT_EQ(labels.contains(QStringLiteral("Recovered Items(1)")), include) << labels.join(QLatin1Char(',')).toStdString();
        if (include) {
            EXPECT_EQ(tree.node(tree.children(storeNode).back())->toolTip,
                      QStringLiteral("Recovered items: 1 (deleted: 1)"));
        }
        EXPECT_EQ(catalogs.mails().size(), include ? 1 : 0);
        if (!include)
            continue;
        // Its attachment is saved as a live one's is, when its mail is shown.
        const std::optional<catalog::MailTexts> texts = catalogs.mailTexts(*catalogs.mails().records().front());
        ASSERT_TRUE(texts);
        ASSERT_EQ(texts->attachmentFiles.size(), 1);
        scan.saveAttachmentFiles(texts->attachmentFiles);
        QFile saved(texts->attachmentFiles.front().filePath);
        ASSERT_TRUE(saved.open(QIODevice::ReadOnly)) << saved.fileName().toStdString();
        EXPECT_EQ(saved.readAll(), "still here");
    }
}

TEST_F(ScanThreadTest, ReportsWhyAStoreCannotBeScanned)
{
    struct Case
    {
        const char* file;
        ScanOutcome expected;
    };
    const Case cases[] = {
        {"stores/aspose-personal-store-named.ost", ScanOutcome::NotAnOfflineStore},
        {"broken/empty.ost", ScanOutcome::OpenFailed},
        {"broken/garbage-with-signature.ost", ScanOutcome::OpenFailed},
        {"broken/mbox-named.pst", ScanOutcome::OpenFailed},
    };
    ScanThread scan(catalogs, tree, m_dir.filePath(QStringLiteral("Attachments")));
    for (const auto& c : cases) {
        scan.start(sample(c.file), storeNode);
        const auto outcome = waitForOutcome(scan);
        ASSERT_TRUE(outcome.has_value()) << c.file;
        // A truncated or random store may also be refused while walking; never accepted.
        if (c.expected == ScanOutcome::OpenFailed)
            EXPECT_TRUE(*outcome == ScanOutcome::OpenFailed || *outcome == ScanOutcome::WalkFailed) << c.file;
        else
            EXPECT_EQ(*outcome, c.expected) << c.file;
    }
}

TEST_F(ScanThreadTest, AbandonedScanWritesNothingMore)
{
    ScanThread scan(catalogs, tree, m_dir.filePath(QStringLiteral("Attachments")));
    scan.start(sample("stores/aspose-python-test.SO.ost"), storeNode);
    scan.pause();
    scan.abandon();
    EXPECT_FALSE(scan.isRunning());
    catalogs.ClearCatalogs();
    tree.clear();
    const quint64 sequence = tree.changeSequence();
    // Whatever was queued from the abandoned thread arrives now and must not end anything.
    bool reported = false;
    QObject::connect(&scan, &app::ScanSession::finished, [&] { reported = true; });
    QCoreApplication::processEvents();
    EXPECT_FALSE(reported);
    EXPECT_EQ(catalogs.mails().size(), 0);
    EXPECT_EQ(tree.changeSequence(), sequence);

    // The session takes a new scan at once.
    const catalog::NodeId again = tree.InsertFolderNode(catalog::NoNode, QStringLiteral("again"));
    scan.start(sample("stores/tika-testPST.SO.ost"), again);
    EXPECT_EQ(waitForOutcome(scan), ScanOutcome::Completed);
    EXPECT_GT(catalogs.mails().size(), 0);
}

TEST_F(ScanThreadTest, PauseHoldsTheWalkUntilResumed)
{
    ScanThread scan(catalogs, tree, m_dir.filePath(QStringLiteral("Attachments")));
    EXPECT_FALSE(scan.pause());
    scan.start(sample("stores/aspose-python-test.SO.ost"), storeNode);
    if (scan.pause())
        scan.resume();
    EXPECT_EQ(waitForOutcome(scan), ScanOutcome::Completed);
    EXPECT_GT(catalogs.folders().size(), 20);
}
