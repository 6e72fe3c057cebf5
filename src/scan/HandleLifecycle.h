#pragma once

#include <QString>
#include <new>
#include <utility>

namespace scan {

// The life cycle the export engine's handles share: created through an out-pointer (1 at once when
// one is there already, -1 when the pointer is missing or memory runs out) and released by a free
// that sets the pointer to none. Engine-internal.
template <typename Handle, typename... Arguments>
int initializeHandle(Handle** handle, QString* error, const char* what, Arguments&&... arguments)
{
    if (!handle) {
        if (error)
            *error = QStringLiteral("invalid %1").arg(QLatin1String(what));
        return -1;
    }
    if (*handle)
        return 1;
    *handle = new (std::nothrow) Handle(std::forward<Arguments>(arguments)...);
    if (!*handle) {
        if (error)
            *error = QStringLiteral("unable to create %1").arg(QLatin1String(what));
        return -1;
    }
    return 1;
}

template <typename Handle> int freeHandle(Handle** handle, QString* error, const char* what)
{
    if (!handle) {
        if (error)
            *error = QStringLiteral("invalid %1").arg(QLatin1String(what));
        return -1;
    }
    delete *handle;
    *handle = nullptr;
    return 1;
}

} // namespace scan
