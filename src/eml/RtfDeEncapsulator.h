#pragma once

#include <QByteArray>
#include <QString>

namespace eml {

// Recovers a readable body from an RTF body (already decompressed). RTF that encapsulates HTML
// (\fromhtml1) or plain text (\fromtext) gives back that original; any other RTF is reduced to
// its plain text. Text is decoded with the document's code pages (\ansicpg, the fonts'
// \fcharset and \cpg) and its Unicode escapes (\uN with \ucN). Input is untrusted: malformed RTF
// never reads past the end, and the output never grows beyond a small multiple of the input.
class RtfDeEncapsulator
{
public:
    enum class Origin
    {
        // Not RTF at all (no "{\rtf" at the start).
        NotRtf,
        Html,
        EncapsulatedText,
        // Ordinary RTF, converted to plain text.
        Rtf,
    };

    struct Result
    {
        Origin origin = Origin::NotRtf;
        QString text;
    };

    // fallbackCodePage applies when the document names no code page; 0 means Windows-1252.
    static Result convert(const QByteArray& rtf, int fallbackCodePage = 0);
};

} // namespace eml
