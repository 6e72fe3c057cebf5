#include "views/ItemListFill.h"

#include "../support/RecordOf.h"
#include "views/ListLayout.h"

#include <gtest/gtest.h>
#include <tuple>

using namespace catalog;
using views::ItemListFill;
using views::ListLayout;

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

struct LayoutCase
{
    ListLayout::Kind kind;
    std::vector<std::pair<const char*, int>> columns;
};

void PrintTo(const LayoutCase& c, std::ostream* os)
{
    *os << "kind " << static_cast<int>(c.kind);
}

class LayoutCases : public ::testing::TestWithParam<LayoutCase>
{
};

TEST_P(LayoutCases, HeadingsWidthsAndLeftAlignment)
{
    const auto columns = ListLayout::columns(GetParam().kind);
    ASSERT_EQ(columns.size(), static_cast<qsizetype>(GetParam().columns.size()));
    for (qsizetype i = 0; i < columns.size(); ++i) {
        const auto& [heading, width] = GetParam().columns[static_cast<std::size_t>(i)];
        EXPECT_EQ(columns[i].heading, s(heading)) << i;
        EXPECT_EQ(columns[i].width, width) << i;
        EXPECT_EQ(columns[i].alignment, ListLayout::Alignment::Left);
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllLayouts, LayoutCases,
    ::testing::Values(
        LayoutCase{ListLayout::Kind::Initial,
                   {{"S.NO", 0},
                    {"Type", 0},
                    {"From", 200},
                    {"E-mail Subject", 400},
                    {"Flag", 50},
                    {"Priority", 100}}},
        LayoutCase{ListLayout::Kind::Mail,
                   {{"S.No", 0},
                    {"Type", 0},
                    {"From", 150},
                    {"E-mail Subject", 300},
                    {"Flag", 80},
                    {"Priority", 80},
                    {"Received", 130},
                    {"To", 150},
                    {"Size", 90}}},
        LayoutCase{ListLayout::Kind::Contact,
                   {{"S.No", 0},
                    {"Type", 0},
                    {"Full name", 80},
                    {"First name", 80},
                    {"Last name", 80},
                    {"Company", 80},
                    {"Business Phone", 80},
                    {"Business Fax", 80},
                    {"Home Phone", 80},
                    {"Mobile Phone", 80},
                    {"Flag", 80},
                    {"Categories", 80}}},
        LayoutCase{ListLayout::Kind::Appointment,
                   {{"S.No", 0},
                    {"Type", 0},
                    {"Subject", 80},
                    {"Location", 80},
                    {"Start", 80},
                    {"End", 80},
                    {"Recurrence", 80},
                    {"Size", 80}}},
        LayoutCase{ListLayout::Kind::Task,
                   {{"S.No", 0},
                    {"Type", 0},
                    {"Subject", 250},
                    {"Due Date", 130},
                    {"Status", 130},
                    {"% Complete", 80},
                    {"Priority", 80}}},
        LayoutCase{ListLayout::Kind::Note,
                   {{"S.No", 0}, {"Type", 0}, {"Subject", 300}, {"Color", 80}, {"Last Modified", 130}}},
        LayoutCase{ListLayout::Kind::Journal,
                   {{"S.No", 0}, {"Type", 0}, {"Subject", 300}, {"Entry Type", 130}, {"Start", 130}}}));

TEST(ItemListRows, MailRowCarriesSerialTypeTextsDateRecipientsAndSize)
{
    MailRecord record;
    record.serial = 12;
    record.from = s("Ann <ann@x>");
    record.subject = s("Hello");
    record.flags = s("Read");
    record.priority = s("Normal");
    record.deliveryTime = 129071738390000000ull; // 2010-01-05 14:03:59 UTC
    record.toNames = s("Bob Roy; Cy Lee");
    record.size = 4096;
    EXPECT_EQ(ItemListFill::mailRow(record),
              (QStringList{s("12"), s("mail"), s("Ann <ann@x>"), s("Hello"), s("Read"), s("Normal"),
                           s("Jan 05, 2010 14:03:59"), s("Bob Roy; Cy Lee"), s("4096  Bytes")}));
    record.serial = 0;
    record.from.reset();
    record.deliveryTime.reset();
    record.toNames.reset();
    record.size.reset();
    EXPECT_EQ(ItemListFill::mailRow(record),
              (QStringList{{}, s("mail"), {}, s("Hello"), s("Read"), s("Normal"), {}, {}, {}}));
}

TEST(ItemListRows, ContactRowReadsItsSlotsAndLeavesFlagAndCategoriesEmpty)
{
    ContactRecord record;
    record.serial = 3;
    for (const int slot : {1, 6, 8, 12, 13, 15, 16, 17})
        record.setSlot(slot, QStringLiteral("s%1").arg(slot));
    EXPECT_EQ(ItemListFill::contactRow(record), (QStringList{s("3"),
                                                             s("contact"),
                                                             s("s6"),
                                                             s("s13"),
                                                             s("s12"),
                                                             s("s1"),
                                                             s("s16"),
                                                             s("s17"),
                                                             s("s15"),
                                                             s("s8"),
                                                             {},
                                                             {}}));
    record.kind = 0;
    EXPECT_TRUE(ItemListFill::contactRow(record)[1].isEmpty());
}

TEST(ItemListRows, AppointmentRowShowsTheAppointmentsSubject)
{
    AppointmentRecord record;
    record.serial = 5;
    record.location = s("Room 1");
    record.start = s("Jan 05, 2010 14:03:59");
    record.end = s("Jan 05, 2010 15:03:59");
    record.placeholder2 = s("None");
    record.subject = s("Planning");
    EXPECT_EQ(ItemListFill::appointmentRow(record), (QStringList{s("5"),
                                                                 s("appointment"),
                                                                 s("Planning"),
                                                                 s("Room 1"),
                                                                 s("Jan 05, 2010 14:03:59"),
                                                                 s("Jan 05, 2010 15:03:59"),
                                                                 {},
                                                                 {}}));
    record.subject.reset();
    EXPECT_TRUE(ItemListFill::appointmentRow(record)[2].isEmpty());
}

struct SerialCase
{
    const char* text;
    int serial;
};

void PrintTo(const SerialCase& c, std::ostream* os)
{
    *os << "text '" << c.text << "'";
}

class SerialTextCases : public ::testing::TestWithParam<SerialCase>
{
};

TEST_P(SerialTextCases, LeadingDigitsOrZero)
{
    EXPECT_EQ(ItemListFill::serialFromText(s(GetParam().text)), GetParam().serial) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Texts, SerialTextCases,
                         ::testing::Values(SerialCase{"42", 42}, SerialCase{"7abc", 7}, SerialCase{"", 0},
                                           SerialCase{"x1", 0}, SerialCase{"2147483647", 2147483647},
                                           SerialCase{"2147483648", 0},
                                           SerialCase{"99999999999999999999", 0}));

// 2024-10-08 15:30:00 UTC as a FILETIME.
constexpr quint64 October8 = 133728750000000000ull;

TEST(ItemListRows, TaskNoteAndJournalRowsPutTheirCodesIntoWords)
{
    TaskRecord task;
    task.serial = 3;
    task.subject = s("Book travel");
    task.dueDate = October8;
    task.status = 3;
    task.percentComplete = 0.25;
    task.importance = 2;
    EXPECT_EQ(ItemListFill::taskRow(task),
              (QStringList{s("3"), s("task"), s("Book travel"), s("Oct 08, 2024 15:30:00"),
                           s("Waiting on someone else"), s("25%"), s("High")}));
    EXPECT_EQ(ItemListFill::taskRow(support::recordOf<TaskRecord>(NoNode, 4)),
              (QStringList{s("4"), s("task"), QString(), QString(), QString(), QString(), QString()}));
    NoteRecord note;
    note.serial = 5;
    note.subject = s("Wi-Fi");
    note.color = 1;
    note.modificationTime = October8;
    EXPECT_EQ(ItemListFill::noteRow(note),
              (QStringList{s("5"), s("note"), s("Wi-Fi"), s("Green"), s("Oct 08, 2024 15:30:00")}));
    JournalRecord entry;
    entry.serial = 6;
    entry.subject = s("Call with Dana");
    entry.entryType = s("Phone call");
    entry.start = October8;
    EXPECT_EQ(ItemListFill::journalRow(entry), (QStringList{s("6"), s("journal"), s("Call with Dana"),
                                                            s("Phone call"), s("Oct 08, 2024 15:30:00")}));
}

TEST(ItemListRows, EveryStoredCodeHasItsWordAndOthersShowAsStored)
{
    using Words = QString (*)(std::optional<quint32>);
    const std::tuple<Words, std::optional<quint32>, const char*> codes[] = {
        {ItemListFill::taskStatusText, 0, "Not Started"},
        {ItemListFill::taskStatusText, 1, "In Progress"},
        {ItemListFill::taskStatusText, 2, "Completed"},
        {ItemListFill::taskStatusText, 4, "Deferred"},
        {ItemListFill::taskStatusText, 5, "5"},
        {ItemListFill::taskStatusText, std::nullopt, ""},
        {ItemListFill::noteColorText, 0, "Blue"},
        {ItemListFill::noteColorText, 2, "Pink"},
        {ItemListFill::noteColorText, 3, "Yellow"},
        {ItemListFill::noteColorText, 4, "White"},
        {ItemListFill::noteColorText, 0xFFFFFFFFu, "4294967295"},
        {ItemListFill::importanceText, 0, "Low"},
        {ItemListFill::importanceText, 1, "Normal"},
        {ItemListFill::importanceText, 3, "3"},
    };
    for (const auto& [words, code, expected] : codes)
        EXPECT_EQ(words(code), s(expected)) << expected;
    const std::pair<std::optional<double>, const char*> fractions[] = {
        {0.0, "0%"},  {1.0, "100%"},    {0.5, "50%"},       {0.333, "33%"},
        {1.5, "1.5"}, {-0.25, "-0.25"}, {std::nullopt, ""},
    };
    for (const auto& [fraction, expected] : fractions)
        EXPECT_EQ(ItemListFill::percentText(fraction), s(expected)) << expected;
}

TEST(ItemListTypeWords, RoundTripAndUnknownWords)
{
    for (const auto type :
         {ItemListFill::ItemType::Mail, ItemListFill::ItemType::Contact, ItemListFill::ItemType::Appointment,
          ItemListFill::ItemType::Task, ItemListFill::ItemType::Note, ItemListFill::ItemType::Journal})
        EXPECT_EQ(ItemListFill::itemTypeFromWord(ItemListFill::typeWord(type)), type);
    EXPECT_FALSE(ItemListFill::itemTypeFromWord(s("Mail")).has_value());
    EXPECT_FALSE(ItemListFill::itemTypeFromWord(QString()).has_value());
}

constexpr NodeId inbox{1};
constexpr NodeId calendar{2};
constexpr NodeId contacts{3};
constexpr NodeId mixed{4};
constexpr NodeId empty{5};
constexpr NodeId tasks{6};
constexpr NodeId notes{7};
constexpr NodeId journal{8};

struct Filled
{
    Catalogs catalogs;
    Filled()
    {
        int serial = 0;
        auto addMail = [&](NodeId node, const char* subject) {
            MailRecord record;
            record.node = node;
            record.subject = s(subject);
            record.serial = ++serial;
            catalogs.AppendMailRecord(record);
        };
        auto addAppointment = [&](NodeId node) {
            AppointmentRecord record;
            record.node = node;
            record.placeholder2 = s("None");
            record.subject = s("Review");
            record.serial = ++serial;
            catalogs.AppendAppointmentRecord(record);
        };
        auto addContact = [&](NodeId node) {
            ContactRecord::SlotValues values;
            values[12] = s("Given");
            catalogs.AppendContactRecord(s("Contacts"), node, 7, values, ++serial);
        };
        // Serials 9 to 12: after the mails, appointments and contacts below.
        catalogs.AppendTaskRecord(support::recordOf<TaskRecord>(tasks, 9, s("First task")));
        catalogs.AppendNoteRecord(support::recordOf<NoteRecord>(notes, 10, s("A note")));
        catalogs.AppendJournalRecord(support::recordOf<JournalRecord>(journal, 11, s("A call")));
        catalogs.AppendTaskRecord(support::recordOf<TaskRecord>(tasks, 12, s("Second task")));
        catalogs.AppendTaskRecord(support::recordOf<TaskRecord>(mixed, 13, s("mixed task")));
        addMail(inbox, "first");
        addAppointment(calendar);
        addMail(mixed, "mixed mail");
        addContact(contacts);
        addMail(inbox, "second");
        addContact(mixed);
        addAppointment(mixed);
        addContact(contacts);
    }
};

TEST(FillItemList, MailFolderShowsItsRecordsInExportOrder)
{
    Filled f;
    const auto result = ItemListFill::FillItemList(f.catalogs, inbox);
    EXPECT_EQ(result.layout, ListLayout::Kind::Mail);
    EXPECT_TRUE(result.rows.isEmpty());
    ASSERT_EQ(result.mails.size(), 2);
    EXPECT_EQ(ItemListFill::mailRow(*result.mails[0])[0], s("1"));
    EXPECT_EQ(ItemListFill::mailRow(*result.mails[0])[3], s("first"));
    EXPECT_EQ(ItemListFill::mailRow(*result.mails[1])[0], s("5"));
    EXPECT_EQ(ItemListFill::mailRow(*result.mails[1])[1], s("mail"));
}

TEST(FillItemList, ContactAndCalendarFolders)
{
    Filled f;
    const auto contactResult = ItemListFill::FillItemList(f.catalogs, contacts);
    EXPECT_EQ(contactResult.layout, ListLayout::Kind::Contact);
    ASSERT_EQ(contactResult.rows.size(), 2);
    for (const auto& row : contactResult.rows) {
        EXPECT_TRUE(row[2].isEmpty());  // Full name: never filled by the export
        EXPECT_EQ(row[3], s("Given"));  // First name
        EXPECT_TRUE(row[10].isEmpty()); // Flag
        EXPECT_TRUE(row[11].isEmpty()); // Categories
    }
    const auto calendarResult = ItemListFill::FillItemList(f.catalogs, calendar);
    EXPECT_EQ(calendarResult.layout, ListLayout::Kind::Appointment);
    ASSERT_EQ(calendarResult.rows.size(), 1);
    EXPECT_EQ(calendarResult.rows[0][2], s("Review"));
}

TEST(FillItemList, TaskNoteAndJournalFoldersShowTheirRowsUnderTheirLayouts)
{
    Filled f;
    const std::tuple<NodeId, ListLayout::Kind, QStringList> folders[] = {
        {tasks, ListLayout::Kind::Task, {s("First task"), s("Second task")}},
        {notes, ListLayout::Kind::Note, {s("A note")}},
        {journal, ListLayout::Kind::Journal, {s("A call")}},
    };
    for (const auto& [node, layout, subjects] : folders) {
        const auto result = ItemListFill::FillItemList(f.catalogs, node);
        EXPECT_EQ(result.layout, layout);
        QStringList shown;
        for (const QStringList& row : result.rows) {
            EXPECT_EQ(row.size(), ListLayout::columns(layout).size());
            shown << row[2];
        }
        EXPECT_EQ(shown, subjects);
    }
}

TEST(FillItemList, NodeWithSeveralKindsShowsOnlyTheLastOfContactAppointmentMail)
{
    Filled f;
    const auto result = ItemListFill::FillItemList(f.catalogs, mixed);
    EXPECT_EQ(result.layout, ListLayout::Kind::Mail);
    ASSERT_EQ(result.mails.size(), 1);
    EXPECT_EQ(ItemListFill::mailRow(*result.mails[0])[3], s("mixed mail"));
}

TEST(FillItemList, NodeWithoutRecordsKeepsTheLayoutAndHasNoRows)
{
    Filled f;
    for (const NodeId node : {empty, NoNode}) {
        const auto result = ItemListFill::FillItemList(f.catalogs, node);
        EXPECT_FALSE(result.layout.has_value());
        EXPECT_TRUE(result.rows.isEmpty());
    }
}

TEST(SearchRows, EveryKindHasItsFolderInTheLastColumn)
{
    Filled f;
    const QString folder = s("Top/Inbox");
    // Serials of Filled: 1 mail, 2 appointment, 4 contact; 99 is not in the catalogs.
    for (const auto& [serial, kind, type] :
         {std::tuple{1, MailRecord::Kind, "mail"}, std::tuple{2, AppointmentRecord::Kind, "appointment"},
          std::tuple{4, ContactRecord::Kind, "contact"}, std::tuple{9, TaskRecord::Kind, "task"},
          std::tuple{10, NoteRecord::Kind, "note"}, std::tuple{11, JournalRecord::Kind, "journal"}}) {
        const QStringList row = ItemListFill::searchRow(f.catalogs, catalog::SearchMatch{serial, kind, 0, -1}, folder);
        ASSERT_EQ(row.size(), ListLayout::columns(ListLayout::Kind::SearchResults).size()) << type;
        EXPECT_EQ(row[1], s(type));
        EXPECT_EQ(row.last(), folder) << type;
    }
    EXPECT_TRUE(ItemListFill::searchRow(f.catalogs, catalog::SearchMatch{99, MailRecord::Kind, 0, -1}, folder).isEmpty());
}

} // namespace
