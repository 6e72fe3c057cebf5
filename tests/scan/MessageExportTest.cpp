#include "scan/MessageExport.h"

#include "ScanFixture.h"
#include "scan/MessageTexts.h"

#include <QFileInfo>

using scan::MessageTexts;
using scan::ScanOutcome;
using store::ItemType;
using support::FakeNode;
using support::fileTimeOf;

namespace {
constexpr std::uint32_t PrClientSubmitTime = 0x0039;
constexpr std::uint32_t PrCreationTime = 0x3007;
constexpr std::uint32_t PrDeliveryTime = 0x0E06;
constexpr std::uint32_t PrModificationTime = 0x3008;
constexpr std::uint32_t PrSenderName = 0x0C1A;
constexpr std::uint32_t PrSenderAddress = 0x0C1F;
constexpr std::uint32_t PrMessageFlags = 0x0E07;
constexpr std::uint32_t PrMessageSize = 0x0E08;
constexpr std::uint32_t PrPriority = 0x0026;
constexpr std::uint32_t PrImportance = 0x0017;
constexpr std::uint32_t PrSensitivity = 0x0036;
constexpr std::uint32_t PrInternetCodePage = 0x3FDE;
} // namespace

class MessageExportTest : public EngineFixture
{
protected:
    FakeNode& inbox()
    {
        return m_inbox ? *m_inbox : *(m_inbox = &store.root().addFolder(QStringLiteral("Inbox")));
    }

    support::MailView only()
    {
        EXPECT_EQ(scan(), ScanOutcome::Completed);
        EXPECT_EQ(catalogs.mails().size(), 1);
        return mail(0);
    }

private:
    FakeNode* m_inbox = nullptr;
};

TEST_F(MessageExportTest, HeaderValuesAndDefaults)
{
    inbox()
        .addMail(QStringLiteral("Re: Plan -- final"))
        .setString(PrSenderName, QStringLiteral("Ann Smith"))
        .setString(PrSenderAddress, QStringLiteral("ann@example.org"))
        .setFileTime(PrDeliveryTime, fileTimeOf(2010, 1, 5, 14, 3, 59))
        .setFileTime(PrModificationTime, fileTimeOf(2011, 12, 31, 23, 59, 58))
        .setInteger32(PrMessageSize, 4096)
        .setInteger32(PrMessageFlags, 0x11)
        .setInteger32(PrPriority, 2)
        .setInteger32(PrImportance, 5)
        .setInteger32(PrSensitivity, 3);
    const auto m = only();
    EXPECT_EQ(m.subject, QStringLiteral("Re: Plan -- final"));
    EXPECT_EQ(m.from, QStringLiteral("Ann Smith"));
    EXPECT_EQ(m.senderAddress, QStringLiteral("ann@example.org"));
    EXPECT_EQ(MessageTexts::deliveryTime(m.deliveryTime), QStringLiteral("Jan 05, 2010 14:03:59"));
    EXPECT_EQ(m.modificationTime, QStringLiteral("Dec 31, 2011 23:59:58"));
    EXPECT_EQ(m.date, QStringLiteral("None"));
    EXPECT_EQ(MessageTexts::size(m.size), QStringLiteral("4096  Bytes"));
    EXPECT_EQ(m.flags, QStringLiteral("Attachments"));
    EXPECT_EQ(m.priority, QStringLiteral("None"));
    EXPECT_EQ(m.importance, QStringLiteral(" "));
    EXPECT_EQ(m.sensitivity, QStringLiteral("Confidential"));
    EXPECT_EQ(m.kind, 0);
}

TEST_F(MessageExportTest, MissingValuesGetTheirDefaultTexts)
{
    inbox().addMessage(ItemType::Email);
    const auto m = only();
    EXPECT_EQ(m.from, QStringLiteral("Unknown"));
    EXPECT_EQ(m.senderAddress, QStringLiteral("Unknown"));
    EXPECT_FALSE(m.subject);
    EXPECT_FALSE(m.to);
    EXPECT_FALSE(m.body);
    EXPECT_FALSE(m.attachments);
    EXPECT_FALSE(m.deliveryTime);
    EXPECT_EQ(m.date, QStringLiteral("None"));
    EXPECT_EQ(m.flags, QStringLiteral(" "));
    EXPECT_EQ(MessageTexts::size(m.size), QStringLiteral(" "));
    EXPECT_EQ(m.priority, QStringLiteral("None"));
    EXPECT_EQ(m.sensitivity, QStringLiteral("None"));
}

TEST_F(MessageExportTest, ASubjectOfOnlyThePrefixMarkerStaysAnEmptyText)
{
    // Only the prefix marker, punctuation kept as it is, and a lone space (which stands for no
    // value).
    inbox().addMail(QStringLiteral("\x01\x01"));
    inbox().addMail(QStringLiteral("----"));
    inbox().addMail(QStringLiteral(" "));
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    ASSERT_EQ(catalogs.mails().size(), 3);
    EXPECT_EQ(mail(0).subject, QString());
    EXPECT_EQ(mail(1).subject, QStringLiteral("----"));
    EXPECT_FALSE(mail(2).subject);
}

TEST_F(MessageExportTest, DateIsCreationTimeElseSubmitTime)
{
    inbox()
        .addMail(QStringLiteral("both"))
        .setFileTime(PrClientSubmitTime, fileTimeOf(2009, 2, 3, 4, 5, 6))
        .setFileTime(PrCreationTime, fileTimeOf(2010, 7, 8, 9, 10, 11));
    inbox()
        .addMail(QStringLiteral("submit"))
        .setFileTime(PrClientSubmitTime, fileTimeOf(2009, 2, 3, 4, 5, 6));
    // Year 30828 lies beyond what the date-time text can show.
    inbox()
        .addMail(QStringLiteral("bad creation"))
        .setFileTime(PrClientSubmitTime, fileTimeOf(2009, 2, 3, 4, 5, 6))
        .setFileTime(PrCreationTime, 0xFFFFFFFFFFFFFFFFULL);
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    EXPECT_EQ(mailWithSubject(QStringLiteral("both")).date, QStringLiteral("Jul 08, 2010 09:10:11"));
    EXPECT_EQ(mailWithSubject(QStringLiteral("submit")).date, QStringLiteral("Feb 03, 2009 04:05:06"));
    EXPECT_EQ(mailWithSubject(QStringLiteral("bad creation")).date, QStringLiteral("Feb 03, 2009 04:05:06"));
}

TEST_F(MessageExportTest, BodyChoice)
{
    inbox()
        .addMail(QStringLiteral("html and plain"))
        .setHtmlBody("<p>hi</p>")
        .setPlainTextBody(QStringLiteral("hi"));
    inbox()
        .addMail(QStringLiteral("rtf and plain"))
        .setRtfBody("{\\rtf1 hi}")
        .setPlainTextBody(QStringLiteral("plain"));
    inbox().addMail(QStringLiteral("rtf only")).setRtfBody("{\\rtf1 hi}");
    inbox()
        .addMail(QStringLiteral("rtf holding html"))
        .setRtfBody("{\\rtf1\\ansi\\fromhtml1 {\\*\\htmltag64 <p>}hi{\\*\\htmltag72 </p>}}");
    inbox().addMail(QStringLiteral("rtf that is none")).setRtfBody("plain bytes");
    inbox().addMail(QStringLiteral("empty html")).setHtmlBody("").setPlainTextBody(QStringLiteral("plain"));
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    EXPECT_EQ(mailWithSubject(QStringLiteral("html and plain")).body, QStringLiteral("<p>hi</p>"));
    EXPECT_EQ(mailWithSubject(QStringLiteral("html and plain")).bodyKind, 1);
    EXPECT_EQ(mailWithSubject(QStringLiteral("rtf and plain")).body, QStringLiteral("plain"));
    EXPECT_EQ(mailWithSubject(QStringLiteral("rtf and plain")).bodyKind, 0);
    // A mail with only an RTF body shows what the RTF holds, never its source.
    EXPECT_EQ(mailWithSubject(QStringLiteral("rtf only")).body, QStringLiteral("hi"));
    EXPECT_EQ(mailWithSubject(QStringLiteral("rtf only")).bodyKind, 0);
    EXPECT_EQ(mailWithSubject(QStringLiteral("rtf holding html")).body, QStringLiteral("<p>hi</p>"));
    EXPECT_EQ(mailWithSubject(QStringLiteral("rtf holding html")).bodyKind, 1);
    EXPECT_FALSE(mailWithSubject(QStringLiteral("rtf that is none")).body);
    EXPECT_FALSE(mailWithSubject(QStringLiteral("empty html")).body);
    EXPECT_EQ(mailWithSubject(QStringLiteral("empty html")).bodyKind, 0);
    // Nothing is created below the export root.
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral(".export")));
}

TEST_F(MessageExportTest, BodiesOf65000BytesOrMoreAreNotKept)
{
    // Sizes count the terminating zero: 64998 characters make 64999 bytes.
    inbox().addMail(QStringLiteral("under")).setPlainTextBody(QString(64998, QLatin1Char('x')));
    inbox().addMail(QStringLiteral("at")).setPlainTextBody(QString(64999, QLatin1Char('x')));
    inbox()
        .addMail(QStringLiteral("html at"))
        .setHtmlBody(QByteArray(64999, 'h'))
        .setPlainTextBody(QStringLiteral("p"));
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    EXPECT_EQ(mailWithSubject(QStringLiteral("under")).body.value_or(QString()).size(), 64998);
    EXPECT_FALSE(mailWithSubject(QStringLiteral("at")).body);
    const auto& html = mailWithSubject(QStringLiteral("html at"));
    EXPECT_FALSE(html.body);
    EXPECT_EQ(html.bodyKind, 0);
    EXPECT_EQ(report(QStringLiteral("Inbox(3)"))->bodiesNotKept, 2);
    EXPECT_FALSE(job->report().hasProblems());
}

TEST_F(MessageExportTest, HtmlBodyIsDecodedInTheCodePageTheItemNames)
{
    inbox().addMail(QStringLiteral("default")).setHtmlBody("caf\xe9");
    inbox()
        .addMail(QStringLiteral("cyrillic"))
        .setHtmlBody("\xcf\xf0\xe8")
        .setInteger32(PrInternetCodePage, 1251);
    inbox()
        .addMail(QStringLiteral("utf8"))
        .setHtmlBody("\xc3\xa9t\xc3\xa9")
        .setInteger32(PrInternetCodePage, 65001);
    QByteArray utf16;
    for (char16_t c : u"日本語")
        utf16.append(static_cast<char>(c & 0xFF)).append(static_cast<char>(c >> 8));
    inbox().addMail(QStringLiteral("unicode")).setHtmlBody(utf16, store::valuetype::Unicode);
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    EXPECT_EQ(mailWithSubject(QStringLiteral("default")).body, QStringLiteral("café"));
    EXPECT_EQ(mailWithSubject(QStringLiteral("cyrillic")).body, QStringLiteral("При"));
    EXPECT_EQ(mailWithSubject(QStringLiteral("utf8")).body, QStringLiteral("été"));
    EXPECT_EQ(mailWithSubject(QStringLiteral("unicode")).body, QStringLiteral("日本語"));
}

TEST_F(MessageExportTest, BodyThatCannotBeReadLeavesTheRecordWithoutBody)
{
    inbox()
        .addMail(QStringLiteral("x"))
        .setPlainTextBody(QStringLiteral("p"))
        .failOn(support::FakeOp::PlainTextBody);
    const auto m = only();
    EXPECT_FALSE(m.body);
    EXPECT_EQ(job->report().totalIncomplete(), 1);
}

TEST_F(MessageExportTest, FirstMailLabelsTheFolderOnceWithItsMessageCount)
{
    for (int i = 0; i < 42; ++i)
        inbox().addMail(QStringLiteral("m%1").arg(i));
    inbox().addMessage(ItemType::Task);
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    const auto& record = folder(0);
    const auto node = record.node;
    EXPECT_EQ(tree.label(node), QStringLiteral("Inbox(43)"));
    EXPECT_TRUE(tree.isBold(node));
}

TEST_F(MessageExportTest, EmbeddedMailGetsItsOwnRecordFirst)
{
    FakeNode& outer = inbox().addMail(QStringLiteral("outer"));
    outer.setPlainTextBody(QStringLiteral("outer body")).addRecipient(QStringLiteral("Ann"));
    FakeNode& inner = outer.addEmbeddedItem();
    inner.setString(0x0037, QStringLiteral("inner"))
        .setRtfBody("{\\rtf1 inner}")
        .setPlainTextBody(QStringLiteral("inner plain"))
        .addRecipient(QStringLiteral("Bob"));
    ASSERT_EQ(scan(), ScanOutcome::Completed);
    EXPECT_EQ(mailSubjects(), (QStringList{QStringLiteral("inner"), QStringLiteral("outer")}));
    const auto& innerRecord = mail(0);
    const auto& outerRecord = mail(1);
    EXPECT_EQ(outerRecord.body, QStringLiteral("outer body"));
    EXPECT_EQ(outerRecord.to, QStringLiteral("Ann ;"));
    EXPECT_EQ(innerRecord.to, QStringLiteral("Bob ;"));
    // The embedded message's directory exists, so its RTF body is taken (as the text it holds)
    // and reserved.
    const QString directory = attachmentsDirectory() + QStringLiteral("/Embedded00001");
    EXPECT_EQ(innerRecord.body, QStringLiteral("inner"));
    EXPECT_EQ(innerRecord.bodyKind, 0);
    EXPECT_TRUE(QFileInfo(directory + QStringLiteral("/Message.rtf")).isFile());
    EXPECT_EQ(innerRecord.name, QStringLiteral("Embedded00001"));
    EXPECT_EQ(innerRecord.node, outerRecord.node);
    EXPECT_EQ(outerRecord.attachments, directory + QStringLiteral(" ;"));
    EXPECT_EQ(tree.label(folder(0).node), QStringLiteral("Inbox(1)"));
}
