#include "../support/MailView.h"
#include "views/PreviewPages.h"

#include <gtest/gtest.h>

using namespace catalog;
using views::PreviewPages;

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

support::MailView sampleMail()
{
    support::MailView record;
    record.from = s("Ann Smith");
    record.to = s("Bob ;Carl ;");
    record.subject = s("Quarterly report");
    record.date = s("Jan 05, 2010 14:03:59");
    record.serial = 4;
    return record;
}

TEST(MailPage, GoldenPageWithoutAttachments)
{
    const QString page = PreviewPages::mailPage(support::asMail(sampleMail()), s("/tmp/p/Attachments"), s("/tmp/p/body.txt"));
    EXPECT_EQ(
        page,
        s("<table width=\"100%\" border=\"0\" cellspacing=\"2\" cellpadding=\"2\"><tr><td width=\"100\" "
          "valign=\"top\">From:</td><td width=\"300\" valign=\"top\">Ann Smith</td><td width=\"100\" "
          "valign=\"top\">To:</td><td valign=\"top\">Bob ;Carl ;</td></tr><tr><td width=\"100\" "
          "valign=\"top\">Subjects:</td><td width=\"300\" valign=\"top\">Quarterly report</td><td "
          "width=\"100\" valign=\"top\">Date:</td><td valign=\"top\">Jan 05, 2010 "
          "14:03:59</td></tr></table><hr><IFRAME SRC='/tmp/p/body.txt' WIDTH=100% HEIGHT=70% "
          "frameborder=0 scrolling=auto ></IFRAME>"));
}

TEST(MailPage, RecipientsStandOnTheirOwnLinesWithTheirAddresses)
{
    support::MailView record = sampleMail();
    record.recipients = {{s("Bob Lee"), s("bob@example.com"), MailRecipient::To},
                         {s("carl@example.com"), s("carl@example.com"), MailRecipient::To},
                         {s("Dana <Ops>"), s("dana@example.com"), MailRecipient::Cc},
                         {s("Eve"), QString(), MailRecipient::Cc},
                         {QString(), s("fay@example.com"), MailRecipient::Bcc}};
    const QString page = PreviewPages::mailPage(support::asMail(record), QString(), s("/t/body.txt"));
    EXPECT_TRUE(page.contains(s("To:</td><td valign=\"top\">Bob Lee &lt;bob@example.com&gt;; carl@example.com</td>")))
        << page.toStdString();
    EXPECT_TRUE(page.contains(s("<tr><td width=\"100\" valign=\"top\">Cc:</td><td colspan=\"3\" valign=\"top\">"
                                "Dana &lt;Ops&gt; &lt;dana@example.com&gt;; Eve</td></tr>")));
    EXPECT_TRUE(page.contains(s("Bcc:</td><td colspan=\"3\" valign=\"top\">fay@example.com</td></tr></table>")));
    EXPECT_FALSE(page.contains(s("Bob ;Carl ;")));

    // Only To: no Cc or Bcc line at all.
    record.recipients = {{s("Bob Lee"), s("bob@example.com"), MailRecipient::To}};
    const QString toOnly = PreviewPages::mailPage(support::asMail(record), QString(), s("/t/body.txt"));
    EXPECT_FALSE(toOnly.contains(s("Cc:")));
}

TEST(MailPage, AttachmentsRowShowsBareNamesAndEmptyListHasNoRow)
{
    support::MailView record = sampleMail();
    record.attachments =
        s("/tmp/p/Attachments/a.pdf ;/tmp/p/Attachments/b c.txt ;/tmp/p/Attachments\\Message1 ;");
    const QString page = PreviewPages::mailPage(support::asMail(record), s("/tmp/p/Attachments"), s("/tmp/p/body.html"));
    EXPECT_TRUE(page.contains(s("<tr><td width=\"100\" valign=\"top\">Attachments</td><td  colspan=\"3\" "
                                "valign=\"top\">a.pdf ;b c.txt ;Message1 ;</td></tr></table><hr>")))
        << page.toStdString();
    EXPECT_TRUE(page.endsWith(s("SRC='/tmp/p/body.html' WIDTH=100% HEIGHT=70% frameborder=0 scrolling=auto "
                                "></IFRAME>")));

    record.attachments = QString();
    EXPECT_FALSE(PreviewPages::mailPage(support::asMail(record), s("/tmp/p/Attachments"), s("/tmp/p/body.txt"))
                     .contains(s("Attachments")));
    record.attachments.reset();
    EXPECT_FALSE(PreviewPages::mailPage(support::asMail(record), s("/tmp/p/Attachments"), s("/tmp/p/body.txt"))
                     .contains(s("Attachments")));
}

TEST(MailPage, SavedAttachmentsAreLinksToTheirFiles)
{
    support::MailView record = sampleMail();
    record.attachments = s("/tmp/p/Attachments/a&b.pdf ;/tmp/p/Attachments/Embedded00001 ;");
    record.attachmentFiles = {
        {s("/tmp/p/Attachments/a&b.pdf"), s("/tmp/p/Attachments/.files/1/a&b #1.pdf"), {}},
        {s("/tmp/p/Attachments/Embedded00001"), {}, {}}};
    const QString page = PreviewPages::mailPage(support::asMail(record), s("/tmp/p/Attachments"), s("/tmp/p/body.html"));
    EXPECT_TRUE(
        page.contains(s("valign=\"top\"><a href=\"file:///tmp/p/Attachments/.files/1/a&amp;b%20%231.pdf\">"
                        "a&amp;b.pdf</a> ;Embedded00001 ;</td></tr></table><hr>")))
        << page.toStdString();

    // Entries that do not spell out the list (a record from elsewhere) leave it without links.
    record.attachmentFiles.removeLast();
    EXPECT_TRUE(PreviewPages::mailPage(support::asMail(record), s("/tmp/p/Attachments"), s("/tmp/p/body.html"))
                    .contains(s("valign=\"top\">a&amp;b.pdf ;Embedded00001 ;</td>")));
}

TEST(MailPage, InlinePicturesPointAtTheirSavedFiles)
{
    const QList<MailAttachment> files = {{s("x"), s("/tmp/p/A/.files/1/logo.png"), s("logo@1")},
                                         {s("y"), s("/tmp/p/A/.files/2/a b.gif"), s("a b@2")},
                                         {s("z"), {}, s("unsaved@3")}};
    const QString html = s("<img src=\"cid:logo@1\"><IMG SRC='CID:a%20b@2'><img src=\"cid:unsaved@3\">"
                           "<img src=\"cid:unknown\">cid:logo@1 <img src=\"http://example.com/x.png\">");
    EXPECT_EQ(
        PreviewPages::withInlinePictures(html, files),
        s("<img src=\"file:///tmp/p/A/.files/1/logo.png\"><IMG SRC='file:///tmp/p/A/.files/2/a%20b.gif'>"
          "<img src=\"cid:unsaved@3\"><img src=\"cid:unknown\">cid:logo@1 "
          "<img src=\"http://example.com/x.png\">"));
}

TEST(MailPage, AbsentFieldsContributeNothing)
{
    support::MailView record;
    const QString page = PreviewPages::mailPage(support::asMail(record), QString(), s("/t/body.txt"));
    EXPECT_TRUE(page.contains(s("From:</td><td width=\"300\" valign=\"top\"></td>")));
    EXPECT_TRUE(page.contains(s("Date:</td><td valign=\"top\"></td></tr></table><hr>")));
}

TEST(MailPage, RecordTextsAreEscapedAndTheFrameSourceCannotBreakOut)
{
    support::MailView record = sampleMail();
    record.subject = s("<script>alert(1)</script> & 'x'");
    record.from = s("\"Eve\" <eve@x>");
    record.attachments = s("/tmp/p/Attachments/<b>.txt ;");
    const QString page = PreviewPages::mailPage(support::asMail(record), s("/tmp/p/Attachments"), s("/tmp/it's #1/body.txt"));
    EXPECT_FALSE(page.contains(s("<script>")));
    EXPECT_TRUE(page.contains(s("&lt;script&gt;alert(1)&lt;/script&gt; &amp; &#39;x&#39;")));
    EXPECT_TRUE(page.contains(s("&quot;Eve&quot; &lt;eve@x&gt;")));
    EXPECT_TRUE(page.contains(s("valign=\"top\">&lt;b&gt;.txt ;</td>")));
    EXPECT_TRUE(page.contains(s("SRC='/tmp/it&#39;s%20%231/body.txt'"))) << page.toStdString();
}

TEST(MailPage, NonAsciiTextsSurvive)
{
    support::MailView record = sampleMail();
    record.subject = s("Отчёт — 報告");
    EXPECT_TRUE(PreviewPages::mailPage(support::asMail(record), QString(), s("/t/body.txt")).contains(s("Отчёт — 報告")));
}

TEST(ContactPage, OnlyPresentSlotsInTableOrder)
{
    ContactRecord record;
    record.setSlot(1, s("Acme"));
    record.setSlot(13, s("Ann"));
    EXPECT_EQ(PreviewPages::contactPage(record),
              s("<b>First Name :</b> Ann<br><b>Company Name :</b> Acme<br>"));
}

TEST(ContactPage, BodyStandsAfterTheAssistantLinesAndBeforeTheBusinessLines)
{
    ContactRecord record;
    record.setSlot(66, s("Notes <i>here</i>"));
    record.setSlot(23, s("555"));
    record.setSlot(17, s("556"));
    EXPECT_EQ(PreviewPages::contactPage(record),
              s("<b>Assistant Phone :</b> 555<br><b>Body :</b> Notes "
                "&lt;i&gt;here&lt;/i&gt;<br><b>Business Fax :</b> 556<br>"));
}

TEST(ContactPage, LabelsTableHasFiftyThreeLinesAndTheTwoWithoutSpaceBeforeTheColon)
{
    const auto& labels = PreviewPages::contactLabels();
    ASSERT_EQ(labels.size(), 53);
    EXPECT_EQ(labels.first().slot, 13);
    EXPECT_EQ(labels.last().label, s("<b>ttytdd Phone :</b> "));
    int withoutSpace = 0;
    for (const auto& line : labels) {
        EXPECT_TRUE(line.label.endsWith(s("</b> ")));
        EXPECT_NE(line.slot, 11);
        EXPECT_NE(line.slot, 29);
        EXPECT_NE(line.slot, 30);
        if (!line.label.contains(s(" :")))
            ++withoutSpace;
    }
    EXPECT_EQ(withoutSpace, 2);
}

TEST(ContactPage, EveryFilledSlotWithALabelAppearsOnce)
{
    ContactRecord record;
    for (int slot = 1; slot <= ContactRecord::SlotCount; ++slot)
        record.setSlot(slot, QStringLiteral("v%1;").arg(slot));
    const QString page = PreviewPages::contactPage(record);
    EXPECT_EQ(page.count(s("<br>")), 53);
    EXPECT_TRUE(page.contains(s("<b>Nickname:</b> v32;<br>")));
    EXPECT_TRUE(page.contains(s("<b>Personal Homepage:</b> v33;<br>")));
    EXPECT_FALSE(page.contains(s("v3;")));  // 0x8005 has no label
    EXPECT_FALSE(page.contains(s("v67;"))); // the folder path is not shown
}

TEST(AppointmentPage, AlwaysThreeLinesEvenWithEmptyValues)
{
    AppointmentRecord record;
    record.start = s("Jan 05, 2010 14:03:59");
    record.end = s("Jan 05, 2010 15:00:00");
    EXPECT_EQ(PreviewPages::appointmentPage(record),
              s("<b>Start :</b>Jan 05, 2010 14:03:59<BR><b>End :</b>Jan 05, "
                "2010 15:00:00<BR><b>Location :</b><BR>"));
    record.location = s("R&D <lab>");
    EXPECT_TRUE(
        PreviewPages::appointmentPage(record).endsWith(s("<b>Location :</b>R&amp;D &lt;lab&gt;<BR>")));
}

TEST(OtherKindPages, GoldenPagesEscapeTheirTextsAndKeepTheTextsLineBreaks)
{
    constexpr quint64 October8 = 133728750000000000ull; // 2024-10-08 15:30:00 UTC
    TaskRecord task;
    task.subject = s("Fix <b>bugs</b> & 'quotes'");
    task.dueDate = October8;
    task.status = 1;
    task.percentComplete = 0.5;
    task.importance = 0;
    NoteRecord note;
    note.subject = s("Wi-Fi");
    note.color = 3;
    note.modificationTime = October8;
    JournalRecord entry;
    entry.subject = s("Call with Dana");
    entry.entryType = s("Phone call");
    entry.start = October8;
    const std::pair<QString, const char*> pages[] = {
        {PreviewPages::taskPage(task, s("first line\r\nsecond <line>")),
         "<b>Subject :</b>Fix &lt;b&gt;bugs&lt;/b&gt; &amp; &#39;quotes&#39;<BR><b>Due Date :</b>Oct 08, "
         "2024 "
         "15:30:00<BR><b>Status :</b>In Progress<BR><b>% Complete :</b>50%<BR><b>Priority "
         ":</b>Low<BR><hr>first "
         "line<BR>second &lt;line&gt;"},
        {PreviewPages::notePage(note, s("code: 1234")),
         "<b>Subject :</b>Wi-Fi<BR><b>Color :</b>Yellow<BR><b>Last Modified :</b>Oct 08, 2024 "
         "15:30:00<BR><hr>code: "
         "1234"},
        // Without a text there is no rule; an absent value leaves its line empty.
        {PreviewPages::journalPage(entry, QString()),
         "<b>Subject :</b>Call with Dana<BR><b>Entry Type :</b>Phone call<BR><b>Start :</b>Oct 08, 2024 "
         "15:30:00<BR>"},
        {PreviewPages::taskPage(TaskRecord{}, QString()),
         "<b>Subject :</b><BR><b>Due Date :</b><BR><b>Status :</b><BR><b>% Complete :</b><BR><b>Priority "
         ":</b><BR>"},
    };
    for (const auto& [page, golden] : pages)
        EXPECT_EQ(page, s(golden));
}

} // namespace
