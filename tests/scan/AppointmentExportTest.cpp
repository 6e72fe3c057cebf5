#include "scan/AppointmentExport.h"

#include "ScanFixture.h"

using scan::ScanOutcome;
using store::ItemType;
using support::FakeNode;

namespace {
constexpr std::uint32_t Start = 0x820D;
constexpr std::uint32_t End = 0x820E;
constexpr std::uint32_t Location = 0x8208;
constexpr std::uint32_t Recurrence = 0x8232;
} // namespace

class AppointmentExportTest : public EngineFixture
{
};

TEST_F(AppointmentExportTest, TimesLocationAndRecurrence)
{
    store.root()
        .addFolder(QStringLiteral("Calendar"))
        .addMessage(ItemType::Appointment)
        .setFileTime(Start, support::fileTimeOf(2012, 3, 4, 9, 0, 0))
        .setFileTime(End, support::fileTimeOf(2012, 3, 4, 10, 30, 0))
        .setString(Location, QStringLiteral("Room 4"))
        .setString(Recurrence, QStringLiteral("every Monday"))
        .setString(0x0037, QStringLiteral("Plan: Q3 -- review"));
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    ASSERT_EQ(catalogs.appointments().size(), 1);
    const auto& a = appointment(0);
    // As written, like a mail subject.
    EXPECT_EQ(a.subject, QStringLiteral("Plan: Q3 -- review"));
    EXPECT_EQ(a.start, QStringLiteral("Mar 04, 2012 09:00:00"));
    EXPECT_EQ(a.end, QStringLiteral("Mar 04, 2012 10:30:00"));
    EXPECT_EQ(a.location, QStringLiteral("Room 4"));
    EXPECT_EQ(a.recurrence, QStringLiteral("every Monday"));
    EXPECT_EQ(a.placeholder1, QStringLiteral("None"));
    EXPECT_EQ(a.placeholder2, QStringLiteral("None"));
    EXPECT_EQ(a.name, QStringLiteral("Calendar"));
    EXPECT_EQ(a.folderPath, QStringLiteral("\\Calendar"));
    EXPECT_EQ(a.kind, 2);
    EXPECT_EQ(a.node, folder(0).node);
}

TEST_F(AppointmentExportTest, MissingValues)
{
    store.root()
        .addFolder(QStringLiteral("Calendar"))
        .addMessage(ItemType::Appointment)
        .setString(Location, QString());
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    const auto& a = appointment(0);
    EXPECT_EQ(a.location, QStringLiteral(" "));
    EXPECT_EQ(a.recurrence, QStringLiteral(" "));
    EXPECT_EQ(a.start, QStringLiteral("None"));
    EXPECT_EQ(a.end, QStringLiteral("None"));
    EXPECT_FALSE(a.subject.has_value());
}

TEST_F(AppointmentExportTest, LongTextsAreCutOnACharacter)
{
    // 255 two-byte characters make 510 bytes; the 256th would pass the 511-byte limit.
    store.root()
        .addFolder(QStringLiteral("Calendar"))
        .addMessage(ItemType::Appointment)
        .setString(Location, QString(300, QChar(u'é')))
        .setString(Recurrence, QString(300, QLatin1Char('r')));
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    const auto& a = appointment(0);
    EXPECT_EQ(a.location, QString(255, QChar(u'é')));
    EXPECT_EQ(a.recurrence, QString(259, QLatin1Char('r')));
}

TEST_F(AppointmentExportTest, LabelCountsTheAppointmentsOfEachFolder)
{
    FakeNode& other = store.root().addFolder(QStringLiteral("Holidays"));
    other.addMessage(ItemType::Appointment);
    other.addMessage(ItemType::Appointment);
    store.root().addFolder(QStringLiteral("Calendar")).addMessage(ItemType::Appointment);
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    EXPECT_EQ(tree.label(folder(0).node), QStringLiteral("Holidays(2)"));
    EXPECT_EQ(tree.label(folder(1).node), QStringLiteral("Calendar(1)"));
    EXPECT_TRUE(tree.isBold(folder(1).node));
    EXPECT_EQ(counters.appointments(), 3);
}

TEST_F(AppointmentExportTest, AttachmentsAreWalkedButTheirListIsDropped)
{
    FakeNode& calendar = store.root().addFolder(QStringLiteral("Calendar"));
    FakeNode& appointment = calendar.addMessage(ItemType::Appointment);
    appointment.addDataAttachment(QStringLiteral("agenda.doc"));
    appointment.addEmbeddedItem().setString(0x0037, QStringLiteral("invitation"));
    calendar.addMail(QStringLiteral("next"));
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    EXPECT_EQ(mailSubjects(), (QStringList{QStringLiteral("invitation"), QStringLiteral("next")}));
    EXPECT_FALSE(mailWithSubject(QStringLiteral("next")).attachments);
    EXPECT_EQ(catalogs.appointments().size(), 1);
    // The folder's first mail labels it with the folder's count of messages of every kind.
    EXPECT_EQ(tree.label(folder(0).node), QStringLiteral("Calendar(2)"));
}

TEST_F(AppointmentExportTest, EmbeddedAppointmentDoesNotRelabelTheMailFolder)
{
    FakeNode& inbox = store.root().addFolder(QStringLiteral("Inbox"));
    inbox.addMail(QStringLiteral("invite")).addEmbeddedItem(ItemType::Appointment);
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    EXPECT_EQ(catalogs.appointments().size(), 1);
    EXPECT_EQ(tree.label(folder(0).node), QStringLiteral("Inbox(1)"));
}
