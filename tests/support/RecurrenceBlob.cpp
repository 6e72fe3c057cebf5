#include "RecurrenceBlob.h"

#include <QDate>
#include <QtEndian>

namespace support {

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

QByteArray weeklySeriesWithException()
{
    RecurrenceBlob b;
    b.u16(0x3004).u16(0x3004).u16(0x200B).u16(0x0001).u16(0).u32(0).u32(1).u32(0);
    b.u32(0b0001010);            // Monday, Wednesday
    b.u32(0x2022).u32(6).u32(1); // six instances, weeks start on Monday
    b.u32(2).date(2024, 4, 3).date(2024, 4, 8);
    b.u32(1).date(2024, 4, 9);
    b.date(2024, 3, 25).date(2024, 4, 10);
    b.u32(0x3006).u32(0x3009).u32(540).u32(600).u16(1);
    b.date(2024, 4, 9, 600).date(2024, 4, 9, 690).date(2024, 4, 8).u16(0x0001).u16(6).u16(5);
    QByteArray data = b.data() + QByteArray("Moved");
    RecurrenceBlob extended;
    extended.u32(0).u32(4).u32(0).u32(0).date(2024, 4, 9, 600).date(2024, 4, 9, 690).date(2024, 4, 8);
    extended.u16(2).u16(u'M').u16(0x00FC).u32(0).u32(0);
    return data + extended.data();
}

} // namespace support
