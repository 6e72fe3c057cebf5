#pragma once

#include "RecurrenceBlob.h" // the writer, from storegen

#include <QByteArray>

namespace support {

using storegen::RecurrenceBlob;

// A weekly series on Monday and Wednesday from 2024-03-25, six times, 09:00-10:00, with the
// instance of 3 April deleted and that of 8 April moved to 9 April 10:00-11:30 with a new subject
// ("Moved" in 8 bits, "Mü" in the wide-character copy).
QByteArray weeklySeriesWithException();

} // namespace support
