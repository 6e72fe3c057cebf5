#include "CodePageEncoder.h"

#include <stdexcept>

namespace storegen {

namespace {

std::optional<QByteArray> knownName(std::uint32_t codePage)
{
    // Windows numbers whose IANA name is not "windows-N".
    static const std::pair<std::uint32_t, const char*> names[] = {
        {437, "IBM437"},       {850, "IBM850"},        {852, "IBM852"},        {866, "IBM866"},
        {932, "Shift_JIS"},    {936, "GBK"},           {949, "EUC-KR"},        {950, "Big5"},
        {10000, "macintosh"},  {20127, "US-ASCII"},    {20866, "KOI8-R"},      {21866, "KOI8-U"},
        {28591, "ISO-8859-1"}, {28592, "ISO-8859-2"},  {28593, "ISO-8859-3"},  {28594, "ISO-8859-4"},
        {28595, "ISO-8859-5"}, {28596, "ISO-8859-6"},  {28597, "ISO-8859-7"},  {28598, "ISO-8859-8"},
        {28599, "ISO-8859-9"}, {28603, "ISO-8859-13"}, {28605, "ISO-8859-15"}, {51932, "EUC-JP"},
        {51949, "EUC-KR"},     {54936, "GB18030"},     {65001, "UTF-8"},
    };
    for (const auto& [number, name] : names) {
        if (number == codePage)
            return QByteArray(name);
    }
    return std::nullopt;
}

} // namespace

std::optional<QByteArray> CodePageEncoder::nameOf(std::uint32_t codePage)
{
    // UTF-16 in its two byte orders is no 8-bit encoding.
    if (codePage == 1200 || codePage == 1201)
        return std::nullopt;
    const QByteArray name = knownName(codePage).value_or("windows-" + QByteArray::number(codePage));
    if (!QStringEncoder(name.constData()).isValid())
        return std::nullopt;
    return name;
}

CodePageEncoder::CodePageEncoder(std::uint32_t codePage)
{
    const std::optional<QByteArray> name = nameOf(codePage);
    if (!name)
        throw std::runtime_error(
            QStringLiteral("code page %1 is not one this system can encode").arg(codePage).toStdString());
    m_name = *name;
    m_encoder.emplace(m_name.constData());
}

QByteArray CodePageEncoder::encode(QStringView text)
{
    m_encoder->resetState();
    QByteArray whole = m_encoder->encode(text);
    if (!m_encoder->hasError())
        return whole;
    // Qt's converters substitute unencodable characters with bytes of their own choosing (0x1A,
    // 0x7F, 0xFCFC, ...), so such a text is encoded one character at a time. An encoder's error
    // stays set, so every character gets a fresh one, and the text's encoder is replaced.
    m_encoder.emplace(m_name.constData());
    QByteArray out;
    out.reserve(whole.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        auto known = m_characters.constFind(c);
        if (known == m_characters.constEnd()) {
            QStringEncoder one(m_name.constData());
            QByteArray bytes = one.encode(QString::fromUcs4(&c, 1));
            if (one.hasError())
                bytes = QByteArrayLiteral("?");
            known = m_characters.insert(c, bytes);
        }
        out.append(*known);
    }
    return out;
}

} // namespace storegen
