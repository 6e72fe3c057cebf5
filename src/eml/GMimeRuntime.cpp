#include "eml/GMimeRuntime.h"

#include <gmime/gmime.h>
#include <mutex>

namespace eml {

void ensureGMimeInitialized()
{
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

} // namespace eml
