#include "eml/RtfDeEncapsulator.h"

#include "eml/CodePages.h"

#include <algorithm>
#include <map>
#include <string_view>
#include <vector>

namespace eml {

namespace {

enum class Mode
{
    Rtf,
    Html,
    Text,
};

// What a group inherits from its parent and restores when it closes.
struct GroupState
{
    bool skip = false;
    bool htmlTag = false;
    bool htmlRtf = false;
    bool fontTable = false;
    int font = -1;
    int unicodeSkip = 1;
};

// Destinations whose content is never text of the document.
constexpr std::string_view kSkippedDestinations[] = {
    "author",
    "buptim",
    "colortbl",
    "comment",
    "creatim",
    "datastore",
    "doccomm",
    "fldinst",
    "filetbl",
    "footer",
    "footerf",
    "footerl",
    "footerr",
    "generator",
    "header",
    "headerf",
    "headerl",
    "headerr",
    "info",
    "keywords",
    "latentstyles",
    "listoverridetable",
    "listtable",
    "mhtmltag",
    "nonshppict",
    "objclass",
    "objdata",
    "operator",
    "pict",
    "printim",
    "revtbl",
    "revtim",
    "rsidtbl",
    "stylesheet",
    "subject",
    "themedata",
    "title",
    "xmlnstbl",
    "colorschememapping",
    "pgdsctbl",
    "tc",
    "xe",
};

bool isSkippedDestination(std::string_view word)
{
    return std::find(std::begin(kSkippedDestinations), std::end(kSkippedDestinations), word) !=
           std::end(kSkippedDestinations);
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// One pass over the RTF bytes; no recursion, so deep nesting costs heap, not stack.
class Converter
{
public:
    Converter(const QByteArray& rtf, int fallbackCodePage) : m_in(rtf)
    {
        if (fallbackCodePage > 0 && CodePages::canDecode(fallbackCodePage))
            m_defaultCodePage = fallbackCodePage;
    }

    RtfDeEncapsulator::Result run()
    {
        while (m_pos < m_in.size()) {
            const char c = m_in.at(m_pos++);
            switch (c) {
            case '{':
                openGroup();
                break;
            case '}':
                closeGroup();
                break;
            case '\\':
                readControl();
                break;
            case '\r':
            case '\n':
                break;
            default:
                text(c);
                break;
            }
        }
        flush();
        RtfDeEncapsulator::Result result;
        switch (m_mode) {
        case Mode::Html:
            result.origin = RtfDeEncapsulator::Origin::Html;
            break;
        case Mode::Text:
            result.origin = RtfDeEncapsulator::Origin::EncapsulatedText;
            break;
        case Mode::Rtf:
            result.origin = RtfDeEncapsulator::Origin::Rtf;
            break;
        }
        result.text = m_out;
        return result;
    }

private:
    void openGroup()
    {
        // Real documents nest a few dozen levels; past the limit groups are only counted, so that
        // a document of nothing but "{" cannot take memory in proportion to its size.
        if (m_stack.size() < kMaxNesting)
            m_stack.push_back(m_state);
        else
            ++m_uncountedGroups;
        m_groupStart = true;
        m_starred = false;
        // A group ends any characters still to be skipped after \uN.
        m_unicodeSkipLeft = 0;
    }

    void closeGroup()
    {
        m_groupStart = false;
        m_starred = false;
        m_unicodeSkipLeft = 0;
        if (m_uncountedGroups > 0) {
            --m_uncountedGroups;
            return;
        }
        if (m_stack.empty())
            return;
        m_state = m_stack.back();
        m_stack.pop_back();
    }

    bool emitting() const
    {
        if (m_state.skip)
            return false;
        return m_state.htmlTag || !m_state.htmlRtf;
    }

    int currentCodePage() const
    {
        if (!m_state.htmlTag && m_state.font >= 0) {
            const auto it = m_fontCodePages.find(m_state.font);
            if (it != m_fontCodePages.end() && it->second > 0)
                return it->second;
        }
        return m_defaultCodePage;
    }

    void flush()
    {
        if (m_pending.isEmpty())
            return;
        // Most runs are plain ASCII; they need no decoder, which matters over a whole store.
        const bool ascii = std::all_of(m_pending.cbegin(), m_pending.cend(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        // ISO-2022-JP switches character sets with ASCII escape sequences.
        if (ascii && m_pendingCodePage != 50220) {
            m_out += QString::fromLatin1(m_pending);
        } else {
            auto it = m_decoders.find(m_pendingCodePage);
            if (it == m_decoders.end())
                it = m_decoders.emplace(m_pendingCodePage, CodePages::decoder(m_pendingCodePage)).first;
            // Each run stands alone: a sequence cut at its end must not swallow the next run.
            m_out += CodePages::decodeAll(it->second, m_pending);
        }
        m_pending.clear();
    }

    void appendByte(char byte)
    {
        const int codePage = currentCodePage();
        if (!m_pending.isEmpty() && codePage != m_pendingCodePage)
            flush();
        m_pendingCodePage = codePage;
        m_pending.append(byte);
    }

    void appendText(QStringView text)
    {
        flush();
        m_out += text;
    }

    // Returns true when the character is swallowed as one of those that follow \uN.
    bool consumeUnicodeSkip()
    {
        if (m_unicodeSkipLeft <= 0)
            return false;
        --m_unicodeSkipLeft;
        return true;
    }

    void text(char c)
    {
        m_groupStart = false;
        if (consumeUnicodeSkip())
            return;
        if (!emitting())
            return;
        m_headerOpen = false;
        if (c == '\t') {
            appendText(u"\t");
            return;
        }
        appendByte(c);
    }

    void readControl()
    {
        if (m_pos >= m_in.size())
            return;
        const char c = m_in.at(m_pos);
        if (!isLetter(c)) {
            ++m_pos;
            controlSymbol(c);
            return;
        }
        const qsizetype nameStart = m_pos;
        // Control words are at most 32 letters; longer runs are cut so that the name stays small.
        while (m_pos < m_in.size() && isLetter(m_in.at(m_pos)) && m_pos - nameStart < 32)
            ++m_pos;
        const std::string_view word(m_in.constData() + nameStart, static_cast<size_t>(m_pos - nameStart));
        bool hasParameter = false;
        bool negative = false;
        long long parameter = 0;
        if (m_pos < m_in.size() && m_in.at(m_pos) == '-' && m_pos + 1 < m_in.size() &&
            isDigit(m_in.at(m_pos + 1))) {
            negative = true;
            ++m_pos;
        }
        while (m_pos < m_in.size() && isDigit(m_in.at(m_pos))) {
            hasParameter = true;
            // Saturate instead of overflowing on absurd parameters.
            parameter = std::min<long long>(parameter * 10 + (m_in.at(m_pos) - '0'), 1LL << 40);
            ++m_pos;
        }
        if (m_pos < m_in.size() && m_in.at(m_pos) == ' ')
            ++m_pos;
        if (negative)
            parameter = -parameter;
        const int value =
            static_cast<int>(std::clamp<long long>(parameter, -(1LL << 31) + 1, (1LL << 31) - 1));
        controlWord(word, hasParameter, value);
    }

    void controlSymbol(char c)
    {
        if (c == '*') {
            m_starred = m_groupStart;
            return;
        }
        m_groupStart = false;
        if (c == '\'') {
            const int high = m_pos < m_in.size() ? hexValue(m_in.at(m_pos)) : -1;
            const int low = m_pos + 1 < m_in.size() ? hexValue(m_in.at(m_pos + 1)) : -1;
            if (high < 0 || low < 0) {
                // A cut-off escape takes its lone digit with it.
                if (high >= 0)
                    ++m_pos;
                return;
            }
            m_pos += 2;
            if (consumeUnicodeSkip() || !emitting())
                return;
            m_headerOpen = false;
            appendByte(static_cast<char>(high * 16 + low));
            return;
        }
        if (consumeUnicodeSkip() || !emitting())
            return;
        switch (c) {
        case '\\':
        case '{':
        case '}':
            m_headerOpen = false;
            appendByte(c);
            break;
        case '~':
            appendText(u"\u00A0");
            break;
        case '_':
            appendText(u"\u2011");
            break;
        case '\r':
        case '\n':
            appendText(u"\n");
            break;
        default:
            // \- (optional hyphen), \: and \| produce nothing.
            break;
        }
    }

    bool startsDestination(std::string_view word)
    {
        if (!m_groupStart)
            return false;
        m_groupStart = false;
        const bool starred = m_starred;
        m_starred = false;
        if (word == "htmltag" && m_mode == Mode::Html) {
            m_state.htmlTag = true;
            return true;
        }
        if (word == "fonttbl") {
            m_state.fontTable = true;
            m_state.skip = true;
            return true;
        }
        if (starred || isSkippedDestination(word)) {
            m_state.skip = true;
            return true;
        }
        return false;
    }

    void controlWord(std::string_view word, bool hasParameter, int value)
    {
        if (startsDestination(word))
            return;
        if (word == "bin") {
            // Raw binary data of that many bytes follows; it is never text.
            const qsizetype length = std::clamp<qsizetype>(value, 0, m_in.size() - m_pos);
            m_pos += length;
            consumeUnicodeSkip();
            return;
        }
        if (consumeUnicodeSkip())
            return;
        if (documentSetting(word, hasParameter, value))
            return;
        if (m_state.fontTable) {
            fontTableWord(word, value);
            return;
        }
        if (word == "f") {
            m_state.font = value;
            return;
        }
        if (word == "uc") {
            m_state.unicodeSkip = std::clamp(value, 0, 16);
            return;
        }
        if (word == "htmlrtf") {
            m_state.htmlRtf = !hasParameter || value != 0;
            return;
        }
        if (!emitting())
            return;
        if (word == "u") {
            m_headerOpen = false;
            const char16_t unit = static_cast<char16_t>(value < 0 ? value + 65536 : value);
            appendText(QStringView(&unit, 1));
            m_unicodeSkipLeft = m_state.unicodeSkip;
            return;
        }
        const QStringView special = specialCharacter(word);
        if (!special.isNull())
            appendText(special);
    }

    // Settings of the whole document: code pages, default font, the encapsulation markers.
    bool documentSetting(std::string_view word, bool hasParameter, int value)
    {
        if (word == "fromhtml") {
            if (m_headerOpen && (!hasParameter || value == 1))
                m_mode = Mode::Html;
            return true;
        }
        if (word == "fromtext") {
            if (m_headerOpen)
                m_mode = Mode::Text;
            return true;
        }
        if (word == "ansicpg") {
            if (CodePages::canDecode(value))
                m_defaultCodePage = value;
            return true;
        }
        if (word == "mac" || word == "pc" || word == "pca") {
            m_defaultCodePage = word == "mac" ? 10000 : (word == "pc" ? 437 : 850);
            return true;
        }
        if (word == "deff") {
            if (m_stack.size() <= 1 && m_state.font < 0)
                m_state.font = value;
            return true;
        }
        return false;
    }

    void fontTableWord(std::string_view word, int value)
    {
        if (word == "f") {
            m_fontBeingDefined = value;
        } else if (word == "fcharset") {
            int codePage = CodePages::fromRtfCharset(value);
            if (codePage > 0 && !CodePages::canDecode(codePage))
                codePage = 0;
            if (m_fontCodePages.find(m_fontBeingDefined) == m_fontCodePages.end() || codePage > 0)
                m_fontCodePages[m_fontBeingDefined] = codePage;
        } else if (word == "cpg") {
            if (CodePages::canDecode(value))
                m_fontCodePages[m_fontBeingDefined] = value;
        }
    }

    static QStringView specialCharacter(std::string_view word)
    {
        if (word == "par" || word == "line" || word == "sect" || word == "page" || word == "row")
            return u"\n";
        if (word == "tab" || word == "cell")
            return u"\t";
        if (word == "emdash")
            return u"\u2014";
        if (word == "endash")
            return u"\u2013";
        if (word == "emspace")
            return u"\u2003";
        if (word == "enspace")
            return u"\u2002";
        if (word == "qmspace")
            return u"\u2005";
        if (word == "bullet")
            return u"\u2022";
        if (word == "lquote")
            return u"\u2018";
        if (word == "rquote")
            return u"\u2019";
        if (word == "ldblquote")
            return u"\u201C";
        if (word == "rdblquote")
            return u"\u201D";
        if (word == "zwj")
            return u"\u200D";
        if (word == "zwnj")
            return u"\u200C";
        return {};
    }

    static constexpr std::size_t kMaxNesting = 1000;

    const QByteArray& m_in;
    qsizetype m_pos = 0;
    std::vector<GroupState> m_stack;
    qsizetype m_uncountedGroups = 0;
    GroupState m_state;
    Mode m_mode = Mode::Rtf;
    bool m_headerOpen = true;
    bool m_groupStart = false;
    bool m_starred = false;
    int m_unicodeSkipLeft = 0;
    int m_defaultCodePage = CodePages::kFallback;
    std::map<int, int> m_fontCodePages;
    std::map<int, QStringDecoder> m_decoders;
    int m_fontBeingDefined = -1;
    QString m_out;
    QByteArray m_pending;
    int m_pendingCodePage = CodePages::kFallback;
};

bool looksLikeRtf(const QByteArray& data)
{
    qsizetype i = 0;
    while (i < data.size() &&
           (data.at(i) == ' ' || data.at(i) == '\r' || data.at(i) == '\n' || data.at(i) == '\t'))
        ++i;
    return data.mid(i, 5) == "{\\rtf";
}

} // namespace

RtfDeEncapsulator::Result RtfDeEncapsulator::convert(const QByteArray& rtf, int fallbackCodePage)
{
    if (!looksLikeRtf(rtf))
        return {};
    return Converter(rtf, fallbackCodePage).run();
}

} // namespace eml
