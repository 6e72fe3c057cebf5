#include "TextBlob.h"

namespace catalog {

void TextBlobWriter::number(quint64 value)
{
    while (value >= 0x80) {
        m_bytes.append(static_cast<char>((value & 0x7f) | 0x80));
        value >>= 7;
    }
    m_bytes.append(static_cast<char>(value));
}

void TextBlobWriter::signedNumber(qint64 value)
{
    number((static_cast<quint64>(value) << 1) ^ static_cast<quint64>(value >> 63));
}

void TextBlobWriter::text(const std::optional<QString>& value)
{
    if (!value) {
        number(0);
        return;
    }
    const QByteArray utf8 = value->toUtf8();
    number(static_cast<quint64>(utf8.size()) + 1);
    m_bytes.append(utf8);
}

void TextBlobWriter::numbers(const QList<int>& values)
{
    number(static_cast<quint64>(values.size()));
    for (const int value : values)
        signedNumber(value);
}

quint64 TextBlobReader::number()
{
    quint64 value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        if (m_position >= m_bytes.size()) {
            m_ok = false;
            return 0;
        }
        const auto byte = static_cast<unsigned char>(m_bytes[m_position++]);
        value |= static_cast<quint64>(byte & 0x7f) << shift;
        if (!(byte & 0x80))
            return value;
    }
    m_ok = false;
    return 0;
}

qint64 TextBlobReader::signedNumber()
{
    const quint64 raw = number();
    return static_cast<qint64>(raw >> 1) ^ -static_cast<qint64>(raw & 1);
}

std::optional<QString> TextBlobReader::text()
{
    const quint64 length = number();
    if (!m_ok || length == 0)
        return std::nullopt;
    const quint64 size = length - 1;
    if (size > static_cast<quint64>(m_bytes.size() - m_position)) {
        m_ok = false;
        return std::nullopt;
    }
    const QString value =
        QString::fromUtf8(m_bytes.constData() + m_position, static_cast<qsizetype>(size));
    m_position += static_cast<qsizetype>(size);
    return value;
}

QList<int> TextBlobReader::numbers()
{
    const quint64 count = number();
    QList<int> values;
    // Each number takes at least a byte: a count beyond what is left is damage.
    if (!m_ok || count > static_cast<quint64>(m_bytes.size() - m_position)) {
        m_ok = false;
        return values;
    }
    values.reserve(static_cast<qsizetype>(count));
    for (quint64 i = 0; i < count && m_ok; ++i)
        values.append(static_cast<int>(signedNumber()));
    return values;
}

} // namespace catalog
