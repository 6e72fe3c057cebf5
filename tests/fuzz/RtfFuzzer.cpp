// libFuzzer target: an RTF body of arbitrary bytes goes through the de-encapsulation that the
// conversion applies to every RTF-only mail. The first byte picks the fallback code page. Anything
// but a result (a crash, a hang, a leak, undefined behaviour, text longer than the input) is a
// finding.

#include "eml/RtfDeEncapsulator.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    static const int kCodePages[] = {0, 1250, 1251, 1252, 1253, 1255, 1256, 874, 932, 936, 949, 950, 65001};
    const int codePage = kCodePages[data[0] % (sizeof(kCodePages) / sizeof(kCodePages[0]))];
    const QByteArray rtf(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    const eml::RtfDeEncapsulator::Result result = eml::RtfDeEncapsulator::convert(rtf, codePage);
    if (result.text.size() > rtf.size())
        std::abort();
    return 0;
}
