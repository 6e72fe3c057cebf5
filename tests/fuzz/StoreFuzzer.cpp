// libFuzzer target for the store layer over libpff: the whole walk of FuzzWalk.h. libpff itself is
// the system library and not instrumented, so coverage guides through our wrapper only.
#include "FuzzWalk.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return fuzz::fuzzStore(data, size, store::ReaderKind::Libpff);
}
