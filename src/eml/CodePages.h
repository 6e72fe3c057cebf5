#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

namespace eml {

// Windows code pages for RTF text: \ansicpgN, \cpgN and the code pages implied by \fcharsetN.
// Decoding goes through ICU by the code page's IANA name; a code page this system cannot decode
// falls back to Windows-1252, so no byte is dropped.
class CodePages
{
public:
    static constexpr int kFallback = 1252;

    // The IANA name of a code page ("windows-1251", "Shift_JIS"), or empty when unknown.
    static QByteArray name(int codePage);
    static bool canDecode(int codePage);
    static QString decode(const QByteArray& bytes, int codePage);
    // A decoder for the code page, or for Windows-1252 when it has none; making one costs a
    // converter lookup, so callers that decode often keep theirs.
    static QStringDecoder decoder(int codePage);
    // Decodes bytes as a whole: a sequence cut off at the end gives a replacement character
    // rather than staying behind in the decoder.
    static QString decodeAll(QStringDecoder& decoder, const QByteArray& bytes);
    // The code page of an RTF font character set (\fcharset204 -> 1251); 0 when there is none
    // (the symbol character set, or the default ANSI set that follows \ansicpg).
    static int fromRtfCharset(int charset);
};

} // namespace eml
