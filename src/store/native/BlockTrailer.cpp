#include "BlockTrailer.h"

#include "Bytes.h"

namespace store::native {

BlockTrailer BlockTrailer::read(const Layout& layout, const char* trailer)
{
    BlockTrailer t;
    t.size = get16(trailer);
    t.signature = get16(trailer + 2);
    if (layout.isAnsi()) {
        t.bid = get32(trailer + 4);
        t.crc = get32(trailer + 8);
    } else {
        t.crc = get32(trailer + 4);
        t.bid = get64(trailer + 8);
    }
    t.inflated = layout.is4k() ? get16(trailer + 18) : t.size;
    return t;
}

} // namespace store::native
