#include "MessageTexts.h"

#include "store/MapiTags.h"
#include "store/FileTime.h"
#include "views/ItemListFill.h"

#include <array>
#include <utility>

namespace scan {

QString MessageTexts::flags(std::optional<std::uint32_t> value)
{
    if (!value)
        return QStringLiteral(" ");
    // Texts of static data: every record that shows one shares it, a million mails cost nothing.
    static const std::array<std::pair<std::uint32_t, QString>, 9> bits{{
        {0x002, QStringLiteral("Unmodified")},
        {0x004, QStringLiteral("Submit")},
        {0x008, QStringLiteral("Unsent")},
        {0x010, QStringLiteral("Attachments")},
        {0x020, QStringLiteral("From me")},
        {0x040, QStringLiteral("Associated")},
        {0x080, QStringLiteral("Resend")},
        {0x100, QStringLiteral("RN pending")},
        {0x200, QStringLiteral("NRN pending")},
    }};
    QString text = (*value & 0x001) ? QStringLiteral("Read") : QStringLiteral("Unread");
    // Each set bit overwrites the text, so the highest one wins.
    for (const auto& [bit, label] : bits) {
        if (*value & bit)
            text = label;
    }
    return text;
}

QString MessageTexts::priority(std::optional<std::uint32_t> value)
{
    if (!value)
        return QStringLiteral("None");
    switch (static_cast<std::int32_t>(*value)) {
    case -1:
        return QStringLiteral("Non Urgent");
    case 0:
        return QStringLiteral("Normal");
    case 1:
        return QStringLiteral("Urgent");
    default:
        return QStringLiteral("None");
    }
}

QString MessageTexts::sensitivity(std::optional<std::uint32_t> value)
{
    if (!value)
        return QStringLiteral("None");
    switch (*value) {
    case 1:
        return QStringLiteral("Personal");
    case 2:
        return QStringLiteral("Private");
    case 3:
        return QStringLiteral("Confidential");
    default:
        return QStringLiteral("None");
    }
}

QString MessageTexts::importance(std::optional<std::uint32_t> value)
{
    if (!value)
        return QStringLiteral(" ");
    switch (*value) {
    case 0:
        return QStringLiteral("Low");
    case 1:
        return QStringLiteral("Normal");
    case 2:
        return QStringLiteral("High");
    default:
        return QStringLiteral(" ");
    }
}

QString MessageTexts::size(std::optional<std::uint32_t> value)
{
    if (!value)
        return QStringLiteral(" ");
    return views::ItemListFill::sizeText(*value);
}

std::optional<QString> MessageTexts::deliveryTime(std::optional<std::uint64_t> fileTime)
{
    return fileTime ? store::fileTimeToText(*fileTime) : std::nullopt;
}

QString MessageTexts::subject(const QString& text)
{
    // Shown as the mail has it, without Outlook's prefix marker: a list or a preview that showed
    // another subject would be wrong.
    return store::mapi::withoutSubjectMarker(text);
}

std::optional<QString> MessageTexts::subjectSlot(const std::optional<QString>& text)
{
    if (!text)
        return std::nullopt;
    QString result = subject(*text);
    if (result == QStringLiteral(" "))
        return std::nullopt;
    return result;
}

} // namespace scan
