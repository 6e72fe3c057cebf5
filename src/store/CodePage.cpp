#include "CodePage.h"

#include <QStringDecoder>

namespace store {

std::optional<QByteArray> codePageName(int codePage)
{
    switch (codePage) {
    case 437:
        return QByteArrayLiteral("IBM437");
    case 850:
        return QByteArrayLiteral("IBM850");
    case 852:
        return QByteArrayLiteral("IBM852");
    case 866:
        return QByteArrayLiteral("IBM866");
    case 874:
        return QByteArrayLiteral("windows-874");
    case 932:
        return QByteArrayLiteral("Shift_JIS");
    case 936:
        return QByteArrayLiteral("GBK");
    case 949:
        return QByteArrayLiteral("EUC-KR");
    case 950:
        return QByteArrayLiteral("Big5");
    case 1200:
        return QByteArrayLiteral("UTF-16LE");
    case 1201:
        return QByteArrayLiteral("UTF-16BE");
    case 1250:
        return QByteArrayLiteral("windows-1250");
    case 1251:
        return QByteArrayLiteral("windows-1251");
    case 1252:
        return QByteArrayLiteral("windows-1252");
    case 1253:
        return QByteArrayLiteral("windows-1253");
    case 1254:
        return QByteArrayLiteral("windows-1254");
    case 1255:
        return QByteArrayLiteral("windows-1255");
    case 1256:
        return QByteArrayLiteral("windows-1256");
    case 1257:
        return QByteArrayLiteral("windows-1257");
    case 1258:
        return QByteArrayLiteral("windows-1258");
    case 10000:
        return QByteArrayLiteral("macintosh");
    case 20127:
        return QByteArrayLiteral("US-ASCII");
    case 20866:
        return QByteArrayLiteral("KOI8-R");
    case 21866:
        return QByteArrayLiteral("KOI8-U");
    case 28591:
        return QByteArrayLiteral("ISO-8859-1");
    case 28592:
        return QByteArrayLiteral("ISO-8859-2");
    case 28593:
        return QByteArrayLiteral("ISO-8859-3");
    case 28594:
        return QByteArrayLiteral("ISO-8859-4");
    case 28595:
        return QByteArrayLiteral("ISO-8859-5");
    case 28596:
        return QByteArrayLiteral("ISO-8859-6");
    case 28597:
        return QByteArrayLiteral("ISO-8859-7");
    case 28598:
        return QByteArrayLiteral("ISO-8859-8");
    case 28599:
        return QByteArrayLiteral("ISO-8859-9");
    case 28603:
        return QByteArrayLiteral("ISO-8859-13");
    case 28605:
        return QByteArrayLiteral("ISO-8859-15");
    case 50220:
    case 50221:
    case 50222:
        return QByteArrayLiteral("ISO-2022-JP");
    case 51932:
        return QByteArrayLiteral("EUC-JP");
    case 51949:
        return QByteArrayLiteral("EUC-KR");
    case 52936:
        return QByteArrayLiteral("HZ-GB-2312");
    case 54936:
        return QByteArrayLiteral("GB18030");
    case 65000:
        return QByteArrayLiteral("UTF-7");
    case 65001:
        return QByteArrayLiteral("UTF-8");
    default:
        return std::nullopt;
    }
}

int windowsCodePage(int codePage)
{
    switch (codePage) {
    case 20932: // JIS X 0208 with EUC
    case 50220: // ISO-2022-JP
    case 50221: // ISO-2022-JP with half-width katakana
    case 50222: // ISO-2022-JP, JIS X 0201-1989
    case 51932: // EUC-JP
        return 932;
    case 20936: // GB2312 (simplified Chinese)
    case 50227: // ISO-2022 simplified Chinese
    case 51936: // EUC-CN
    case 52936: // HZ-GB-2312
    case 54936: // GB18030
        return 936;
    case 20949: // Korean Wansung
    case 50225: // ISO-2022-KR
    case 51949: // EUC-KR
        return 949;
    case 20000: // CNS Taiwan
    case 50229: // ISO-2022 traditional Chinese
    case 51950: // EUC-TW
        return 950;
    case 28592: // ISO-8859-2
        return 1250;
    case 20866: // KOI8-R
    case 21866: // KOI8-U
    case 28595: // ISO-8859-5
        return 1251;
    case 28591: // ISO-8859-1
    case 28605: // ISO-8859-15
        return 1252;
    case 28597: // ISO-8859-7
        return 1253;
    case 28599: // ISO-8859-9
        return 1254;
    case 28598: // ISO-8859-8, visual order
    case 38598: // ISO-8859-8, logical order
        return 1255;
    case 28596: // ISO-8859-6
        return 1256;
    case 28594: // ISO-8859-4
    case 28603: // ISO-8859-13
        return 1257;
    default:
        return codePage;
    }
}

QString decodeCodePage(const QByteArray& bytes, int codePage)
{
    if (const std::optional<QByteArray> name = codePageName(codePage)) {
        QStringDecoder decoder(name->constData());
        if (decoder.isValid())
            return decoder.decode(bytes);
    }
    QStringDecoder fallback("windows-1252");
    if (fallback.isValid())
        return fallback.decode(bytes);
    return QString::fromLatin1(bytes);
}

} // namespace store
