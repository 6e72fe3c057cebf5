#pragma once

#include <QString>
#include <memory>

class QFile;

namespace scan {

// The export engine's log: an open log file, or none, in which case lines are dropped.
struct LogHandle
{
    LogHandle();
    ~LogHandle();
    std::unique_ptr<QFile> file;
};

int log_handle_initialize(LogHandle** handle, QString* error);
// With an empty file name nothing is opened and the call succeeds; otherwise the file is opened
// for appending text.
int log_handle_open(LogHandle* handle, const QString& fileName, QString* error);
// 0 when the file was closed or none was open; -1 when closing failed.
int log_handle_close(LogHandle* handle, QString* error);
int log_handle_free(LogHandle** handle, QString* error);
// Writes one line to the open file; dropped when none is open.
void log_handle_printf(LogHandle* handle, const QString& line);

} // namespace scan
