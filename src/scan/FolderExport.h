#pragma once

#include <QString>

namespace store {
class Item;
} // namespace store

namespace scan {

struct ExportHandle;
struct LogHandle;

// Exports one folder: its node under its parent folder's node, its folder record, then its sub
// folders and then its messages. 1, or -1 when the folder could not be placed or the walk was
// aborted.
int export_handle_export_folder(ExportHandle* handle, const store::Item& folder, int folderIndex,
                                const QString& exportPath, char bodyFormat, LogHandle* log, QString* error);
int export_handle_export_sub_folders(ExportHandle* handle, const store::Item& folder,
                                     const QString& exportPath, char bodyFormat, LogHandle* log,
                                     QString* error);
int export_handle_export_sub_messages(ExportHandle* handle, const store::Item& folder,
                                      const QString& exportPath, char bodyFormat, LogHandle* log,
                                      QString* error);

// The name of a folder without a usable display name: "Folder" and the index plus one in at
// least five digits.
QString fallbackFolderName(int folderIndex);

} // namespace scan
