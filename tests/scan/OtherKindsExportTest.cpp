#include "ScanFixture.h"
#include "store/FileTime.h"

#include <QtEndian>
#include <cstring>

using scan::ScanOutcome;
using store::ItemType;
using support::FakeNode;

namespace {

QByteArray doubleBytes(double value)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    QByteArray bytes(8, '\0');
    qToLittleEndian(bits, bytes.data());
    return bytes;
}

} // namespace

class OtherKindsExportTest : public EngineFixture
{
};

TEST_F(OtherKindsExportTest, TaskNoteAndJournalValuesGoIntoTheirRecordsWithTheirTexts)
{
    const std::uint64_t due = support::fileTimeOf(2024, 10, 10, 17, 0, 0);
    const std::uint64_t start = support::fileTimeOf(2024, 10, 8, 15, 30, 0);
    FakeNode& tasks = store.root().addFolder(QStringLiteral("Tasks"));
    tasks.addMessage(ItemType::Task)
        .setString(0x0037, QStringLiteral("Submit report"))
        .setFileTime(0x8105, due)
        .setInteger32(0x8101, 1)
        .setBinary(0x8102, doubleBytes(0.5))
        .setInteger32(0x0017, 2)
        .setPlainTextBody(QStringLiteral("Due Friday"));
    // Without an importance the priority stands in for it (-1 non-urgent: low); a percentage
    // that is not 8 bytes is no percentage.
    tasks.addMessage(ItemType::Task).setInteger32(0x0026, -1).setBinary(0x8102, QByteArray(4, '\0'));
    store.root()
        .addFolder(QStringLiteral("Notes"))
        .addMessage(ItemType::Note)
        .setString(0x0037, QStringLiteral("Wi-Fi"))
        .setInteger32(0x8B00, 3)
        .setFileTime(0x3008, start)
        .setPlainTextBody(QStringLiteral("code 1234"));
    FakeNode& journal = store.root().addFolder(QStringLiteral("Journal"));
    journal.addMessage(ItemType::Activity)
        .setString(0x0037, QStringLiteral("Call with Dana"))
        .setString(0x8700, QStringLiteral("Phone call"))
        .setFileTime(0x8706, start);
    // Without a type the type's description stands in for it.
    journal.addMessage(ItemType::Activity).setString(0x8712, QStringLiteral("Meeting"));
    ASSERT_EQ(scan(), ScanOutcome::Completed);

    ASSERT_EQ(catalogs.tasks().size(), 2);
    const auto& task = existing(catalogs.tasks().at(0));
    EXPECT_EQ(task.subject, QStringLiteral("Submit report"));
    EXPECT_EQ(task.dueDate, due);
    EXPECT_EQ(task.time, store::fileTimeToMsecsSinceEpoch(due));
    EXPECT_EQ(task.status, 1u);
    EXPECT_EQ(task.percentComplete, 0.5);
    EXPECT_EQ(task.importance, 2u);
    EXPECT_EQ(task.node, folder(0).node);
    EXPECT_EQ(catalogs.bodyText(task.body), QStringLiteral("Due Friday"));
    const auto& second = existing(catalogs.tasks().at(1));
    EXPECT_EQ(second.importance, 0u);
    EXPECT_FALSE(second.percentComplete.has_value());
    EXPECT_FALSE(second.subject.has_value());
    EXPECT_EQ(second.time, -1);

    ASSERT_EQ(catalogs.notes().size(), 1);
    const auto& note = existing(catalogs.notes().at(0));
    EXPECT_EQ(note.color, 3u);
    EXPECT_EQ(note.modificationTime, start);
    EXPECT_EQ(catalogs.bodyText(note.body), QStringLiteral("code 1234"));

    ASSERT_EQ(catalogs.journal().size(), 2);
    const auto& call = existing(catalogs.journal().at(0));
    const auto& meeting = existing(catalogs.journal().at(1));
    EXPECT_EQ(call.entryType, QStringLiteral("Phone call"));
    EXPECT_EQ(call.start, start);
    EXPECT_EQ(meeting.entryType, QStringLiteral("Meeting"));

    EXPECT_EQ(tree.label(folder(0).node), QStringLiteral("Tasks(2)"));
    EXPECT_EQ(tree.label(folder(1).node), QStringLiteral("Notes(1)"));
    EXPECT_EQ(tree.label(folder(2).node), QStringLiteral("Journal(2)"));
    EXPECT_TRUE(tree.isBold(folder(2).node));
    // Every item has its own serial, across the kinds.
    EXPECT_EQ(meeting.serial, 5);
}
