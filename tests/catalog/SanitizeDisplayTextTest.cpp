#include "catalog/SanitizeDisplayText.h"

#include <gtest/gtest.h>
#include <string_view>

using catalog::SanitizeDisplayText;

namespace {

struct Case
{
    const char16_t* input;
    const char16_t* expected;
};

// Names the case in test listings by its input, without the characters test runners treat
// specially.
void PrintTo(const Case& c, std::ostream* os)
{
    std::string name = QString::fromUtf16(c.input).toStdString();
    for (char& ch : name) {
        if (static_cast<unsigned char>(ch) < 0x20 ||
            std::string_view(";\\[]\"#$").find(ch) != std::string_view::npos)
            ch = '_';
    }
    *os << (name.empty() ? std::string("(empty)") : name);
}

QString q(const char16_t* text)
{
    return QString::fromUtf16(text);
}

class SanitizeCases : public ::testing::TestWithParam<Case>
{
};

TEST_P(SanitizeCases, MapsAsExpectedAndKeepsTheLength)
{
    const QString input = q(GetParam().input);
    const QString result = SanitizeDisplayText(input);
    EXPECT_EQ(result, q(GetParam().expected)) << input.toStdString();
    EXPECT_EQ(result.size(), input.size());
}

INSTANTIATE_TEST_SUITE_P(
    AsciiRules, SanitizeCases,
    ::testing::Values(Case{u"Re: Deleted Items!", u"Re- Deleted-Items-"},
                      Case{u"Hello world!", u"Hello world-"},
                      Case{u"\\Top of Personal Folders\\Inbox", u"\\Top-of-Personal-Folders\\Inbox"},
                      Case{u"Deleted ItemsDeleted Items", u"Deleted-ItemsDeleted-Items"},
                      Case{u"deleted items", u"deleted items"},
                      // Kept: space, "-./0-9", "A-Z[\", "`a-z".
                      Case{u"-./0123456789", u"-./0123456789"}, Case{u"AZ[\\`az", u"AZ[\\`az"},
                      // Replaced: other punctuation, "]^_{|}~", and control characters.
                      Case{u"a]b^c_d{e|f}g~h", u"a-b-c-d-e-f-g-h"},
                      Case{u"!\"#$%&'()*+,:;<=>?@", u"-------------------"},
                      Case{u"tab\there\r\nnext", u"tab-here--next"}, Case{u"", u""}));

INSTANTIATE_TEST_SUITE_P(OtherScripts, SanitizeCases,
                         ::testing::Values(
                             // Letters and digits of other scripts stay readable.
                             Case{u"Grüße aus Köln", u"Grüße aus Köln"}, Case{u"Отчёт 2024", u"Отчёт 2024"},
                             Case{u"会议记录", u"会议记录"},
                             Case{u"रिपोर्ट", u"रिपोर्ट"},     // Devanagari with its vowel signs (marks)
                             Case{u"٣ تقارير", u"٣ تقارير"}, // Arabic-Indic digit and letters
                             // Punctuation and symbols of other scripts still become "-".
                             Case{u"«Angebot»", u"-Angebot-"}, Case{u"価格：１００€", u"価格-１００-"},
                             Case{u"a\u00A0b", u"a-b"}, Case{u"「報告」。", u"-報告--"},
                             // A character outside the basic plane is judged whole and keeps the length.
                             Case{u"\U0001D400x", u"\U0001D400x"}, Case{u"\U0001F600!", u"---"},
                             // Unpaired surrogates are never kept.
                             Case{u"a\xD800"
                                  u"b",
                                  u"a-b"}));

} // namespace
