#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>
#include <memory>

class QFile;

namespace scan {

struct ExportHandle;
struct LogHandle;

// The export engine's file-system helpers: target paths, file-name cleaning, directories and
// item files. Target paths below the export root join with "\" and only name things; paths that
// are created on disk (the attachments directory and what lies in it) join with "/".

inline constexpr QChar TargetPathSeparator = QLatin1Char('\\');
inline constexpr QChar DiskPathSeparator = QLatin1Char('/');

// Composes base + separator + cleaned name. Sizes count a terminating zero: baseSize is the
// base's length + 1 (a base passed with its length loses its last character to the separator),
// nameSize the UTF-8 name's byte count + 1. *target must be null on entry. Returns 1 or -1.
int export_handle_create_target_path(ExportHandle* handle, const QString& basePath, int baseSize,
                                     const QByteArray& nameUtf8, int nameSize, QString* target,
                                     int* targetSize, QString* error, QChar separator = TargetPathSeparator);

// Replaces in place by "_" the control characters 1 to 31 and ! " $ % & ' * + / : ; < > ? @ \ ` ~.
// Returns 1, or -1 for a missing string or a negative count.
int export_handle_sanitize_filename(ExportHandle* handle, QChar* characters, qsizetype count, QString* error);
// The same over a whole string.
QString sanitizedFileName(const QString& name);

// Creates one directory (and its missing parents); an existing directory is fine. Returns 1, or -1
// for a missing path.
int export_handle_make_directory(ExportHandle* handle, const QString& directoryPath, LogHandle* log,
                                 QString* error);

// Opens a new file `name` in the existing directory basePath: 1 when created, 0 when a file of
// that name exists already (it is never overwritten), -1 when it cannot be made (also when the
// directory does not exist).
int export_handle_create_text_item_file(ExportHandle* handle, const QByteArray& nameUtf8, int nameSize,
                                        const QString& basePath, int baseSize, std::unique_ptr<QFile>* file,
                                        QString* error);
int export_handle_create_binary_item_file(ExportHandle* handle, const QByteArray& nameUtf8, int nameSize,
                                          const QString& basePath, int baseSize, std::unique_ptr<QFile>* file,
                                          QString* error);

// Whether a path exists: also true for a link, even a dangling one, and for an entry that cannot
// be inspected.
bool pathExists(const QString& path);

// Deletes a directory with everything in it; true when the directory itself was removed. Links
// inside are removed, never followed.
bool removeDirectoryTree(const QString& path);

} // namespace scan
