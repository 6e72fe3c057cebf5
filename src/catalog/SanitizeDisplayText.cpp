#include "SanitizeDisplayText.h"

namespace catalog {

namespace {

bool keptAscii(char16_t c)
{
    return c == u' ' || (c >= 45 && c <= 57) || (c >= 65 && c <= 92) || (c >= 96 && c <= 122);
}

// Letters, digits and combining marks of other scripts stay, so that subjects and folder paths
// written in them remain readable; a script such as Devanagari or Thai is unreadable without its
// vowel signs, which are marks. Punctuation, symbols and separators of any script still become "-".
bool keptNonAscii(char32_t codePoint)
{
    switch (QChar::category(codePoint)) {
    case QChar::Letter_Uppercase:
    case QChar::Letter_Lowercase:
    case QChar::Letter_Titlecase:
    case QChar::Letter_Modifier:
    case QChar::Letter_Other:
    case QChar::Number_DecimalDigit:
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
        return true;
    default:
        return false;
    }
}

} // namespace

QString SanitizeDisplayText(const QString& text)
{
    QString result = text;
    result.replace(QStringLiteral("Deleted Items"), QStringLiteral("Deleted-Items"));
    result.replace(QStringLiteral("Top of Personal Folders"), QStringLiteral("Top-of-Personal-Folders"));

    const qsizetype length = result.size();
    for (qsizetype i = 0; i < length; ++i) {
        const char16_t c = result.at(i).unicode();
        if (c < 128) {
            if (!keptAscii(c))
                result[i] = QLatin1Char('-');
            continue;
        }
        // A surrogate pair is judged as one character and replaced unit by unit, so the length
        // stays that of the input; an unpaired surrogate is never kept.
        if (QChar::isHighSurrogate(c) && i + 1 < length &&
            QChar::isLowSurrogate(result.at(i + 1).unicode())) {
            const char32_t codePoint = QChar::surrogateToUcs4(c, result.at(i + 1).unicode());
            if (!keptNonAscii(codePoint)) {
                result[i] = QLatin1Char('-');
                result[i + 1] = QLatin1Char('-');
            }
            ++i;
            continue;
        }
        if (QChar::isSurrogate(c) || !keptNonAscii(c))
            result[i] = QLatin1Char('-');
    }
    return result;
}

} // namespace catalog
