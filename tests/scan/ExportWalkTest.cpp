#include "scan/ExportWalk.h"

#include "ScanFixture.h"
#include "FakeItem.h"
#include "scan/ExportHandle.h"
#include "scan/FolderExport.h"
#include "store/StoreError.h"

#include <thread>

using scan::ScanOutcome;
using store::ItemType;
using support::FakeNode;
using support::FakeOp;

namespace {
constexpr std::uint32_t PrDisplayName = 0x3001;
}

class ExportWalkTest : public EngineFixture
{
};

TEST_F(ExportWalkTest, EmptyRootCompletesWithOnlyTheStoreNode)
{
    EXPECT_EQ(scan(), ScanOutcome::Completed);
    EXPECT_EQ(tree.nodes().size(), 1);
    EXPECT_EQ(tree.label(storeNode), QStringLiteral("/stores/sample.ost"));
    EXPECT_TRUE(catalogs.folders().isEmpty());
    EXPECT_TRUE(catalogs.mails().isEmpty());
}

TEST_F(ExportWalkTest, FoldersBecomeNodesAndRecordsAndMailAttachesToItsFolder)
{
    FakeNode& top = store.root().addFolder(QStringLiteral("Top of Personal Folders"));
    FakeNode& inbox = top.addFolder(QStringLiteral("Inbox"));
    inbox.addMail(QStringLiteral("one"));
    inbox.addMail(QStringLiteral("two"));
    top.addFolder(QStringLiteral("Sent Items")).addMail(QStringLiteral("three"));

    ASSERT_EQ(scan(), ScanOutcome::Completed);
    ASSERT_EQ(catalogs.folders().size(), 3);
    const auto& topRecord = folder(0);
    EXPECT_EQ(topRecord.name, QStringLiteral("Top of Personal Folders"));
    EXPECT_EQ(topRecord.depth, 1);
    EXPECT_EQ(topRecord.relativePath, QString());
    EXPECT_EQ(topRecord.parentNode, storeNode);
    EXPECT_EQ(topRecord.parentLabel, QStringLiteral("/stores/sample.ost"));
    const auto& inboxRecord = folder(1);
    EXPECT_EQ(inboxRecord.depth, 2);
    EXPECT_EQ(inboxRecord.relativePath, QStringLiteral("\\Top of Personal Folders"));
    EXPECT_EQ(inboxRecord.parentNode, topRecord.node);
    EXPECT_EQ(inboxRecord.parentLabel, QStringLiteral("Top of Personal Folders"));

    EXPECT_EQ(tree.label(inboxRecord.node), QStringLiteral("Inbox(2)"));
    EXPECT_TRUE(tree.isBold(inboxRecord.node));
    EXPECT_EQ(tree.label(folder(2).node), QStringLiteral("Sent Items(1)"));
    EXPECT_FALSE(tree.isBold(topRecord.node));
    EXPECT_EQ(tree.image(inboxRecord.node), 7);

    ASSERT_EQ(catalogs.mails().size(), 3);
    EXPECT_EQ(mail(0).node, inboxRecord.node);
    EXPECT_EQ(mail(1).node, inboxRecord.node);
    EXPECT_EQ(mail(2).node, folder(2).node);
    EXPECT_EQ(mail(0).name, QStringLiteral("Inbox"));
    EXPECT_EQ(mail(0).folderPath, QStringLiteral("\\Top-of-Personal-Folders\\Inbox"));
    EXPECT_EQ(mail(0).serial, 1);
    EXPECT_EQ(mail(2).serial, 3);
}

TEST_F(ExportWalkTest, SubFoldersComeBeforeTheFoldersOwnMessages)
{
    FakeNode& parent = store.root().addFolder(QStringLiteral("Parent"));
    parent.addMail(QStringLiteral("parent mail"));
    parent.addFolder(QStringLiteral("Child")).addMail(QStringLiteral("child mail"));
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    EXPECT_EQ(mailSubjects(), (QStringList{QStringLiteral("child mail"), QStringLiteral("parent mail")}));
    EXPECT_EQ(mail(1).node, folder(0).node);
    EXPECT_EQ(mail(0).node, folder(1).node);
}

TEST_F(ExportWalkTest, FoldersWithoutUsableNamesAreNumberedByTheirIndex)
{
    FakeNode& top = store.root().addFolder(QStringLiteral("Top"));
    top.addFolder(QStringLiteral("First"));
    top.addFolder(QString());
    top.addUnnamedFolder();
    top.addFolder(QStringLiteral("a/b:c"));
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    ASSERT_EQ(catalogs.folders().size(), 5);
    EXPECT_EQ(folder(2).name, QStringLiteral("Folder00002"));
    EXPECT_EQ(folder(3).name, QStringLiteral("Folder00003"));
    EXPECT_EQ(folder(4).name, QStringLiteral("a_b_c"));
    EXPECT_EQ(scan::fallbackFolderName(99999 - 1), QStringLiteral("Folder99999"));
}

TEST_F(ExportWalkTest, DepthFollowsNestingWhateverTheFoldersAreCalled)
{
    FakeNode& exports = store.root().addFolder(QStringLiteral("Exports"));
    FakeNode& a = exports.addFolder(QStringLiteral("export"));
    FakeNode& b = a.addFolder(QStringLiteral("Ordner für Übersicht"));
    b.addFolder(QStringLiteral("x.export"));
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    ASSERT_EQ(catalogs.folders().size(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(folder(i).depth, i + 1);
        if (i > 0) {
            EXPECT_EQ(folder(i).parentNode, folder(i - 1).node);
        }
    }
    EXPECT_EQ(folder(3).relativePath, QStringLiteral("\\Exports\\export\\Ordner für Übersicht"));
    EXPECT_EQ(tree.parent(folder(3).node), folder(2).node);
}

TEST_F(ExportWalkTest, SubFolderOfTheSameNameDoesNotCaptureItsParentsMail)
{
    FakeNode& inbox = store.root().addFolder(QStringLiteral("Inbox"));
    inbox.addMail(QStringLiteral("outer 1"));
    inbox.addMail(QStringLiteral("outer 2"));
    inbox.addFolder(QStringLiteral("Inbox")).addMail(QStringLiteral("inner"));
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    const auto& outer = folder(0).node;
    const auto& inner = folder(1).node;
    EXPECT_EQ(mailWithSubject(QStringLiteral("inner")).node, inner);
    EXPECT_EQ(mailWithSubject(QStringLiteral("outer 1")).node, outer);
    EXPECT_EQ(mailWithSubject(QStringLiteral("outer 2")).node, outer);
    EXPECT_EQ(tree.label(outer), QStringLiteral("Inbox(2)"));
    EXPECT_EQ(tree.label(inner), QStringLiteral("Inbox(1)"));
}

TEST_F(ExportWalkTest, FoldersDeeperThanTwentySevenKeepTheirNodesAndMail)
{
    FakeNode* level = &store.root();
    for (int depth = 1; depth <= 30; ++depth) {
        level = &level->addFolder(QStringLiteral("L%1").arg(depth));
        level->addMail(QStringLiteral("mail %1").arg(depth));
    }
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    ASSERT_EQ(catalogs.folders().size(), 30);
    for (int depth : {27, 28, 30}) {
        const auto& record = folder(depth - 1);
        EXPECT_EQ(record.depth, depth);
        EXPECT_EQ(record.parentNode, folder(depth - 2).node);
        EXPECT_EQ(mailWithSubject(QStringLiteral("mail %1").arg(depth)).node, record.node);
        EXPECT_EQ(tree.label(record.node), QStringLiteral("L%1(1)").arg(depth));
    }
    EXPECT_EQ(catalogs.mails().size(), 30);
}

TEST_F(ExportWalkTest, KindsWithoutAnExportArePassedOverBesideExportedNeighbours)
{
    FakeNode& folder = store.root().addFolder(QStringLiteral("Mixed"));
    folder.addMessage(ItemType::Task).setString(0x0037, QStringLiteral("task"));
    folder.addMail(QStringLiteral("before"));
    folder.addMessage(ItemType::Note);
    folder.addMessage(ItemType::DistributionList);
    folder.addMessage(ItemType::Activity);
    folder.addMail(QStringLiteral("after"));
    folder.addMessage(ItemType::RssFeed);
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    EXPECT_EQ(mailSubjects(), (QStringList{QStringLiteral("before"), QStringLiteral("after")}));
    EXPECT_TRUE(catalogs.contacts().isEmpty());
    EXPECT_TRUE(catalogs.appointments().isEmpty());
    EXPECT_EQ(catalogs.tasks().size(), 1);
    EXPECT_EQ(catalogs.notes().size(), 1);
    EXPECT_EQ(catalogs.journal().size(), 1);
    // The mail's label, with every message of the folder, stays.
    const scan::FolderReport* r = report(QStringLiteral("Mixed(7)"));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->itemsSeen, 7);
    EXPECT_EQ(r->exported.at(ItemType::Email), 2);
    EXPECT_EQ(r->exported.at(ItemType::Task), 1);
    EXPECT_EQ(r->exported.at(ItemType::Note), 1);
    EXPECT_EQ(r->exported.at(ItemType::Activity), 1);
    EXPECT_EQ(r->passedOver.at(ItemType::DistributionList), 1);
    EXPECT_EQ(r->passedOver.at(ItemType::RssFeed), 1);
    EXPECT_TRUE(r->failures.isEmpty());
    EXPECT_EQ(job->report().totalFailures(), 0);
}

TEST_F(ExportWalkTest, ItemsThatCannotBeReadAreReportedAndTheWalkGoesOn)
{
    FakeNode& folder = store.root().addFolder(QStringLiteral("Damaged"));
    folder.addMail(QStringLiteral("first"));
    folder.addMail(QStringLiteral("unfetchable")).makeUnfetchable();
    folder.addMail(QStringLiteral("kindless")).failOn(FakeOp::Type);
    folder.addMail(QStringLiteral("broken embedded")).addEmbeddedItem().failOn(FakeOp::Type);
    folder.addMail(QStringLiteral("last"));
    folder.addFolder(QStringLiteral("Unreadable")).makeUnfetchable();
    folder.addFolder(QStringLiteral("Sibling")).addMail(QStringLiteral("sibling mail"));

    ASSERT_EQ(scan(), ScanOutcome::Completed);
    EXPECT_EQ(mailSubjects(), (QStringList{QStringLiteral("sibling mail"), QStringLiteral("first"),
                                           QStringLiteral("broken embedded"), QStringLiteral("last")}));
    const scan::FolderReport* r = report(QStringLiteral("Damaged(5)"));
    ASSERT_TRUE(r);
    // The unreadable sub folder, the unfetchable mail, the kindless mail, the embedded item.
    EXPECT_EQ(r->failures.size(), 4);
    EXPECT_EQ(job->report().totalFailures(), 4);
    EXPECT_TRUE(r->failures[2].reason.contains(QStringLiteral("kind")));
}

TEST_F(ExportWalkTest, ExceptionInsideOneMailLeavesTheWalkRunning)
{
    FakeNode& folder = store.root().addFolder(QStringLiteral("Inbox"));
    folder.addMail(QStringLiteral("before"));
    folder.addMail(QStringLiteral("throws")).addRecipient(QStringLiteral("Ann"));
    folder.addMail(QStringLiteral("after"));
    store.setVisitHook([](const FakeNode& node) {
        if (node.type() == ItemType::Recipients)
            throw std::bad_alloc();
    });
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    EXPECT_EQ(mailSubjects(), (QStringList{QStringLiteral("before"), QStringLiteral("after")}));
    ASSERT_EQ(job->report().totalFailures(), 1);
    EXPECT_EQ(job->report().folders().last().failures.first().description, QStringLiteral("throws"));
}

TEST_F(ExportWalkTest, CatalogOutOfMemoryEndsTheScan)
{
    FakeNode& folder = store.root().addFolder(QStringLiteral("Inbox"));
    for (int i = 0; i < 5; ++i)
        folder.addMail(QStringLiteral("m%1").arg(i));
    catalogs.setRecordLimit(3);
    EXPECT_EQ(scan(), ScanOutcome::OutOfMemory);
    EXPECT_EQ(catalogs.mails().size(), 3);
}

TEST_F(ExportWalkTest, TextsThatCannotBeKeptEndTheScanWithTheReason)
{
    FakeNode& folder = store.root().addFolder(QStringLiteral("Inbox"));
    for (int i = 0; i < 5; ++i)
        folder.addMail(QStringLiteral("m%1").arg(i)).setPlainTextBody(QString(200, QLatin1Char('x')));
    catalogs.setTextFolder(temp.path());
    // A disk that is full after the texts of a few mails.
    catalogs.textFile()->setWriteLimit(700);
    EXPECT_EQ(scan(), ScanOutcome::TextsNotKept);
    EXPECT_LT(catalogs.mails().size(), 5);
    EXPECT_TRUE(job->errorMessage().contains(QStringLiteral("No space left on device"))) << job->errorMessage().toStdString();
    EXPECT_TRUE(job->errorMessage().contains(temp.path()));
    // Every record that was appended has its texts.
    for (qsizetype i = 0; i < catalogs.mails().size(); ++i)
        EXPECT_EQ(mail(i).body, QString(200, QLatin1Char('x')));
}

TEST_F(ExportWalkTest, SubFoldersThatCannotBeCountedStillLetTheMessagesThrough)
{
    FakeNode& folder = store.root().addFolder(QStringLiteral("Folder"));
    folder.failOn(FakeOp::SubFolderCount);
    folder.addMail(QStringLiteral("kept"));
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    EXPECT_EQ(mailSubjects(), QStringList{QStringLiteral("kept")});
    EXPECT_EQ(job->report().totalFailures(), 1);
}

TEST_F(ExportWalkTest, RootThatCannotBeEnumeratedFailsTheWalk)
{
    store.root().failOn(FakeOp::SubItemCount);
    EXPECT_EQ(scan(), ScanOutcome::WalkFailed);
    EXPECT_FALSE(job->errorMessage().isEmpty());

    support::FakeStore noRoot;
    noRoot.failRootFolder();
    scan::ScanJob second(catalogs, tree, serials, counters);
    scan::ScanSettings settings;
    settings.attachmentsDirectory = attachmentsDirectory();
    EXPECT_EQ(second.runOnStore(noRoot, settings), ScanOutcome::WalkFailed);
}

TEST_F(ExportWalkTest, AbortInTheMiddleStopsTheWalkAndSignalsTheStore)
{
    FakeNode& folder = store.root().addFolder(QStringLiteral("Inbox"));
    for (int i = 1; i <= 5; ++i)
        folder.addMail(QStringLiteral("m%1").arg(i));
    store.root().addFolder(QStringLiteral("After")).addMail(QStringLiteral("never"));
    store.setVisitHook([this](const FakeNode& node) {
        if (node.label() == QStringLiteral("m3"))
            job->abort();
    });
    EXPECT_EQ(scan(), ScanOutcome::Aborted);
    EXPECT_EQ(mailSubjects(), (QStringList{QStringLiteral("m1"), QStringLiteral("m2")}));
    EXPECT_TRUE(store.abortSignalled());
    EXPECT_EQ(catalogs.folders().size(), 1);
    EXPECT_EQ(job->report().totalFailures(), 0);
}

TEST_F(ExportWalkTest, PausedWalkWaitsUntilAbortedFromAnotherThread)
{
    FakeNode& folder = store.root().addFolder(QStringLiteral("Inbox"));
    for (int i = 1; i <= 4; ++i)
        folder.addMail(QStringLiteral("m%1").arg(i));
    std::thread stopper;
    store.setVisitHook([&](const FakeNode& node) {
        if (node.label() == QStringLiteral("m2")) {
            job->pause();
            stopper = std::thread([&] {
                EXPECT_TRUE(job->isPaused());
                // m2 is exported before the walk parks at the next boundary.
                while (!job->isWaiting())
                    std::this_thread::yield();
                job->abort();
            });
        }
    });
    EXPECT_EQ(scan(), ScanOutcome::Aborted);
    stopper.join();
    EXPECT_EQ(mailSubjects(), (QStringList{QStringLiteral("m1"), QStringLiteral("m2")}));
}

TEST_F(ExportWalkTest, PausedWalkGoesOnWhenResumed)
{
    FakeNode& folder = store.root().addFolder(QStringLiteral("Inbox"));
    for (int i = 1; i <= 3; ++i)
        folder.addMail(QStringLiteral("m%1").arg(i));
    std::thread resumer;
    store.setVisitHook([&](const FakeNode& node) {
        if (node.label() == QStringLiteral("m1")) {
            job->pause();
            resumer = std::thread([&] { job->resume(); });
        }
    });
    EXPECT_EQ(scan(), ScanOutcome::Completed);
    resumer.join();
    EXPECT_EQ(catalogs.mails().size(), 3);
}

TEST_F(ExportWalkTest, SecondScanContinuesSerialsAndCounters)
{
    FakeNode& folder = store.root().addFolder(QStringLiteral("Inbox"));
    folder.addMail(QStringLiteral("a"));
    folder.addMessage(ItemType::Contact);
    folder.addMessage(ItemType::Appointment);
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    catalogs.ClearCatalogs();
    tree.clear();
    storeNode = catalog::NoNode;
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    ASSERT_EQ(catalogs.mails().size(), 1);
    EXPECT_EQ(mail(0).serial, 4);
    EXPECT_EQ(contact(0).serial, 5);
    EXPECT_EQ(appointment(0).serial, 6);
    EXPECT_EQ(counters.contacts(), 2);
    EXPECT_EQ(counters.appointments(), 2);
}

TEST_F(ExportWalkTest, ItemsDirectlyBelowTheRootAttachToTheStoreNode)
{
    store.root().addMail(QStringLiteral("loose"));
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    ASSERT_EQ(catalogs.mails().size(), 1);
    EXPECT_EQ(mail(0).node, storeNode);
    EXPECT_EQ(tree.label(storeNode), QStringLiteral("/stores/sample.ost"));
}

TEST_F(ExportWalkTest, AbortFlagSetBeforeTheWalkEndsItAtOnce)
{
    store.root().addFolder(QStringLiteral("Inbox")).addMail(QStringLiteral("x"));
    scan::ExportHandle* handle = nullptr;
    ASSERT_EQ(scan::export_handle_initialize(&handle, 'i', nullptr), 1);
    handle->catalogs = &catalogs;
    handle->abortFlag.store(1);
    EXPECT_EQ(
        scan::export_handle_export_file(handle, store, QStringLiteral(".export"), 8, 'a', nullptr, nullptr),
        -1);
    EXPECT_EQ(handle->abortFlag.load(), 0);
    EXPECT_TRUE(catalogs.folders().isEmpty());
    ASSERT_EQ(scan::export_handle_free(&handle, nullptr), 1);
    EXPECT_EQ(handle, nullptr);
}
