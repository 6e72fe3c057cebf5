#include "catalog/SearchQuery.h"
#include "catalog/TextFolding.h"

#include <gtest/gtest.h>

using namespace catalog;

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

// An item with these texts, folded as the index folds them.
struct Item
{
    const char* from = "";
    const char* to = "";
    const char* subject = "";
    const char* body = "";
    const char* attachment = "";
    const char* other = "";
    int kind = 0;
    bool hasAttachments = false;
};

bool matches(const QString& queryText, const Item& item)
{
    QString error;
    const std::optional<SearchQuery> query = SearchQuery::parse(queryText, &error);
    if (!query)
        throw std::runtime_error(error.toStdString());
    const std::array<QByteArray, SearchFieldCount> folded{
        TextFolding::fold(s(item.from)),    TextFolding::fold(s(item.to)),
        TextFolding::fold(s(item.subject)), TextFolding::fold(s(item.body)),
        TextFolding::fold(s(item.attachment)), TextFolding::fold(s(item.other))};
    SearchEntryView entry;
    entry.kind = item.kind;
    entry.hasAttachments = item.hasAttachments;
    for (int i = 0; i < SearchFieldCount; ++i)
        entry.fields[static_cast<std::size_t>(i)] = folded[static_cast<std::size_t>(i)];
    return query->matches(entry);
}

struct Case
{
    const char* query;
    Item item;
    bool expected;
};

} // namespace

TEST(SearchQuery, MatchesAsTheLanguageSays)
{
    const Item mail{"Sam Ortega sam@example.org", "Dana Whitfield dana@example.com; Ex User",
                    "RE: Budget review #3", "Grüße aus München.\nPlease review   the numbers, thanks!",
                    "Q3-report.pdf\nmap.png", "", 0, true};
    const Case cases[] = {
        // words, as whole words, in any field, combined with AND
        {"budget", mail, true},
        {"BUDGET Review", mail, true},
        {"budg", mail, false},
        {"review budget", mail, true},
        {"budget missing", mail, false},
        {"numbers", mail, true},
        {"number", mail, false},
        // case and diacritics
        {"grusse", mail, true},
        {"GRÜSSE", mail, true},
        {"munchen", mail, true},
        {"münchen", mail, true},
        {"muenchen", mail, false},
        // phrases: in order, any white space between
        {"\"please review the numbers\"", mail, true},
        {"\"review please\"", mail, false},
        {"\"aus münchen\"", mail, true},
        {"\"numbers thanks\"", mail, false},
        // fields
        {"from:ortega", mail, true},
        {"from:sam@example.org", mail, true},
        {"from:dana", mail, false},
        {"to:dana", mail, true},
        {"to:dana@example.com", mail, true},
        {"to:\"ex user\"", mail, true},
        {"subject:budget", mail, true},
        {"subject:munchen", mail, false},
        {"body:munchen", mail, true},
        {"body:budget", mail, false},
        {"attachment:map.png", mail, true},
        {"attachment:q3-report.pdf", mail, true},
        {"attachment:report", mail, true},
        {"attachment:budget", mail, false},
        {"subject:\"budget review\"", mail, true},
        {"SUBJECT:budget", mail, true},
        // punctuation inside a word
        {"#3", mail, true},
        {"re:", mail, true},
        {"re", mail, true},
        // filters
        {"has:attachment", mail, true},
        {"has:attachment", Item{"a", "", "b", "", "", "", 0, false}, false},
        {"kind:mail budget", mail, true},
        {"kind:contact budget", mail, false},
        {"kind:contact ortega", Item{"Luis Ortega luis@example.org", "", "Luis Ortega", "", "", "Acme", 7},
         true},
        {"kind:appointment acme", Item{"", "", "Planning", "", "", "Acme HQ", 2}, true},
        {"kind:task planning", Item{"", "", "Planning", "", "", "", 26}, true},
        {"kind:note planning", Item{"", "", "Planning", "", "", "", 26}, false},
        {"kind:note planning", Item{"", "", "Planning", "", "", "", 17}, true},
        {"kind:journal call", Item{"", "", "", "", "", "Phone call", 1}, true},
        // other scripts
        {"議事録", Item{"山田 太郎", "", "会議の議事録（10月12日）"}, true},
        {"会議", Item{"", "", "会議の議事録（10月12日）"}, true},
        {"議事", Item{"", "", "会議の議事録（10月12日）"}, true},
        {"議事録 12", Item{"", "", "会議の議事録（10月12日）"}, true},
        {"отчёт", Item{"", "", "Отчёт за квартал"}, true},
        {"отчет", Item{"", "", "Отчёт за квартал"}, true},
        {"ОТЧЁТ квартал", Item{"", "", "Отчёт за квартал"}, true},
        {"отч", Item{"", "", "Отчёт за квартал"}, false},
        {"ελληνικα", Item{"", "", "Ελληνικά σημειώσεις"}, true},
        {"zazolc", Item{"", "", "Zażółć gęślą jaźń"}, true},
        // full-width letters and ligatures fold to plain ones
        {"office", Item{"", "", "ＯＦＦＩＣＥ ﬁles"}, true},
        {"files", Item{"", "", "ＯＦＦＩＣＥ ﬁles"}, true},
        {"hauptstrasse", Item{"", "", "Hauptstraße 5"}, true},
        {"strasse", Item{"", "", "Hauptstraße 5"}, false},
        {"lodz koln", Item{"", "", "Łódź – Köln"}, true},
        {"oresund aero", Item{"", "", "Øresund Ærø"}, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(matches(s(c.query), c.item), c.expected) << c.query;
}

TEST(SearchQuery, MalformedQueriesSayWhatIsWrong)
{
    const std::pair<const char*, const char*> cases[] = {
        {"\"unclosed phrase", "not closed"},    {"budget \"also", "character 8"},
        {"foo:bar", "\"foo:\" is not a field"}, {"subject:", "needs a word"},
        {"from: dana", "needs a word"},         {"has:pictures", "has:pictures"},
        {"kind:folder", "kind:journal"},        {"", "nothing to search"},
        {"   ", "nothing to search"},           {"\"\"", "nothing to search"},
    };
    for (const auto& [query, expected] : cases) {
        QString error;
        EXPECT_FALSE(SearchQuery::parse(s(query), &error)) << query;
        EXPECT_TRUE(error.contains(s(expected), Qt::CaseInsensitive)) << query << ": " << error.toStdString();
    }
}

TEST(SearchQuery, SaysWhichFieldsItLooksInto)
{
    QString error;
    const auto subjectOnly = SearchQuery::parse(s("subject:a from:b kind:mail"), &error);
    ASSERT_TRUE(subjectOnly);
    EXPECT_TRUE(subjectOnly->usesField(SearchField::Subject));
    EXPECT_TRUE(subjectOnly->usesField(SearchField::From));
    EXPECT_FALSE(subjectOnly->usesField(SearchField::Body));
    EXPECT_FALSE(subjectOnly->usesField(SearchField::To));
    EXPECT_FALSE(subjectOnly->usesField(SearchField::Attachment));
    const auto bare = SearchQuery::parse(s("word"), &error);
    ASSERT_TRUE(bare);
    for (int field = 0; field < SearchFieldCount; ++field)
        EXPECT_TRUE(bare->usesField(static_cast<SearchField>(field)));
}

TEST(TextFolding, FoldsCaseAccentsSpacesAndForms)
{
    const std::pair<const char*, const char*> cases[] = {
        {"  Grüße\t aus\r\nMünchen  ", "grusse aus munchen"},
        {"ÉCOLE Ça", "ecole ca"},
        {"ﬁ ＡＢＣ１２３", "fi abc123"},
        {"日本語のテキスト", "日本語のテキスト"},
        {"ｶﾀｶﾅ", "カタカナ"},
        {"한국어", "한국어"},
        {"e\xcc\x81t\xc3\xa9", "ete"},
        {"\xf0\x9f\x98\x80 Smile", "\xf0\x9f\x98\x80 smile"},
        {"a\xc2\xa0\xe2\x80\x83 b", "a b"},
    };
    for (const auto& [text, folded] : cases)
        EXPECT_EQ(TextFolding::fold(s(text)), QByteArray(folded)) << text;
}

TEST(TextFolding, HtmlTextLeavesOutMarkupAndDecodesReferences)
{
    EXPECT_EQ(TextFolding::fold(TextFolding::htmlText(
                  s("<html><head><title>T</title><style>p{}</style></head><body><p>Fish &amp; "
                    "chips&nbsp;&#233;t&#xE9;</p><!-- hidden --><script>x()</script>ok</body>"))),
              QByteArray("fish & chips ete ok"));
    EXPECT_EQ(TextFolding::fold(TextFolding::htmlText(s("a &unknown; b &#0; c<br>d <unclosed"))),
              QByteArray("a &unknown; b &#0; c d"));
}
