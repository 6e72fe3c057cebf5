#pragma once

#include <QString>

namespace store {
class Item;
} // namespace store

namespace scan {

struct ExportHandle;
struct LogHandle;

// The appointment export: start, end, location and recurrence into an appointment record
// attached to the current folder node, whose label counts the folder's appointments; the
// appointment's attachments are walked (embedded items get their records). 1 or -1.
int export_handle_export_appointment(ExportHandle* handle, const store::Item& appointment, int itemIndex,
                                     const QString& exportPath, char bodyFormat, LogHandle* log, int kindCode,
                                     QString* error);

// Location and recurrence texts are kept up to these many UTF-8 bytes, cut on a character.
inline constexpr int MaximumLocationBytes = 511;
inline constexpr int MaximumRecurrenceBytes = 259;

} // namespace scan
