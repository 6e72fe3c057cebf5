#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace catalog {

// The form texts are searched in: lower case, without diacritics ("Grüße" and "grusse" fold
// alike, so do "München" and "munchen"), compatibility forms replaced by their plain letters
// (full-width Latin, ligatures), every run of white space one space, as UTF-8. Words of scripts
// written without spaces (Chinese, Japanese, Thai) keep their letters. Stateless; any thread.
class TextFolding
{
public:
    static QByteArray fold(QStringView text);
    // The text an HTML body shows: tags, comments, scripts and styles left out, character
    // references decoded, each tag a space.
    static QString htmlText(QStringView html);

    // Whether a code point is part of a word (a letter, digit or mark of a script that separates
    // words with spaces).
    static bool isWordCharacter(char32_t c);
    // Whether a code point belongs to a script written without spaces between words.
    static bool isUnspacedScript(char32_t c);
    // The code point that starts at byte `index` of UTF-8 `text`, and the one that ends before
    // it; U+FFFD for broken bytes, 0 at the ends.
    static char32_t codePointAt(const char* text, qsizetype size, qsizetype index);
    static char32_t codePointBefore(const char* text, qsizetype index);
};

} // namespace catalog
