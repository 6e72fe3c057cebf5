#pragma once

#include <QString>

namespace store {
class Item;
class Store;
} // namespace store

namespace scan {

struct ExportHandle;
struct LogHandle;

// The export walk: every item below the store's root folder, in store order, handed to the
// export of its kind. A damaged item is reported and passed; only a root folder that cannot be
// read or enumerated, or the abort flag, ends the walk with -1.

// The whole walk. -1 at once (clearing the flag) when the abort flag is already set.
int export_handle_export_file(ExportHandle* handle, const store::Store& store, const QString& exportPath,
                              int exportPathSize, char bodyFormat, LogHandle* log, QString* error);
int export_handle_export_items(ExportHandle* handle, const store::Store& store, const QString& exportPath,
                               char bodyFormat, LogHandle* log, QString* error);
int export_handle_export_sub_items(ExportHandle* handle, const store::Item& parent, const QString& exportPath,
                                   char bodyFormat, LogHandle* log, QString* error);
// Dispatch by kind. Always 1: what happened to the item goes to the report.
int export_handle_export_item(ExportHandle* handle, const store::Item& item, int itemIndex, int numberOfItems,
                              const QString& exportPath, char bodyFormat, LogHandle* log, QString* error);

// The export root every target path below it starts with.
QString exportRoot();
// An export path's part below the export root ("\A\B" for ".export\A\B"); other paths unchanged.
QString pathBelowExportRoot(const QString& exportPath);
// The last component of an export path (after its last "\" or "/").
QString lastPathComponent(const QString& exportPath);

} // namespace scan
