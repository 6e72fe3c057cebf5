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

TEST(WindowsCodePage, AnInternetCodePageCountsAsTheWindowsCodePageOfItsScript)
{
    const std::pair<int, int> cases[] = {
        {50220, 932},
        {50221, 932},
        {50222, 932},
        {51932, 932},
        {20932, 932},
        {50225, 949},
        {51949, 949},
        {52936, 936},
        {20936, 936},
        {54936, 936},
        {51950, 950},
        {28591, 1252},
        {28605, 1252},
        {28592, 1250},
        {28595, 1251},
        {20866, 1251},
        {21866, 1251},
        {28597, 1253},
        {28599, 1254},
        {38598, 1255},
        {28596, 1256},
        {28603, 1257},
        // Windows code pages and the Unicode forms stay what they are.
        {932, 932},
        {1252, 1252},
        {1251, 1251},
        {65001, 65001},
        {1200, 1200},
        {20127, 20127},
    };
    for (const auto& [internet, windows] : cases)
        EXPECT_EQ(store::windowsCodePage(internet), windows) << internet;
}

TEST(WindowsCodePage, EveryCodePageItGivesHasADecoder)
{
    for (int codePage = 0; codePage < 70000; ++codePage) {
        const int windows = store::windowsCodePage(codePage);
        if (windows != codePage) {
            EXPECT_TRUE(store::codePageName(windows)) << codePage << " -> " << windows;
        }
    }
}

} // namespace
