#include "eml/RtfDeEncapsulator.h"

#include <cstdint>
#include <gtest/gtest.h>

using eml::RtfDeEncapsulator;
using Origin = eml::RtfDeEncapsulator::Origin;

namespace {

struct Case
{
    const char* what;
    QByteArray rtf;
    Origin origin;
    QString text;
};

void run(const Case& c, int fallbackCodePage = 0)
{
    SCOPED_TRACE(c.what);
    const RtfDeEncapsulator::Result result = RtfDeEncapsulator::convert(c.rtf, fallbackCodePage);
    EXPECT_EQ(result.origin, c.origin);
    EXPECT_EQ(result.text, c.text);
}

TEST(RtfDeEncapsulator, EncapsulatedHtml)
{
    const Case cases[] = {
        {"tags and text", "{\\rtf1\\ansi\\fromhtml1 {\\*\\htmltag19 <html>}Hello{\\*\\htmltag27 </html>}}",
         Origin::Html, QStringLiteral("<html>Hello</html>")},
        {"htmlrtf text is dropped, restored at group end",
         "{\\rtf1\\fromhtml1 {\\*\\htmltag64 <p>}\\htmlrtf {\\htmlrtf0 kept}\\htmlrtf \\par "
         "dropped\\htmlrtf0 "
         "{\\*\\htmltag72 </p>}}",
         Origin::Html, QStringLiteral("<p>kept</p>")},
        {"par and tab inside tags",
         "{\\rtf1\\fromhtml1 {\\*\\htmltag0 <pre>\\par a\\tab b}{\\*\\htmltag0 \\{\\}\\\\}}", Origin::Html,
         QStringLiteral("<pre>\na\tb{}\\")},
        {"hex escapes in tags use the document code page",
         "{\\rtf1\\ansi\\ansicpg1251\\fromhtml1 {\\*\\htmltag0 <p title=\"\\'cf\">}}", Origin::Html,
         QStringLiteral("<p title=\"\u041f\">")},
        {"mhtmltag is skipped, htmltag kept",
         "{\\rtf1\\fromhtml1 {\\*\\mhtmltag84 <img src=\"x\">}{\\*\\htmltag84 <img src=\"cid:y\">}}",
         Origin::Html, QStringLiteral("<img src=\"cid:y\">")},
        {"font table and other destinations skipped",
         "{\\rtf1\\fromhtml1 {\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red1;}{\\*\\generator x;}{\\*\\htmltag0 "
         "<b>}}",
         Origin::Html, QStringLiteral("<b>")},
        {"fromhtml after the text starts is ignored", "{\\rtf1 text \\fromhtml1 more}", Origin::Rtf,
         QStringLiteral("text more")},
    };
    for (const Case& c : cases)
        run(c);
}

TEST(RtfDeEncapsulator, EncapsulatedText)
{
    run({"fromtext",
         "{\\rtf1\\ansi\\fromtext {\\fonttbl{\\f0 Courier;}}\\f0 line one\\par line two\\htmlrtf x\\htmlrtf0 "
         "}",
         Origin::EncapsulatedText, QStringLiteral("line one\nline two")});
}

TEST(RtfDeEncapsulator, OrdinaryRtfToText)
{
    const Case cases[] = {
        {"paragraphs, tabs, specials",
         "{\\rtf1\\ansi a\\par b\\tab c\\line d\\~e\\emdash f\\lquote g\\rquote\\bullet}", Origin::Rtf,
         QStringLiteral("a\nb\tc\nd\u00a0e\u2014f\u2018g\u2019\u2022")},
        {"unicode with one fallback character", "{\\rtf1\\uc1 \\u1055?\\u1088?}", Origin::Rtf,
         QStringLiteral("\u041f\u0440")},
        {"unicode with two fallback bytes", "{\\rtf1\\uc2 \\u26085\\'93\\'fa!}", Origin::Rtf,
         QStringLiteral("\u65e5!")},
        {"negative unicode and surrogate pairs", "{\\rtf1\\uc0 \\u-10179\\u-8704 \\u-4}", Origin::Rtf,
         QStringLiteral("\U0001F600\uFFFC")},
        {"uc scope ends with its group", "{\\rtf1{\\uc2 \\u20320??}\\u20320?x}", Origin::Rtf,
         QStringLiteral("\u4f60\u4f60x")},
        {"ansicpg decodes hex escapes", "{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8}", Origin::Rtf,
         QStringLiteral("\u041f\u0440\u0438")},
        {"font charset overrides the document code page",
         "{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset128 MS Gothic;}}\\f0 \\'e9 {\\f1 "
         "\\'93\\'fa}\\'e9}",
         Origin::Rtf, QStringLiteral("\u00e9 \u65e5\u00e9")},
        {"skipped destinations",
         "{\\rtf1{\\stylesheet{Normal;}}{\\info{\\title T}}{\\pict 0a0b}{\\*\\unknown x}y}", Origin::Rtf,
         QStringLiteral("y")},
        {"field instruction skipped, result kept",
         "{\\rtf1{\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt link}}}", Origin::Rtf,
         QStringLiteral("link")},
        {"binary data skipped", "{\\rtf1 a{\\bin3 \\}{}b}", Origin::Rtf, QStringLiteral("ab")},
        {"escaped braces and backslash", "{\\rtf1 \\{x\\}\\\\}", Origin::Rtf, QStringLiteral("{x}\\")},
    };
    for (const Case& c : cases)
        run(c);
}

TEST(RtfDeEncapsulator, FallbackCodePageAppliesWithoutAnsicpg)
{
    run({"fallback 1251", "{\\rtf1 \\'cf}", Origin::Rtf, QStringLiteral("\u041f")}, 1251);
    run({"ansicpg wins over fallback", "{\\rtf1\\ansicpg1252 \\'cf}", Origin::Rtf, QStringLiteral("\u00cf")},
        1251);
    run({"unknown fallback", "{\\rtf1 \\'80}", Origin::Rtf, QStringLiteral("\u20ac")}, 99999);
}

// Damaged input ends cleanly, without reading past the end or unbounded output.
TEST(RtfDeEncapsulator, MalformedInput)
{
    const Case cases[] = {
        {"not rtf", "hello", Origin::NotRtf, QString()},
        {"empty", "", Origin::NotRtf, QString()},
        {"cut inside a hex escape", "{\\rtf1 a\\'4", Origin::Rtf, QStringLiteral("a")},
        {"cut after a backslash", "{\\rtf1 a\\", Origin::Rtf, QStringLiteral("a")},
        {"unbalanced closing braces", "{\\rtf1 a}}}b", Origin::Rtf, QStringLiteral("ab")},
        {"huge parameters", "{\\rtf1\\uc99999999999999 \\u99999999999999a\\bin99999999999}", Origin::Rtf,
         QString(QChar(0xFFFF))},
        {"absurdly long control word", "{\\rtf1\\" + QByteArray(100, 'a') + " x}", Origin::Rtf,
         QStringLiteral("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
                        "aaaaaaaaaaaaaaaa x")
             .mid(32)},
        {"bad hex digits", "{\\rtf1 \\'zz}", Origin::Rtf, QStringLiteral("zz")},
    };
    for (const Case& c : cases)
        run(c);

    const QByteArray deep = "{\\rtf1 " + QByteArray(200000, '{') + "x" + QByteArray(200000, '}') + "}";
    EXPECT_EQ(RtfDeEncapsulator::convert(deep).text, QStringLiteral("x"));
    const QByteArray deepThenText =
        "{\\rtf1 " + QByteArray(5000, '{') + "{\\*\\skipped y}" + QByteArray(5000, '}') + "after}";
    EXPECT_EQ(RtfDeEncapsulator::convert(deepThenText).text, QStringLiteral("after"));
}

// Mutated documents (a fixed pseudo-random sequence, so every run is the same) never crash and
// never produce more characters than the input has bytes.
TEST(RtfDeEncapsulator, MutatedDocumentsStayBounded)
{
    const QByteArray seed = "{\\rtf1\\ansi\\ansicpg1251\\fromhtml1 \\deff0{\\fonttbl{\\f0\\fcharset128 A;}}"
                            "{\\*\\htmltag64 <p>}\\htmlrtf {\\htmlrtf0 \\'cf\\u1055?\\uc2\\u26085\\'93\\'fa}"
                            "\\htmlrtf0 {\\*\\htmltag72 </p>}{\\pict\\bin4 abcd}\\par}";
    const char alphabet[] = "{}\\'*u0123456789abcdefhtmlrtf -";
    std::uint32_t state = 12345;
    const auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    for (int round = 0; round < 3000; ++round) {
        QByteArray rtf = seed;
        const int edits = 1 + static_cast<int>(next() % 8);
        for (int edit = 0; edit < edits && !rtf.isEmpty(); ++edit) {
            const auto at = static_cast<qsizetype>(next() % static_cast<std::uint32_t>(rtf.size()));
            const char c = alphabet[next() % (sizeof(alphabet) - 1)];
            switch (next() % 3) {
            case 0:
                rtf[at] = c;
                break;
            case 1:
                rtf.insert(at, c);
                break;
            default:
                rtf.remove(at, 1 + static_cast<qsizetype>(next() % 4));
                break;
            }
        }
        const RtfDeEncapsulator::Result result = RtfDeEncapsulator::convert(rtf, 932);
        ASSERT_LE(result.text.size(), rtf.size()) << rtf.toStdString();
    }
}

} // namespace
