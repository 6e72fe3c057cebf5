#pragma once

#include <glib-object.h>
#include <memory>

namespace eml {

// Initialises GMime once per process, from whichever thread writes the first message.
void ensureGMimeInitialized();

// Owns one GObject reference (GMime objects, streams, data wrappers) and drops it on destruction.
struct GObjectUnref
{
    void operator()(void* object) const
    {
        if (object)
            g_object_unref(object);
    }
};

template <typename T> using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

// Takes over the reference that a GMime constructor returns.
template <typename T> GObjectPtr<T> adopt(T* object)
{
    return GObjectPtr<T>(object);
}

} // namespace eml
