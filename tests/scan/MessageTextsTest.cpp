#include "scan/MessageTexts.h"

#include <gtest/gtest.h>

using scan::MessageTexts;

namespace {
struct Case
{
    std::optional<std::uint32_t> value;
    const char* text;
};

void expectTable(QString (*function)(std::optional<std::uint32_t>), std::initializer_list<Case> cases)
{
    for (const Case& c : cases) {
        EXPECT_EQ(function(c.value), QString::fromUtf8(c.text))
            << "value " << (c.value ? static_cast<long long>(*c.value) : -999);
    }
}
} // namespace

TEST(MessageTexts, Flags)
{
    expectTable(&MessageTexts::flags, {
                                          {std::nullopt, " "},
                                          {0x000, "Unread"},
                                          {0x001, "Read"},
                                          {0x002, "Unmodified"},
                                          {0x004, "Submit"},
                                          {0x008, "Unsent"},
                                          {0x011, "Attachments"},
                                          {0x020, "From me"},
                                          {0x040, "Associated"},
                                          {0x080, "Resend"},
                                          {0x100, "RN pending"},
                                          {0x200, "NRN pending"},
                                          {0x3FF, "NRN pending"},
                                          {0x018, "Attachments"},
                                          {0x400, "Unread"},
                                          {0x401, "Read"},
                                      });
}

TEST(MessageTexts, Priority)
{
    expectTable(&MessageTexts::priority, {
                                             {std::nullopt, "None"},
                                             {0xFFFFFFFFu, "Non Urgent"},
                                             {0, "Normal"},
                                             {1, "Urgent"},
                                             {2, "None"},
                                             {0xFFFFFFFEu, "None"},
                                         });
}

TEST(MessageTexts, SensitivityAndImportance)
{
    expectTable(&MessageTexts::sensitivity, {
                                                {std::nullopt, "None"},
                                                {0, "None"},
                                                {1, "Personal"},
                                                {2, "Private"},
                                                {3, "Confidential"},
                                                {4, "None"},
                                            });
    expectTable(&MessageTexts::importance, {
                                               {std::nullopt, " "},
                                               {0, "Low"},
                                               {1, "Normal"},
                                               {2, "High"},
                                               {5, " "},
                                           });
}

TEST(MessageTexts, SizeIsSignedDecimalWithTwoSpacesBeforeBytes)
{
    expectTable(&MessageTexts::size, {
                                         {std::nullopt, " "},
                                         {0, "0  Bytes"},
                                         {12345, "12345  Bytes"},
                                         {0xFFFFFFFFu, "-1  Bytes"},
                                     });
}

TEST(MessageTexts, SubjectStaysAsWritten)
{
    for (const QString& subject : {QStringLiteral("Re: Plan -- final"), QStringLiteral("a---b"),
                                   QStringLiteral("Re: Deleted Items!"), QStringLiteral("1:1 with Dana"),
                                   QStringLiteral("会議の議事録（10月12日）"), QStringLiteral("[Scan: 2016-1107 23:01:16]")})
        EXPECT_EQ(MessageTexts::subject(subject), subject);
}
