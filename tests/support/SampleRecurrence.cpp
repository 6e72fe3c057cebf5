#include "SampleRecurrence.h"

namespace support {

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
    b.date(2024, 4, 9, 600).date(2024, 4, 9, 690).date(2024, 4, 8).u16(0x0001).narrowText("Moved");
    b.u32(0);
    b.u32(4).u32(0).u32(0).date(2024, 4, 9, 600).date(2024, 4, 9, 690).date(2024, 4, 8);
    b.wideText(QStringLiteral("Mü")).u32(0).u32(0);
    return b.data();
}

} // namespace support
