#include "eml/HeaderBlock.h"

#include <gtest/gtest.h>

using eml::HeaderBlock;
using eml::Mailbox;

namespace {

QList<QByteArray> lines(const QByteArray& bytes)
{
    QList<QByteArray> result = bytes.split('\n');
    if (!result.isEmpty() && result.last().isEmpty())
        result.removeLast();
    for (QByteArray& line : result) {
        EXPECT_TRUE(line.endsWith('\r'));
        line.chop(1);
    }
    return result;
}

TEST(HeaderBlock, FoldsAtSpacesOutsideQuotesAndAngleBrackets)
{
    const QByteArray field =
        "To: \"Very Long Display Name With Many Words, Inc.\" <someone.with.long.address@example.com>, "
        "Other <other@example.com>";
    const QList<QByteArray> folded = lines(HeaderBlock::fold(field));
    ASSERT_GT(folded.size(), 1);
    QByteArray unfolded;
    for (const QByteArray& line : folded) {
        unfolded += line;
        // A continuation starts with whitespace and is never whitespace only.
        if (&line != &folded.first()) {
            EXPECT_TRUE(line.startsWith(' '));
            EXPECT_FALSE(line.trimmed().isEmpty());
        }
    }
    EXPECT_EQ(unfolded, field);
    EXPECT_TRUE(folded.first().contains("\"Very Long Display Name With Many Words, Inc.\""));
    for (const QByteArray& line : folded)
        EXPECT_EQ(line.count('<'), line.count('>')) << line.toStdString();
}

TEST(HeaderBlock, DoesNotFoldRightAfterTheName)
{
    const QByteArray word(100, 'x');
    EXPECT_EQ(HeaderBlock::fold("Subject: " + word + " y"), "Subject: " + word + "\r\n y\r\n");
    EXPECT_EQ(HeaderBlock::fold("Subject: short"), QByteArray("Subject: short\r\n"));
}

TEST(HeaderBlock, MailboxesWithAndWithoutAddresses)
{
    struct Case
    {
        const char* what;
        Mailbox mailbox;
        QByteArray expected;
    };
    const Case cases[] = {
        {"name and address",
         {QStringLiteral("Ann Lee"), QStringLiteral("ann@example.com")},
         "To: Ann Lee <ann@example.com>\r\n"},
        {"address only", {QString(), QStringLiteral("ann@example.com")}, "To: ann@example.com\r\n"},
        {"specials are quoted",
         {QStringLiteral("Lee, Ann"), QStringLiteral("ann@example.com")},
         "To: \"Lee, Ann\" <ann@example.com>\r\n"},
        {"no address: name as an empty group", {QStringLiteral("Ann Lee"), QString()}, "To: Ann Lee: ;\r\n"},
        {"exchange address is not an address",
         {QStringLiteral("Ann Lee"), QStringLiteral("/o=Org/ou=Admin/cn=Recipients/cn=ann")},
         "To: Ann Lee: ;\r\n"},
        {"spaces make it no address",
         {QStringLiteral("Ann"), QStringLiteral("ann lee@example.com")},
         "To: Ann: ;\r\n"},
        {"non-ascii name is encoded",
         {QStringLiteral("\u00c5sa"), QStringLiteral("asa@example.se")},
         "To: =?UTF-8?B?w4VzYQ==?= <asa@example.se>\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HeaderBlock block;
        block.addMailboxes("To", {c.mailbox});
        EXPECT_EQ(block.bytes(), c.expected);
    }

    HeaderBlock empty;
    empty.addMailboxes("To", {Mailbox{}});
    EXPECT_TRUE(empty.isEmpty());
}

TEST(HeaderBlock, TextIsCleanedAndEncoded)
{
    HeaderBlock block;
    block.addText("Subject", QStringLiteral("Plain ASCII"));
    block.addText("Subject", QStringLiteral("Line\r\nBreak\tTab"));
    block.addText("Subject", QStringLiteral("Caf\u00e9"));
    EXPECT_EQ(block.bytes(), QByteArray("Subject: Plain ASCII\r\n"
                                        "Subject: Line  Break Tab\r\n"
                                        "Subject: =?UTF-8?B?Q2Fmw6k=?=\r\n"));
    EXPECT_TRUE(block.contains("subject"));
    EXPECT_FALSE(block.contains("From"));
}

TEST(HeaderBlock, InternetAddressRule)
{
    EXPECT_TRUE(HeaderBlock::isInternetAddress(QStringLiteral("a@b")));
    EXPECT_TRUE(HeaderBlock::isInternetAddress(QStringLiteral("first.last+tag@sub.example.com")));
    EXPECT_FALSE(HeaderBlock::isInternetAddress(QStringLiteral("")));
    EXPECT_FALSE(HeaderBlock::isInternetAddress(QStringLiteral("@b")));
    EXPECT_FALSE(HeaderBlock::isInternetAddress(QStringLiteral("a@")));
    EXPECT_FALSE(HeaderBlock::isInternetAddress(QStringLiteral("MAILER-DAEMON")));
    EXPECT_FALSE(HeaderBlock::isInternetAddress(QStringLiteral("a@b>\r\nBcc: c@d")));
}

} // namespace

namespace {

TEST(HeaderBlock, LongEncodedValuesFoldWithinTheLineLimit)
{
    HeaderBlock block;
    QString japanese;
    for (int i = 0; i < 60; ++i)
        japanese += QChar(0x65E5 + i);
    block.addText("Subject", japanese);
    QList<Mailbox> many;
    for (int i = 0; i < 20; ++i)
        many.append(Mailbox{QStringLiteral("M\u00fcller Nummer %1").arg(i),
                            QStringLiteral("m%1@example.com").arg(i)});
    block.addMailboxes("To", many);
    const QList<QByteArray> all = lines(block.bytes());
    EXPECT_GT(all.size(), 4);
    for (const QByteArray& line : all)
        EXPECT_LE(line.size(), 78) << line.toStdString();
}

} // namespace
