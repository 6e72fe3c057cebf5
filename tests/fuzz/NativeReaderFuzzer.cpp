// libFuzzer target for the native store reader: the whole walk of FuzzWalk.h.
#include "FuzzWalk.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return fuzz::fuzzStore(data, size, store::ReaderKind::Native);
}
