#include "RecurrenceBlob.h"

#include <QDate>
#include <QtEndian>

namespace storegen {

RecurrenceBlob& RecurrenceBlob::u16(std::uint16_t value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    m_data.append(bytes, 2);
    return *this;
}

RecurrenceBlob& RecurrenceBlob::u32(std::uint32_t value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    m_data.append(bytes, 4);
    return *this;
}

RecurrenceBlob& RecurrenceBlob::date(int year, int month, int day, int minutes)
{
    const qint64 days = QDate(1601, 1, 1).daysTo(QDate(year, month, day));
    return u32(static_cast<std::uint32_t>(days * 1440 + minutes));
}

RecurrenceBlob& RecurrenceBlob::narrowText(const QByteArray& text)
{
    u16(static_cast<std::uint16_t>(text.size() + 1)).u16(static_cast<std::uint16_t>(text.size()));
    m_data.append(text);
    return *this;
}

RecurrenceBlob& RecurrenceBlob::wideText(const QString& text)
{
    u16(static_cast<std::uint16_t>(text.size()));
    for (const QChar c : text)
        u16(c.unicode());
    return *this;
}

} // namespace storegen
