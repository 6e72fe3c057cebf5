#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace store {
class Item;
} // namespace store

namespace scan {

struct ExportHandle;
struct LogHandle;

// The contact export: the contact's texts into the 67 slots of a contact record attached to the
// current folder node, whose label counts the folder's contacts. 1 when appended, else -1.
int export_handle_export_contact(ExportHandle* handle, const store::Item& contact, int itemIndex,
                                 const QString& exportPath, char bodyFormat, LogHandle* log, int kindCode,
                                 QString* error);

// The MAPI property read into a contact slot (1..67), or none for the slots without one.
std::optional<std::uint32_t> contactSlotProperty(int slot);

} // namespace scan
