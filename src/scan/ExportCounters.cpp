#include "ExportCounters.h"

namespace scan {

ExportCounters& ExportCounters::processCounters()
{
    static ExportCounters counters;
    return counters;
}

} // namespace scan
