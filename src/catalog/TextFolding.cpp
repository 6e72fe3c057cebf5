#include "TextFolding.h"

#include <QChar>
#include <array>
#include <cstring>

namespace catalog {

namespace {

// Per UTF-16 code unit, what it folds to: a piece of the pool, a space, or nothing.
class FoldTable
{
public:
    static constexpr quint32 Space = 0xFFFFFFFFu;

    FoldTable()
    {
        m_pool.reserve(1 << 18);
        for (char32_t c = 0; c < 0x10000; ++c)
            m_entries[c] = make(c);
    }

    quint32 entry(char16_t unit) const { return m_entries[unit]; }
    const char* pool() const { return m_pool.constData(); }

    static const FoldTable& instance()
    {
        static const FoldTable table;
        return table;
    }

private:
    quint32 make(char32_t c)
    {
        if (c >= 0xD800 && c < 0xE000)
            return 0; // surrogates: the fold loop handles pairs
        const QChar ch(static_cast<char16_t>(c));
        if (ch.isSpace() || c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0x200B || c == 0xFEFF)
            return c == 0x200B || c == 0xFEFF ? 0 : Space;
        QString folded;
        // Letters that carry their mark inside them: no decomposition takes it off.
        static const std::pair<char32_t, const char*> Whole[] = {
            {0x00C6, "ae"}, {0x00E6, "ae"}, {0x00D0, "d"},  {0x00F0, "d"},  {0x00D8, "o"},  {0x00F8, "o"},
            {0x00DE, "th"}, {0x00FE, "th"}, {0x0110, "d"},  {0x0111, "d"},  {0x0126, "h"},  {0x0127, "h"},
            {0x0131, "i"},  {0x0141, "l"},  {0x0142, "l"},  {0x0152, "oe"}, {0x0153, "oe"}, {0x0166, "t"},
            {0x0167, "t"},  {0x00DF, "ss"}, {0x1E9E, "ss"},
        };
        for (const auto& [letter, plain] : Whole)
            if (c == letter)
                folded = QString::fromLatin1(plain);
        if (!folded.isEmpty()) {
        } else if (TextFolding::isUnspacedScript(c) && !(c >= 0xFF61 && c <= 0xFF9F)) {
            // Kana and ideographs stay as they are: taking the voicing marks off kana would
            // make different words alike.
            folded = QString(ch);
        } else if ((c >= 0xAC00 && c <= 0xD7A3)) {
            folded = QString(ch); // Hangul syllables, not their letters
        } else {
            const bool narrowOrWide = c >= 0xFF00 && c <= 0xFFEF;
            const QString decomposed = QString(ch).normalized(narrowOrWide ? QString::NormalizationForm_KC
                                                                           : QString::NormalizationForm_KD);
            for (const QChar part : decomposed) {
                if (part.isMark())
                    continue;
                folded += part;
            }
            folded = folded.toCaseFolded();
            folded.replace(QChar(0x00DF), QStringLiteral("ss"));
        }
        if (folded.isEmpty())
            return 0;
        const QByteArray utf8 = folded.toUtf8();
        if (utf8.size() > 255)
            return 0;
        const auto offset = static_cast<quint32>(m_pool.size());
        m_pool.append(utf8);
        return (offset << 8) | static_cast<quint32>(utf8.size());
    }

    std::array<quint32, 0x10000> m_entries{};
    QByteArray m_pool;
};

} // namespace

QByteArray TextFolding::fold(QStringView text)
{
    const FoldTable& table = FoldTable::instance();
    const char16_t* units = text.utf16();
    const qsizetype size = text.size();
    // Written through a pointer into room made beforehand: appending byte by byte costs more than
    // the folding itself. Most text folds to at most three bytes a unit; the room grows when a
    // unit's fold would not fit.
    QByteArray out;
    out.resize(size * 3 + 16);
    char* begin = out.data();
    char* write = begin;
    char* limit = begin + out.size();
    bool afterSpace = true; // no space at the start
    const auto ensure = [&](qsizetype more) {
        if (limit - write >= more)
            return;
        const qsizetype used = write - begin;
        out.resize((used + more) * 2);
        begin = out.data();
        write = begin + used;
        limit = begin + out.size();
    };
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t unit = units[i];
        if (unit < 0x80) {
            if (unit > 0x20 && unit != 0x7F) {
                ensure(1);
                *write++ = static_cast<char>(unit >= 'A' && unit <= 'Z' ? unit + ('a' - 'A') : unit);
                afterSpace = false;
            } else if (!afterSpace) {
                ensure(1);
                *write++ = ' ';
                afterSpace = true;
            }
            continue;
        }
        if (QChar::isHighSurrogate(unit) && i + 1 < size && QChar::isLowSurrogate(units[i + 1])) {
            const char32_t c = QChar::surrogateToUcs4(unit, units[i + 1]);
            ensure(4);
            *write++ = static_cast<char>(0xF0 | (c >> 18));
            *write++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            *write++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *write++ = static_cast<char>(0x80 | (c & 0x3F));
            ++i;
            afterSpace = false;
            continue;
        }
        const quint32 entry = table.entry(unit);
        if (entry == FoldTable::Space) {
            if (!afterSpace) {
                ensure(1);
                *write++ = ' ';
            }
            afterSpace = true;
        } else if (entry != 0) {
            const auto length = static_cast<qsizetype>(entry & 0xFF);
            ensure(length);
            std::memcpy(write, table.pool() + (entry >> 8), static_cast<size_t>(length));
            write += length;
            afterSpace = false;
        }
    }
    if (write > begin && write[-1] == ' ')
        --write;
    out.truncate(write - begin);
    return out;
}

bool TextFolding::isUnspacedScript(char32_t c)
{
    return (c >= 0x0E00 && c <= 0x0EFF) ||   // Thai, Lao
           (c >= 0x1000 && c <= 0x109F) ||   // Myanmar
           (c >= 0x1780 && c <= 0x17FF) ||   // Khmer
           (c >= 0x2E80 && c <= 0x2FDF) ||   // CJK radicals
           (c >= 0x3005 && c <= 0x3007) ||   // ideographic iteration and number marks
           (c >= 0x3040 && c <= 0x30FF) ||   // Hiragana, Katakana
           (c >= 0x31F0 && c <= 0x31FF) ||   // Katakana extensions
           (c >= 0x3400 && c <= 0x4DBF) ||   // CJK extension A
           (c >= 0x4E00 && c <= 0x9FFF) ||   // CJK unified ideographs
           (c >= 0xF900 && c <= 0xFAFF) ||   // CJK compatibility ideographs
           (c >= 0xFF61 && c <= 0xFF9F) ||   // half-width Katakana
           (c >= 0x20000 && c <= 0x3FFFF);   // CJK extensions B and later
}

bool TextFolding::isWordCharacter(char32_t c)
{
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (isUnspacedScript(c))
        return false;
    return QChar::isLetterOrNumber(c) || QChar::isMark(c);
}

char32_t TextFolding::codePointAt(const char* text, qsizetype size, qsizetype index)
{
    if (index < 0 || index >= size)
        return 0;
    const auto lead = static_cast<unsigned char>(text[index]);
    if (lead < 0x80)
        return lead;
    int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || index + length > size)
        return 0xFFFD;
    char32_t c = lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[index + k]);
        if ((next & 0xC0) != 0x80)
            return 0xFFFD;
        c = (c << 6) | (next & 0x3F);
    }
    return c;
}

char32_t TextFolding::codePointBefore(const char* text, qsizetype index)
{
    if (index <= 0)
        return 0;
    qsizetype start = index - 1;
    // At most three continuation bytes go before a lead byte.
    while (start > 0 && index - start < 4 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80)
        --start;
    return codePointAt(text, index, start);
}

QString TextFolding::htmlText(QStringView html)
{
    QString out(html.size(), Qt::Uninitialized);
    QChar* write = out.data();
    const QChar* data = html.data();
    const qsizetype size = html.size();
    qsizetype i = 0;
    const auto startsWith = [&](qsizetype at, QLatin1StringView word) {
        return html.mid(at, word.size()).compare(word, Qt::CaseInsensitive) == 0;
    };
    while (i < size) {
        const QChar c = data[i];
        if (c == QLatin1Char('<')) {
            if (startsWith(i, QLatin1StringView("<!--"))) {
                const qsizetype end = html.indexOf(QLatin1StringView("-->"), i + 4);
                i = end < 0 ? size : end + 3;
            } else {
                QLatin1StringView closing;
                if (startsWith(i, QLatin1StringView("<script")))
                    closing = QLatin1StringView("</script");
                else if (startsWith(i, QLatin1StringView("<style")))
                    closing = QLatin1StringView("</style");
                else if (startsWith(i, QLatin1StringView("<head")))
                    closing = QLatin1StringView("</head");
                if (!closing.isEmpty()) {
                    const qsizetype end = html.indexOf(closing, i + 1, Qt::CaseInsensitive);
                    i = end < 0 ? size : end;
                }
                const qsizetype close = html.indexOf(QLatin1Char('>'), i);
                i = close < 0 ? size : close + 1;
            }
            *write++ = QLatin1Char(' ');
            continue;
        }
        if (c == QLatin1Char('&')) {
            const qsizetype semicolon = html.indexOf(QLatin1Char(';'), i + 1);
            if (semicolon > i + 1 && semicolon - i <= 10) {
                const QStringView name = html.mid(i + 1, semicolon - i - 1);
                char32_t decoded = 0;
                if (name.startsWith(QLatin1Char('#'))) {
                    bool ok = false;
                    const uint value = name.startsWith(QLatin1StringView("#x"), Qt::CaseInsensitive)
                                           ? name.mid(2).toUInt(&ok, 16)
                                           : name.mid(1).toUInt(&ok, 10);
                    if (ok && value > 0 && value <= 0x10FFFF)
                        decoded = value;
                } else {
                    static const std::pair<QLatin1StringView, char32_t> Named[] = {
                        {QLatin1StringView("amp"), U'&'},  {QLatin1StringView("lt"), U'<'},
                        {QLatin1StringView("gt"), U'>'},   {QLatin1StringView("quot"), U'"'},
                        {QLatin1StringView("apos"), U'\''}, {QLatin1StringView("nbsp"), U' '},
                    };
                    for (const auto& [entity, value] : Named)
                        if (name.compare(entity, Qt::CaseInsensitive) == 0)
                            decoded = value;
                }
                if (decoded != 0) {
                    // A reference is never shorter than what it stands for: the room suffices.
                    if (decoded >= 0x10000) {
                        *write++ = QChar(QChar::highSurrogate(decoded));
                        *write++ = QChar(QChar::lowSurrogate(decoded));
                    } else {
                        *write++ = QChar(static_cast<char16_t>(decoded));
                    }
                    i = semicolon + 1;
                    continue;
                }
            }
        }
        *write++ = c;
        ++i;
    }
    out.truncate(write - out.constData());
    return out;
}

} // namespace catalog
