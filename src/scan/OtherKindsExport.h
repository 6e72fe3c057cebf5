#pragma once

#include <QString>

namespace store {
class Item;
} // namespace store

namespace scan {

struct ExportHandle;

// The exports of tasks, notes and journal entries: each reads what the item list and the preview
// show of its item (and its text, unless the scan skips bodies) into a record of its kind attached
// to the current folder node, whose label counts the folder's items of that kind. They write no
// file and walk no attachments. 1, or -1 when the handle is missing or the scan was aborted.
int export_handle_export_task(ExportHandle* handle, const store::Item& task, QString* error);
int export_handle_export_note(ExportHandle* handle, const store::Item& note, QString* error);
int export_handle_export_journal_entry(ExportHandle* handle, const store::Item& entry, QString* error);

} // namespace scan
