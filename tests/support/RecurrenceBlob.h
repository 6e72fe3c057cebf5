#pragma once

#include <QByteArray>
#include <cstdint>

namespace support {

// Little-endian values written one after the other, as the recurrence blobs hold them.
class RecurrenceBlob
{
public:
    RecurrenceBlob& u16(std::uint16_t value);
    RecurrenceBlob& u32(std::uint32_t value);
    // A date (and minutes after its midnight) in minutes since 1601-01-01.
    RecurrenceBlob& date(int year, int month, int day, int minutes = 0);
    const QByteArray& data() const { return m_data; }

private:
    QByteArray m_data;
};

// A weekly series on Monday and Wednesday from 2024-03-25, six times, 09:00-10:00, with the
// instance of 3 April deleted and that of 8 April moved to 9 April 10:00-11:30 with a new subject
// ("Moved" in 8 bits, "Mü" in the wide-character copy).
QByteArray weeklySeriesWithException();

} // namespace support
