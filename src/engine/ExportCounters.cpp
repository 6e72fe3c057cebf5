#include "ExportCounters.h"

namespace engine {

ExportCounters& ExportCounters::processCounters()
{
    static ExportCounters counters;
    return counters;
}

} // namespace engine
