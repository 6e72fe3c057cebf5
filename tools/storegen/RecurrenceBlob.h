#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace storegen {

// Little-endian values written one after the other, as the recurrence blobs of appointments and
// tasks hold them.
class RecurrenceBlob
{
public:
    RecurrenceBlob& u16(std::uint16_t value);
    RecurrenceBlob& u32(std::uint32_t value);
    // A date (and minutes after its midnight) in minutes since 1601-01-01.
    RecurrenceBlob& date(int year, int month, int day, int minutes = 0);
    // Text as the blob's 8-bit and wide copies of an exception's subject and location hold it:
    // the 8-bit one with its length + 1 and length, the wide one with its length in characters.
    RecurrenceBlob& narrowText(const QByteArray& text);
    RecurrenceBlob& wideText(const QString& text);
    const QByteArray& data() const { return m_data; }

private:
    QByteArray m_data;
};

} // namespace storegen
