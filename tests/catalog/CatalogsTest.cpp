#include "catalog/Catalogs.h"

#include "../support/RecordOf.h"
#include "catalog/ItemSerialCounter.h"

#include <gtest/gtest.h>

using namespace catalog;

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

MailRecord mail(std::optional<QString> name, NodeId node, int serial)
{
    MailRecord record;
    record.name = std::move(name);
    record.node = node;
    record.serial = serial;
    record.subject = s("subject");
    return record;
}

AppointmentRecord appointment(std::optional<QString> name, NodeId node, int serial)
{
    AppointmentRecord record;
    record.name = std::move(name);
    record.node = node;
    record.serial = serial;
    return record;
}

constexpr NodeId node1{1};
constexpr NodeId node2{2};
constexpr NodeId node3{3};

TEST(CatalogsNames, AbsentNameTakesThePreviousRecordsNameExceptForTheFirst)
{
    Catalogs catalogs;
    EXPECT_FALSE(catalogs.AppendMailRecord(mail(std::nullopt, node1, 1))->name.has_value());
    catalogs.AppendMailRecord(mail(s("Inbox"), node1, 2));
    EXPECT_EQ(catalogs.AppendMailRecord(mail(std::nullopt, node2, 3))->name, s("Inbox"));
    EXPECT_EQ(catalogs.AppendMailRecord(mail(std::nullopt, node2, 4))->name, s("Inbox"));

    EXPECT_FALSE(catalogs.AppendAppointmentRecord(appointment(std::nullopt, node3, 5))->name.has_value());
    catalogs.AppendAppointmentRecord(appointment(s("Calendar"), node3, 6));
    EXPECT_EQ(catalogs.AppendAppointmentRecord(appointment(std::nullopt, node3, 7))->name, s("Calendar"));
}

TEST(CatalogsSerials, MailSerialZeroIsStoredAsOneAndLookupFindsTheFirst)
{
    Catalogs catalogs;
    catalogs.AppendMailRecord(mail(s("A"), node1, 0));
    catalogs.AppendMailRecord(mail(s("B"), node1, 1));
    EXPECT_EQ(catalogs.mails().at(0)->serial, 1);
    EXPECT_EQ(catalogs.mails().bySerial(1)->name, s("A"));
    EXPECT_EQ(catalogs.mails().bySerial(2), nullptr);
    EXPECT_EQ(catalogs.appointments().bySerial(1), nullptr);
}

TEST(CatalogsSerials, CounterStartsAtOneAndContinuesAcrossClears)
{
    ItemSerialCounter counter;
    Catalogs catalogs;
    for (int i = 0; i < 3; ++i)
        catalogs.AppendMailRecord(mail(s("Inbox"), node1, counter.next()));
    catalogs.ClearCatalogs();
    for (int i = 0; i < 2; ++i)
        catalogs.AppendMailRecord(mail(s("Inbox"), node1, counter.next()));
    ASSERT_EQ(catalogs.mails().size(), 2);
    EXPECT_EQ(catalogs.mails().at(0)->serial, 4);
    EXPECT_EQ(catalogs.mails().at(1)->serial, 5);
    EXPECT_EQ(catalogs.mails().bySerial(1), nullptr);
}

TEST(CatalogsContacts, IgnoredSlotsStayEmptyWhateverThePositionsCarry)
{
    Catalogs catalogs;
    ContactRecord::SlotValues values;
    for (int i = 0; i < ContactRecord::SlotCount; ++i)
        values[static_cast<std::size_t>(i)] = QString::number(i + 1);
    values[5] = std::nullopt; // slot 6
    const auto record = catalogs.AppendContactRecord(s("Contacts"), node1, ContactRecord::Kind, values, 9);
    // In memory the record holds only the slots the list shows; the text file has the others.
    const ContactRecord full = catalogs.fullContact(*record);
    for (int slot = 1; slot <= ContactRecord::SlotCount; ++slot) {
        const bool empty = slot == 6 || slot == 11 || slot == 29 || slot == 30;
        EXPECT_EQ(full.slot(slot).has_value(), !empty) << slot;
        EXPECT_EQ(record->slot(slot).has_value(), !empty && ContactRecord::isListedSlot(slot)) << slot;
        if (!empty) {
            EXPECT_EQ(full.slot(slot), QString::number(slot));
        }
    }
    EXPECT_FALSE(full.slot(0).has_value());
    EXPECT_FALSE(full.slot(68).has_value());
    EXPECT_EQ(record->kind, 7);
    EXPECT_EQ(catalogs.contacts().bySerial(9), record);
}

TEST(CatalogsContacts, PresentEmptyTextIsNotAbsent)
{
    ContactRecord record;
    record.setSlot(13, QString());
    ASSERT_TRUE(record.slot(13).has_value());
    EXPECT_TRUE(record.slot(13)->isEmpty());
    record.setSlot(13, std::nullopt);
    EXPECT_FALSE(record.slot(13).has_value());
}

TEST(CatalogsNodes, RecordsForNodeKeepAppendOrderAndSkipOtherNodes)
{
    Catalogs catalogs;
    catalogs.AppendMailRecord(mail(s("A"), node1, 1));
    catalogs.AppendMailRecord(mail(s("B"), node2, 2));
    catalogs.AppendMailRecord(mail(s("C"), node1, 3));
    catalogs.AppendMailRecord(mail(s("D"), NoNode, 4));
    const auto records = catalogs.mails().recordsForNode(node1);
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[0]->serial, 1);
    EXPECT_EQ(records[1]->serial, 3);
    EXPECT_TRUE(catalogs.mails().recordsForNode(NoNode).isEmpty());
    EXPECT_EQ(catalogs.mails().countForNode(node2), 1);
    EXPECT_EQ(catalogs.mails().recordsFrom(2).size(), 2);
    EXPECT_TRUE(catalogs.mails().recordsFrom(9).isEmpty());
}

TEST(CatalogsNodes, FolderNodeIsItsOwnNodeOrTheParentOfOne)
{
    Catalogs catalogs;
    const NodeId store{10};
    const NodeId inbox{11};
    const NodeId sub{12};
    EXPECT_FALSE(catalogs.IsCatalogFolderNode(store));
    catalogs.AppendFolderRecord(s("Inbox"), s("/x/a.ost"), 1, QString(), store, inbox);
    EXPECT_TRUE(catalogs.IsCatalogFolderNode(store));
    EXPECT_TRUE(catalogs.IsCatalogFolderNode(inbox));
    EXPECT_FALSE(catalogs.IsCatalogFolderNode(sub));
    EXPECT_FALSE(catalogs.IsCatalogFolderNode(NoNode));
    catalogs.AppendFolderRecord(s("Sub"), s("Inbox"), 2, s("\\Inbox"), inbox, sub);
    EXPECT_TRUE(catalogs.IsCatalogFolderNode(sub));
    const auto record = catalogs.folders().at(1);
    EXPECT_EQ(record->relativePath, s("\\Inbox"));
    EXPECT_EQ(record->parentLabel, s("Inbox"));
    EXPECT_EQ(record->depth, 2);

    catalogs.ClearCatalogs();
    for (const NodeId node : {store, inbox, sub})
        EXPECT_FALSE(catalogs.IsCatalogFolderNode(node));
}

TEST(CatalogsClear, EmptiesEveryCatalogAndRecordsHeldByReadersStayValid)
{
    Catalogs catalogs;
    catalogs.AppendFolderRecord(s("Inbox"), s("p"), 1, QString(), node1, node2);
    const auto held = catalogs.AppendMailRecord(mail(s("Inbox"), node2, 1));
    catalogs.AppendAppointmentRecord(appointment(s("Calendar"), node2, 2));
    catalogs.AppendContactRecord(s("Contacts"), node2, 7, {}, 3);
    catalogs.AppendTaskRecord(support::recordOf<TaskRecord>(node2, 5));
    catalogs.AppendNoteRecord(support::recordOf<NoteRecord>(node2, 6));
    catalogs.AppendJournalRecord(support::recordOf<JournalRecord>(node2, 7));
    const auto snapshot = catalogs.mails().records();
    const quint64 generation = catalogs.generation();

    catalogs.ClearCatalogs();
    EXPECT_EQ(catalogs.folders().size(), 0);
    EXPECT_EQ(catalogs.mails().size(), 0);
    EXPECT_EQ(catalogs.contacts().size(), 0);
    EXPECT_EQ(catalogs.appointments().size(), 0);
    EXPECT_EQ(catalogs.tasks().size() + catalogs.notes().size() + catalogs.journal().size(), 0);
    EXPECT_EQ(catalogs.mails().bySerial(1), nullptr);
    EXPECT_GT(catalogs.generation(), generation);
    EXPECT_EQ(held->subject, s("subject"));
    ASSERT_EQ(snapshot.size(), 1);
    EXPECT_EQ(snapshot[0]->name, s("Inbox"));

    // Appending after a clear starts a fresh chain: the first record's absent name stays absent.
    EXPECT_FALSE(catalogs.AppendMailRecord(mail(std::nullopt, node1, 4))->name.has_value());
}

TEST(CatalogsOutOfMemory, HandlerIsToldWhichCatalogAndWhetherItWasEmptyThenTheAppendThrows)
{
    struct Expectation
    {
        CatalogOutOfMemory::Catalog catalog;
        bool wasEmpty;
    };
    Catalogs catalogs;
    std::vector<Expectation> seen;
    catalogs.setOutOfMemoryHandler([&](const CatalogOutOfMemory& error) {
        seen.push_back({error.catalog(), error.catalogWasEmpty()});
    });

    catalogs.setRecordLimit(0);
    EXPECT_THROW(catalogs.AppendFolderRecord(s("A"), s("p"), 1, QString(), node1, node2), CatalogOutOfMemory);
    EXPECT_THROW(catalogs.AppendMailRecord(mail(s("A"), node1, 1)), CatalogOutOfMemory);
    EXPECT_THROW(catalogs.AppendContactRecord(s("C"), node1, 7, {}, 2), CatalogOutOfMemory);
    EXPECT_THROW(catalogs.AppendAppointmentRecord(appointment(s("K"), node1, 3)), CatalogOutOfMemory);
    EXPECT_FALSE(catalogs.IsCatalogFolderNode(node2));

    catalogs.setRecordLimit(1);
    catalogs.AppendFolderRecord(s("A"), s("p"), 1, QString(), node1, node2);
    EXPECT_THROW(catalogs.AppendFolderRecord(s("B"), s("p"), 1, QString(), node1, node3), CatalogOutOfMemory);

    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[0].catalog, CatalogOutOfMemory::Catalog::Folder);
    EXPECT_TRUE(seen[0].wasEmpty);
    EXPECT_EQ(seen[1].catalog, CatalogOutOfMemory::Catalog::Mail);
    EXPECT_EQ(seen[2].catalog, CatalogOutOfMemory::Catalog::Contact);
    EXPECT_EQ(seen[3].catalog, CatalogOutOfMemory::Catalog::Appointment);
    EXPECT_EQ(seen[4].catalog, CatalogOutOfMemory::Catalog::Folder);
    EXPECT_FALSE(seen[4].wasEmpty);
    // The failed append left the catalog as it was.
    EXPECT_EQ(catalogs.folders().size(), 1);
    EXPECT_FALSE(catalogs.IsCatalogFolderNode(node3));
}

TEST(CatalogsOutOfMemory, HandlerMayUseTheCatalogsItself)
{
    // The app's handler may wait for the GUI thread while that thread clears the catalogs; the
    // append must not hold its lock while the handler runs.
    Catalogs catalogs;
    catalogs.AppendMailRecord(mail(s("A"), node1, 1));
    catalogs.setRecordLimit(1);
    bool cleared = false;
    catalogs.setOutOfMemoryHandler([&](const CatalogOutOfMemory&) {
        catalogs.ClearCatalogs();
        cleared = true;
    });
    EXPECT_THROW(catalogs.AppendMailRecord(mail(s("B"), node1, 2)), CatalogOutOfMemory);
    EXPECT_TRUE(cleared);
    EXPECT_EQ(catalogs.mails().size(), 0);
}

TEST(CatalogsMemory, RecordsStayWellUnderTwoKilobytesBeyondTheirTexts)
{
    EXPECT_LT(sizeof(MailRecord), 1024u);
    EXPECT_LT(sizeof(AppointmentRecord), 1024u);
    EXPECT_LT(sizeof(ContactRecord), 256u); // present slots only
    EXPECT_LT(sizeof(FolderRecord), 256u);
}

} // namespace
