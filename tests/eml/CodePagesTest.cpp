#include "eml/CodePages.h"

#include <gtest/gtest.h>

using eml::CodePages;

namespace {

// The ICU-backed decoders must exist on this system for every code page RTF bodies commonly name.
TEST(CodePages, CommonWindowsCodePagesDecode)
{
    struct Case
    {
        int codePage;
        QByteArray bytes;
        QString expected;
    };
    const Case cases[] = {
        {1250, "\x8a\xe8", QStringLiteral("\u0160\u010d")},
        {1251, "\xcf\xf0\xe8", QStringLiteral("\u041f\u0440\u0438")},
        {1252, "\x80\xe9", QStringLiteral("\u20ac\u00e9")},
        {1253, "\xc1", QStringLiteral("\u0391")},
        {1254, "\xfe", QStringLiteral("\u015f")},
        {1255, "\xf9", QStringLiteral("\u05e9")},
        {1256, "\xc7", QStringLiteral("\u0627")},
        {1257, "\xe0", QStringLiteral("\u0105")},
        {1258, "\xe0", QStringLiteral("\u00e0")},
        {874, "\xa1", QStringLiteral("\u0e01")},
        {932, "\x93\xfa\x96\x7b", QStringLiteral("\u65e5\u672c")},
        {936, "\xd6\xd0", QStringLiteral("\u4e2d")},
        {949, "\xc7\xd1", QStringLiteral("\ud55c")},
        {950, "\xa4\xa4", QStringLiteral("\u4e2d")},
        {20127, "abc", QStringLiteral("abc")},
        {28591, "\xe9", QStringLiteral("\u00e9")},
        {28592, "\xb1", QStringLiteral("\u0105")},
        {65001, "\xc3\xa9", QStringLiteral("\u00e9")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.codePage);
        EXPECT_TRUE(CodePages::canDecode(c.codePage));
        EXPECT_EQ(CodePages::decode(c.bytes, c.codePage), c.expected);
    }
}

TEST(CodePages, EveryNamedCodePageHasADecoder)
{
    for (int codePage = 0; codePage < 70000; ++codePage) {
        if (!CodePages::name(codePage).isEmpty()) {
            EXPECT_TRUE(CodePages::canDecode(codePage)) << codePage;
        }
    }
}

TEST(CodePages, UnknownCodePagesFallBackToWindows1252)
{
    EXPECT_FALSE(CodePages::canDecode(12345));
    EXPECT_TRUE(CodePages::name(12345).isEmpty());
    EXPECT_EQ(CodePages::decode("\x80", 12345), QStringLiteral("\u20ac"));
    EXPECT_EQ(CodePages::decode("\x80", 0), QStringLiteral("\u20ac"));
}

TEST(CodePages, CutOffSequencesAreNotDropped)
{
    EXPECT_EQ(CodePages::decode("a\x93", 932), QStringLiteral("a\ufffd"));
    EXPECT_EQ(CodePages::decode("\xc3", 65001), QStringLiteral("\ufffd"));
}

TEST(CodePages, RtfCharsetsMapToCodePages)
{
    EXPECT_EQ(CodePages::fromRtfCharset(0), 0);
    EXPECT_EQ(CodePages::fromRtfCharset(2), 0);
    EXPECT_EQ(CodePages::fromRtfCharset(128), 932);
    EXPECT_EQ(CodePages::fromRtfCharset(204), 1251);
    EXPECT_EQ(CodePages::fromRtfCharset(238), 1250);
}

} // namespace
