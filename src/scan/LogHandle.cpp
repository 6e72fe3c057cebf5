#include "LogHandle.h"

#include "HandleLifecycle.h"

#include <QFile>

namespace scan {

LogHandle::LogHandle() = default;
LogHandle::~LogHandle() = default;

int log_handle_initialize(LogHandle** handle, QString* error)
{
    return initializeHandle(handle, error, "log handle");
}

int log_handle_open(LogHandle* handle, const QString& fileName, QString* error)
{
    if (!handle) {
        if (error)
            *error = QStringLiteral("invalid log handle");
        return -1;
    }
    if (fileName.isEmpty())
        return 1;
    auto file = std::make_unique<QFile>(fileName);
    if (!file->open(QIODevice::Append | QIODevice::Text)) {
        if (error)
            *error = file->errorString();
        return -1;
    }
    handle->file = std::move(file);
    return 1;
}

int log_handle_close(LogHandle* handle, QString* error)
{
    if (!handle) {
        if (error)
            *error = QStringLiteral("invalid log handle");
        return -1;
    }
    if (!handle->file)
        return 0;
    const bool flushed = handle->file->flush();
    handle->file->close();
    handle->file.reset();
    if (!flushed) {
        if (error)
            *error = QStringLiteral("unable to close log file");
        return -1;
    }
    return 0;
}

int log_handle_free(LogHandle** handle, QString* error)
{
    return freeHandle(handle, error, "log handle");
}

void log_handle_printf(LogHandle* handle, const QString& line)
{
    if (!handle || !handle->file)
        return;
    handle->file->write(line.toUtf8());
}

} // namespace scan
