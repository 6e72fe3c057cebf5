#include "eml/TransportHeaders.h"

#include <gtest/gtest.h>

using eml::TransportHeaders;

namespace {

QList<QByteArray> names(const QList<TransportHeaders::Field>& fields)
{
    QList<QByteArray> result;
    for (const TransportHeaders::Field& field : fields)
        result.append(field.name);
    return result;
}

TEST(TransportHeaders, SplitsFieldsKeepingContinuations)
{
    const auto fields =
        TransportHeaders::parse(QStringLiteral("Received: from a\r\n\tby b\r\nSubject: x\nTo: y\rX-A: z"));
    EXPECT_EQ(names(fields), (QList<QByteArray>{"Received", "Subject", "To", "X-A"}));
    EXPECT_EQ(fields.at(0).text, QByteArray("Received: from a\r\n\tby b"));
    EXPECT_EQ(fields.at(3).text, QByteArray("X-A: z"));
}

TEST(TransportHeaders, BannerBeforeAndBodyAfterAreNotFields)
{
    const auto fields = TransportHeaders::parse(QStringLiteral(
        "Microsoft Mail Internet Headers Version 2.0\r\nFrom: a@b\r\n\r\nThis is a multi-part message\r\n"
        "Content-Type: text/plain\r\n"));
    EXPECT_EQ(names(fields), QList<QByteArray>{"From"});
}

TEST(TransportHeaders, StrayLinesJoinTheFieldAbove)
{
    const auto fields =
        TransportHeaders::parse(QStringLiteral("Subject: first\r\nno colon here\r\nTo: a@b\r\n"));
    EXPECT_EQ(names(fields), (QList<QByteArray>{"Subject", "To"}));
    EXPECT_EQ(fields.at(0).text, QByteArray("Subject: first\r\n no colon here"));
}

TEST(TransportHeaders, ControlCharactersAndNonAscii)
{
    const auto fields = TransportHeaders::parse(QStringLiteral("Subject: a\u0001b \u00e9\r\n"));
    ASSERT_EQ(fields.size(), 1);
    EXPECT_EQ(fields.at(0).text, QByteArray("Subject: a b \xc3\xa9"));
}

TEST(TransportHeaders, MimeStructureFields)
{
    for (const char* name : {"MIME-Version", "content-type", "Content-Transfer-Encoding",
                             "Content-Disposition", "Content-ID", "Content-Description", "Content-Location"})
        EXPECT_TRUE(TransportHeaders::isMimeStructureField(name)) << name;
    for (const char* name : {"Content-Language", "Content-Class", "Subject", "X-MS-Has-Attach", "Received"})
        EXPECT_FALSE(TransportHeaders::isMimeStructureField(name)) << name;
}

} // namespace
