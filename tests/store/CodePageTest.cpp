#include "store/CodePage.h"

#include <QStringDecoder>
#include <gtest/gtest.h>

namespace {

TEST(DecodeCodePage, DecodesTheNamedCodePage)
{
    EXPECT_EQ(store::decodeCodePage(QByteArray("\x80 caf\xe9", 6), 1252), QString::fromUtf8("€ café"));
    EXPECT_EQ(store::decodeCodePage(QByteArray("\xcf\xf0\xe8\xe2\xe5\xf2", 6), 1251),
              QString::fromUtf8("Привет"));
    EXPECT_EQ(store::decodeCodePage(QByteArray("\x93\xfa\x96\x7b", 4), 932), QString::fromUtf8("日本"));
    EXPECT_EQ(store::decodeCodePage(QByteArray("Gr\xc3\xbc\xc3\x9f"
                                               "e"),
                                    65001),
              QString::fromUtf8("Grüße"));
    EXPECT_EQ(store::decodeCodePage(QByteArray("\xc4\xe3\xba\xc3", 4), 936), QString::fromUtf8("你好"));
}

TEST(DecodeCodePage, FallsBackToWindows1252ForUnknownCodePages)
{
    EXPECT_EQ(store::decodeCodePage(QByteArray("caf\xe9", 4), 12345), QString::fromUtf8("café"));
    EXPECT_EQ(store::decodeCodePage(QByteArray("caf\xe9", 4), 0), QString::fromUtf8("café"));
    EXPECT_EQ(store::decodeCodePage(QByteArray("caf\xe9", 4), -1), QString::fromUtf8("café"));
}

TEST(DecodeCodePage, EveryKnownCodePageHasADecoder)
{
    for (int codePage = 0; codePage < 70000; ++codePage) {
        if (const std::optional<QByteArray> name = store::codePageName(codePage)) {
            QStringDecoder decoder(name->constData());
            EXPECT_TRUE(decoder.isValid()) << codePage << ' ' << name->constData();
        }
    }
}

} // namespace
