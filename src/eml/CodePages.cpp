#include "eml/CodePages.h"

#include <QStringDecoder>
#include <array>
#include <utility>

namespace eml {

namespace {

struct NamedCodePage
{
    int codePage;
    const char* name;
};

constexpr std::array kNamedCodePages{
    NamedCodePage{437, "IBM437"},        NamedCodePage{850, "IBM850"},
    NamedCodePage{852, "IBM852"},        NamedCodePage{866, "IBM866"},
    NamedCodePage{874, "windows-874"},   NamedCodePage{932, "Shift_JIS"},
    NamedCodePage{936, "GBK"},           NamedCodePage{949, "EUC-KR"},
    NamedCodePage{950, "Big5"},          NamedCodePage{1250, "windows-1250"},
    NamedCodePage{1251, "windows-1251"}, NamedCodePage{1252, "windows-1252"},
    NamedCodePage{1253, "windows-1253"}, NamedCodePage{1254, "windows-1254"},
    NamedCodePage{1255, "windows-1255"}, NamedCodePage{1256, "windows-1256"},
    NamedCodePage{1257, "windows-1257"}, NamedCodePage{1258, "windows-1258"},
    NamedCodePage{10000, "macintosh"},   NamedCodePage{20127, "US-ASCII"},
    NamedCodePage{20866, "KOI8-R"},      NamedCodePage{21866, "KOI8-U"},
    NamedCodePage{28591, "ISO-8859-1"},  NamedCodePage{28592, "ISO-8859-2"},
    NamedCodePage{28593, "ISO-8859-3"},  NamedCodePage{28594, "ISO-8859-4"},
    NamedCodePage{28595, "ISO-8859-5"},  NamedCodePage{28596, "ISO-8859-6"},
    NamedCodePage{28597, "ISO-8859-7"},  NamedCodePage{28598, "ISO-8859-8"},
    NamedCodePage{28599, "ISO-8859-9"},  NamedCodePage{28603, "ISO-8859-13"},
    NamedCodePage{28605, "ISO-8859-15"}, NamedCodePage{50220, "ISO-2022-JP"},
    NamedCodePage{51932, "EUC-JP"},      NamedCodePage{54936, "GB18030"},
    NamedCodePage{65001, "UTF-8"},
};

// RTF \fcharset values (the Windows character sets) and their code pages.
constexpr std::array kRtfCharsets{
    std::pair{77, 10000}, std::pair{128, 932},  std::pair{129, 949},  std::pair{130, 1361},
    std::pair{134, 936},  std::pair{136, 950},  std::pair{161, 1253}, std::pair{162, 1254},
    std::pair{163, 1258}, std::pair{177, 1255}, std::pair{178, 1256}, std::pair{186, 1257},
    std::pair{204, 1251}, std::pair{222, 874},  std::pair{238, 1250}, std::pair{254, 437},
    std::pair{255, 850},
};

} // namespace

QByteArray CodePages::name(int codePage)
{
    for (const NamedCodePage& entry : kNamedCodePages) {
        if (entry.codePage == codePage)
            return QByteArray(entry.name);
    }
    return {};
}

bool CodePages::canDecode(int codePage)
{
    const QByteArray encoding = name(codePage);
    return !encoding.isEmpty() && QStringDecoder(encoding.constData()).isValid();
}

QStringDecoder CodePages::decoder(int codePage)
{
    const QByteArray encoding = name(codePage);
    if (!encoding.isEmpty()) {
        QStringDecoder named(encoding.constData());
        if (named.isValid())
            return named;
    }
    return QStringDecoder("windows-1252");
}

QString CodePages::decodeAll(QStringDecoder& decoder, const QByteArray& bytes)
{
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    decoder.resetState();
    // The ICU decoders keep an incomplete sequence for the next call whatever the flags say; a
    // line feed after the bytes ends any sequence (it is never a trail byte), and is taken off.
    QString text = decoder.decode(bytes + '\n');
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    decoder.resetState();
    // ICU's multi-byte decoders substitute U+001A for bytes they cannot map; a text shows
    // U+FFFD for that, unless the input really held a 0x1A control byte.
    if (!bytes.contains('\x1a'))
        text.replace(QChar(0x1A), QChar::ReplacementCharacter);
    return text;
}

QString CodePages::decode(const QByteArray& bytes, int codePage)
{
    QStringDecoder byName = decoder(codePage);
    return decodeAll(byName, bytes);
}

int CodePages::fromRtfCharset(int charset)
{
    for (const auto& [rtfCharset, codePage] : kRtfCharsets) {
        if (rtfCharset == charset)
            return codePage;
    }
    return 0;
}

} // namespace eml
