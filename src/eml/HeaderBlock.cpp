#include "eml/HeaderBlock.h"

#include <algorithm>

namespace eml {

namespace {

constexpr qsizetype kFoldWidth = 78;
// UTF-8 bytes per encoded word: 39 bytes give 52 base64 characters, a 64-character word
// ("=?UTF-8?B?...?="), within the 75 that RFC 2047 allows and short enough to share the first
// line with a field name in 78 columns.
constexpr qsizetype kBytesPerEncodedWord = 39;
// Longer ASCII words are encoded too, so that the field can still be folded.
constexpr qsizetype kLongestPlainWord = 76;

bool looksLikeEncodedWord(QStringView word)
{
    return word.contains(QLatin1String("=?")) && word.contains(QLatin1String("?="));
}

bool isPlainWord(QStringView word)
{
    if (word.isEmpty() || word.size() > kLongestPlainWord || looksLikeEncodedWord(word))
        return false;
    return std::all_of(word.begin(), word.end(),
                       [](QChar c) { return c.unicode() > 0x20 && c.unicode() < 0x7F; });
}

// RFC 2047 encoded words (UTF-8, base64), split between characters, separated by spaces.
QByteArray encodedWords(QStringView text)
{
    QByteArray words;
    QByteArray chunk;
    const auto flush = [&] {
        if (chunk.isEmpty())
            return;
        if (!words.isEmpty())
            words += ' ';
        words += "=?UTF-8?B?" + chunk.toBase64() + "?=";
        chunk.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        qsizetype length = 1;
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            length = 2;
        const QByteArray character = text.mid(i, length).toUtf8();
        if (chunk.size() + character.size() > kBytesPerEncodedWord)
            flush();
        chunk += character;
        i += length - 1;
    }
    flush();
    return words;
}

// Unstructured text: plain words stay, runs of other words (with the spaces between them, which
// a reader drops between encoded words) become encoded words.
QByteArray encodedText(const QString& text)
{
    const QStringList words = text.split(QLatin1Char(' '));
    QList<QByteArray> segments;
    qsizetype runStart = -1;
    const auto endRun = [&](qsizetype end) {
        if (runStart < 0)
            return;
        const QString run = words.mid(runStart, end - runStart).join(QLatin1Char(' '));
        // A run of nothing but spaces between plain words stays as those spaces.
        segments.append(run.trimmed().isEmpty() ? run.toLatin1() : encodedWords(run));
        runStart = -1;
    };
    for (qsizetype i = 0; i < words.size(); ++i) {
        if (isPlainWord(words.at(i))) {
            endRun(i);
            segments.append(words.at(i).toLatin1());
        } else if (runStart < 0) {
            runStart = i;
        }
    }
    endRun(words.size());
    return segments.join(' ');
}

// A display name as an RFC 5322 phrase: atoms as they are, other ASCII quoted, anything else
// encoded.
QByteArray phrase(const QString& name)
{
    const bool ascii = std::all_of(name.begin(), name.end(),
                                   [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F; });
    if (!ascii || looksLikeEncodedWord(name))
        return encodedWords(name);
    const bool atoms = std::none_of(name.begin(), name.end(),
                                    [](QChar c) { return QStringView(u"()<>[]:;@\\,.\"").contains(c); });
    if (atoms)
        return name.toLatin1();
    QByteArray quoted = name.toLatin1();
    quoted.replace('\\', "\\\\");
    quoted.replace('"', "\\\"");
    return '"' + quoted + '"';
}

} // namespace

void HeaderBlock::append(const QByteArray& name, const QByteArray& foldedField)
{
    m_bytes += foldedField;
    if (!foldedField.endsWith("\r\n"))
        m_bytes += "\r\n";
    m_names.append(name.toLower());
}

void HeaderBlock::addVerbatim(const QByteArray& name, const QByteArray& field)
{
    append(name, field);
}

void HeaderBlock::addStructured(const QByteArray& name, const QByteArray& value)
{
    append(name, fold(name + ": " + value));
}

void HeaderBlock::addText(const QByteArray& name, const QString& text)
{
    append(name, fold(name + ": " + encodedText(cleaned(text))));
}

void HeaderBlock::addMailboxes(const QByteArray& name, const QList<Mailbox>& mailboxes)
{
    QByteArray value;
    for (const Mailbox& mailbox : mailboxes) {
        const QString displayName = cleaned(mailbox.name).simplified();
        const QString address = mailbox.address.trimmed();
        QByteArray entry;
        if (isInternetAddress(address)) {
            entry = displayName.isEmpty() ? address.toUtf8()
                                          : phrase(displayName) + " <" + address.toUtf8() + '>';
        } else if (!displayName.isEmpty() || !address.isEmpty()) {
            // No Internet address: the name alone, as an empty group ("Name: ;"), so that the
            // field stays valid and no address is invented. A name-less mailbox keeps its stored
            // address text (an Exchange address) as the name.
            entry = phrase(displayName.isEmpty() ? cleaned(address).simplified() : displayName) + ": ;";
        }
        if (entry.isEmpty())
            continue;
        if (!value.isEmpty())
            value += ", ";
        value += entry;
    }
    if (!value.isEmpty())
        append(name, fold(name + ": " + value));
}

bool HeaderBlock::contains(const QByteArray& name) const
{
    return m_names.contains(name.toLower());
}

bool HeaderBlock::isInternetAddress(const QString& address)
{
    const qsizetype at = address.lastIndexOf(QLatin1Char('@'));
    if (at <= 0 || at == address.size() - 1)
        return false;
    for (const QChar c : address) {
        if (c.unicode() <= 0x20 || c.unicode() == 0x7F || QStringView(u"<>()[],;:\"\\").contains(c))
            return false;
    }
    return true;
}

QString HeaderBlock::cleaned(const QString& text)
{
    QString result = text;
    for (QChar& c : result) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    }
    return result;
}

QByteArray HeaderBlock::fold(const QByteArray& field)
{
    // Split before every space that may carry a line break: outside quoted strings (where a
    // break would change the text) and outside <...> (addresses and message identifiers).
    QList<QByteArray> pieces;
    qsizetype start = 0;
    bool inQuotes = false;
    int angleDepth = 0;
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field.at(i);
        if (inQuotes) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inQuotes = false;
            continue;
        }
        if (c == '"')
            inQuotes = true;
        else if (c == '<')
            ++angleDepth;
        else if (c == '>' && angleDepth > 0)
            --angleDepth;
        else if (c == ' ' && angleDepth == 0 && i > start) {
            pieces.append(field.mid(start, i - start));
            start = i;
        }
    }
    pieces.append(field.mid(start));

    QByteArray folded;
    QByteArray line = pieces.first();
    for (qsizetype i = 1; i < pieces.size(); ++i) {
        const QByteArray& piece = pieces.at(i);
        // Never break right after the field name, nor leave a line of whitespace only.
        if (line.size() + piece.size() > kFoldWidth && i > 1 && !line.trimmed().isEmpty()) {
            folded += line + "\r\n";
            line = piece;
        } else {
            line += piece;
        }
    }
    folded += line + "\r\n";
    return folded;
}

} // namespace eml
