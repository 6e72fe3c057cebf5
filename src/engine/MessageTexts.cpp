#include "MessageTexts.h"

#include "MailMapper.h"

#include "catalog/SanitizeDisplayText.h"

#include <array>
#include <utility>

namespace engine {

QString MessageTexts::flags(std::optional<std::uint32_t> value)
{
    if (!value)
        return QStringLiteral(" ");
    static const std::array<std::pair<std::uint32_t, const char*>, 9> bits{{
        {0x002, "Unmodified"},
        {0x004, "Submit"},
        {0x008, "Unsent"},
        {0x010, "Attachments"},
        {0x020, "From me"},
        {0x040, "Associated"},
        {0x080, "Resend"},
        {0x100, "RN pending"},
        {0x200, "NRN pending"},
    }};
    QString text = (*value & 0x001) ? QStringLiteral("Read") : QStringLiteral("Unread");
    // Each set bit overwrites the text, so the highest one wins.
    for (const auto& [bit, label] : bits) {
        if (*value & bit)
            text = QLatin1String(label);
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
    return QString::number(static_cast<std::int32_t>(*value)) + QStringLiteral("  Bytes");
}

QString MessageTexts::subject(const QString& text)
{
    // Shown as the mail has it, without Outlook's prefix marker: a list or a preview that showed
    // another subject would be wrong.
    return MailMapper::withoutSubjectMarker(text);
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

} // namespace engine
