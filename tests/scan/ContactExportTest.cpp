#include "scan/ContactExport.h"

#include "ScanFixture.h"

using scan::ScanOutcome;
using store::ItemType;
using support::FakeNode;

class ContactExportTest : public EngineFixture
{
};

TEST_F(ContactExportTest, NamesGoToTheirSlotsAndEverythingElseStaysEmpty)
{
    FakeNode& top = store.root().addFolder(QStringLiteral("Top of Personal Folders"));
    top.addFolder(QStringLiteral("Contacts"))
        .addMessage(ItemType::Contact)
        .setString(0x3A06, QStringLiteral("Ann"))
        .setString8(0x3A11, QStringLiteral("Smith"));
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    ASSERT_EQ(catalogs.contacts().size(), 1);
    const auto& c = contact(0);
    EXPECT_EQ(c.slot(13), QStringLiteral("Ann"));
    EXPECT_EQ(c.slot(12), QStringLiteral("Smith"));
    EXPECT_EQ(c.slot(67), QStringLiteral("\\Top-of-Personal-Folders\\Contacts"));
    EXPECT_EQ(c.presentSlots().size(), 3);
    EXPECT_EQ(c.name, QStringLiteral("Contacts"));
    EXPECT_EQ(c.kind, 7);
    EXPECT_EQ(c.node, folder(1).node);
    EXPECT_EQ(c.serial, 1);
}

TEST_F(ContactExportTest, SlotTableAndNonTextValues)
{
    FakeNode& person = store.root().addFolder(QStringLiteral("Contacts")).addMessage(ItemType::Contact);
    person.setString(0x3A5D, QStringLiteral("1 Main St"))
        .setString(0x3A16, QStringLiteral("Acme"))
        .setString(0x3A13, QStringLiteral("Dr."))
        .setPlainTextBody(QStringLiteral("met at the fair"))
        .setInteger16(0x3A4D, 2)
        .setFileTime(0x3A42, support::fileTimeOf(1980, 1, 1))
        .setInteger32(0x3A08, 12345);
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    const auto& c = contact(0);
    EXPECT_EQ(c.slot(10), QStringLiteral("1 Main St"));
    EXPECT_EQ(c.slot(38), QStringLiteral("1 Main St"));
    EXPECT_EQ(c.slot(1), QStringLiteral("Acme"));
    EXPECT_EQ(c.slot(65), QStringLiteral("Dr."));
    EXPECT_EQ(c.slot(66), QStringLiteral("met at the fair"));
    EXPECT_FALSE(c.slot(16));
    EXPECT_FALSE(c.slot(11));
    for (int empty : {4, 6, 44, 47, 48, 49, 50, 51, 52, 60, 64})
        EXPECT_FALSE(scan::contactSlotProperty(empty)) << empty;
    EXPECT_EQ(scan::contactSlotProperty(3), 0x8005u);
}

TEST_F(ContactExportTest, LabelCountsTheContactsOfEachFolder)
{
    FakeNode& contacts = store.root().addFolder(QStringLiteral("Contacts"));
    for (int i = 0; i < 3; ++i)
        contacts.addMessage(ItemType::Contact);
    FakeNode& kontakte = store.root().addFolder(QStringLiteral("Kontakte"));
    for (int i = 0; i < 2; ++i)
        kontakte.addMessage(ItemType::Contact);
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    EXPECT_EQ(tree.label(folder(0).node), QStringLiteral("Contacts(3)"));
    EXPECT_EQ(tree.label(folder(1).node), QStringLiteral("Kontakte(2)"));
    EXPECT_TRUE(tree.isBold(folder(1).node));
    EXPECT_EQ(counters.contacts(), 5);
    EXPECT_EQ(contact(4).serial, 5);
}

TEST_F(ContactExportTest, ContactWithoutAnyPropertyIsStillRecorded)
{
    store.root().addMessage(ItemType::Contact);
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    ASSERT_EQ(catalogs.contacts().size(), 1);
    EXPECT_TRUE(contact(0).presentSlots().isEmpty());
}
