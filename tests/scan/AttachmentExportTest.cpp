#include "ScanFixture.h"

#include <QDir>
#include <QFileInfo>

using scan::ScanOutcome;
using store::ItemType;
using support::FakeNode;
using support::FakeOp;

class AttachmentExportTest : public EngineFixture
{
protected:
    FakeNode& inbox()
    {
        return m_inbox ? *m_inbox : *(m_inbox = &store.root().addFolder(QStringLiteral("Inbox")));
    }
    QString in(const QString& name) const { return attachmentsDirectory() + QLatin1Char('/') + name; }

private:
    FakeNode* m_inbox = nullptr;
};

TEST_F(AttachmentExportTest, RecipientLineListsDisplayNamesEachFollowedBySeparator)
{
    inbox()
        .addMail(QStringLiteral("three"))
        .addRecipient(QStringLiteral("Ann"))
        .addRecipient(QStringLiteral("Bob"), QStringLiteral("bob@example.org"))
        .addRecipient(QStringLiteral("Eve"));
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    EXPECT_EQ(mail(0).to, QStringLiteral("Ann ;Bob ;Eve ;"));
}

TEST_F(AttachmentExportTest, RecipientsWithoutNameOrWithoutAnyTextAreSkipped)
{
    inbox()
        .addMail(QStringLiteral("gaps"))
        .addRecipientProperties({})
        .addRecipient(QString(), QStringLiteral("anon@example.org"))
        .addRecipient(QStringLiteral("Bob"))
        .addRecipientProperties({{0x5FF6, QStringLiteral("Recipient only")}})
        .addRecipient(QStringLiteral("Eve"));
    inbox().addMail(QStringLiteral("none")).setEmptyRecipientsTable();
    inbox()
        .addMail(QStringLiteral("unreadable"))
        .addRecipient(QStringLiteral("X"))
        .recipientsTable()
        .failOn(FakeOp::RecordSetCount);
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    EXPECT_EQ(mailWithSubject(QStringLiteral("gaps")).to, QStringLiteral("Bob ;Eve ;"));
    EXPECT_FALSE(mailWithSubject(QStringLiteral("none")).to);
    EXPECT_FALSE(mailWithSubject(QStringLiteral("unreadable")).to);
    EXPECT_EQ(job->report().totalIncomplete(), 1);
}

TEST_F(AttachmentExportTest, DataAndReferenceAttachmentsAreListedButNothingIsWritten)
{
    inbox()
        .addMail(QStringLiteral("files"))
        .addDataAttachment(QStringLiteral("report.pdf"), "%PDF")
        .addReferenceAttachment(QStringLiteral("link.url"))
        .addDataAttachment(QStringLiteral("photo.jpg"), "JPEG");
    inbox().addMail(QStringLiteral("plain"));
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    const auto& files = mailWithSubject(QStringLiteral("files"));
    EXPECT_EQ(files.attachments, in(QStringLiteral("report.pdf")) + QStringLiteral(" ;") +
                                     in(QStringLiteral("link.url")) + QStringLiteral(" ;") +
                                     in(QStringLiteral("photo.jpg")) + QStringLiteral(" ;"));
    ASSERT_EQ(files.attachmentFiles.size(), 3);
    // The by-reference file stays where it is: nothing to save, nothing to find again.
    EXPECT_TRUE(files.attachmentFiles[1].filePath.isEmpty());
    EXPECT_EQ(files.attachmentFiles[1].messageIndex, -1);
    EXPECT_FALSE(QFileInfo::exists(in(QStringLiteral("report.pdf"))));
    EXPECT_FALSE(QFileInfo::exists(in(QStringLiteral("photo.jpg"))));
    EXPECT_FALSE(mailWithSubject(QStringLiteral("plain")).attachments);
    EXPECT_TRUE(QDir(attachmentsDirectory()).isEmpty());
}

TEST_F(AttachmentExportTest, NoAttachmentsNoDirectory)
{
    inbox().addMail(QStringLiteral("plain"));
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    EXPECT_FALSE(QFileInfo::exists(attachmentsDirectory()));
}

TEST_F(AttachmentExportTest, NamelessAttachmentsAndEmbeddedItemsAreUniqueAcrossTheScan)
{
    inbox()
        .addMail(QStringLiteral("a"))
        .addUnnamedDataAttachment()
        .addEmbeddedItem()
        .setString(0x0037, QStringLiteral("inner a"));
    inbox()
        .addMail(QStringLiteral("b"))
        .addUnnamedDataAttachment()
        .addEmbeddedItem()
        .setString(0x0037, QStringLiteral("inner b"));
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    EXPECT_EQ(mailWithSubject(QStringLiteral("a")).attachments,
              in(QStringLiteral("Attachment00001")) + QStringLiteral(" ;") +
                  in(QStringLiteral("Embedded00001")) + QStringLiteral(" ;"));
    EXPECT_EQ(mailWithSubject(QStringLiteral("b")).attachments,
              in(QStringLiteral("Attachment00002")) + QStringLiteral(" ;") +
                  in(QStringLiteral("Embedded00002")) + QStringLiteral(" ;"));
    EXPECT_TRUE(hasMail(QStringLiteral("inner a")));
    EXPECT_TRUE(hasMail(QStringLiteral("inner b")));
    EXPECT_TRUE(QFileInfo(in(QStringLiteral("Embedded00002"))).isDir());
}

TEST_F(AttachmentExportTest, DirectoriesLeftByAnEarlierScanDoNotHideEmbeddedItems)
{
    inbox().addMail(QStringLiteral("outer")).addEmbeddedItem().setString(0x0037, QStringLiteral("inner"));
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    catalogs.ClearCatalogs();
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    EXPECT_TRUE(hasMail(QStringLiteral("inner")));
}

TEST_F(AttachmentExportTest, AttachmentsThatCannotBeListedStillLeaveTheRecord)
{
    inbox()
        .addMail(QStringLiteral("uncountable"))
        .addDataAttachment(QStringLiteral("x.txt"))
        .failOn(FakeOp::AttachmentCount);
    FakeNode& partly = inbox().addMail(QStringLiteral("partly"));
    partly.addDataAttachment(QStringLiteral("lost.txt"))
        .addDataAttachment(QStringLiteral("kept.txt"))
        .addDataAttachment(QStringLiteral("typeless.txt"));
    partly.attachmentNode(0).makeUnfetchable();
    partly.attachmentNode(2).failOn(FakeOp::AttachmentType);
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    const auto& uncountable = mailWithSubject(QStringLiteral("uncountable"));
    EXPECT_FALSE(uncountable.attachments);
    const auto& kept = mailWithSubject(QStringLiteral("partly"));
    EXPECT_EQ(kept.attachments, in(QStringLiteral("kept.txt")) + QStringLiteral(" ;"));
    EXPECT_EQ(job->report().totalIncomplete(), 2);
    EXPECT_EQ(job->report().totalFailures(), 0);
}

TEST_F(AttachmentExportTest, AbortWhileAttachmentsAreWalkedDropsThatMessage)
{
    inbox().addMail(QStringLiteral("done"));
    FakeNode& cut = inbox().addMail(QStringLiteral("cut"));
    cut.addDataAttachment(QStringLiteral("one.txt")).addDataAttachment(QStringLiteral("two.txt"));
    store.setVisitHook([this](const FakeNode& node) {
        if (node.label() == QStringLiteral("two.txt"))
            job->abort();
    });
    EXPECT_EQ(scan(), ScanOutcome::Aborted);
    EXPECT_EQ(mailSubjects(), QStringList{QStringLiteral("done")});
}

TEST_F(AttachmentExportTest, EmbeddedNestingIsBounded)
{
    FakeNode* level = &inbox().addMail(QStringLiteral("level 0"));
    for (int depth = 1; depth <= 40; ++depth)
        level = &level->addEmbeddedItem().setString(0x0037, QStringLiteral("level %1").arg(depth));
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    EXPECT_EQ(catalogs.mails().size(), 33);
    EXPECT_TRUE(hasMail(QStringLiteral("level 32")));
    EXPECT_FALSE(hasMail(QStringLiteral("level 33")));
}
