// libFuzzer target: an OLE object of arbitrary bytes goes through the compound-file reader and the
// picture extraction that the conversion applies to every object attachment. Anything but a
// result (a crash, a hang, a leak, undefined behaviour, a picture larger than its object) is a
// finding.

#include "eml/OlePicture.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray object(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    // A BMP file header is all a picture adds to the bitmap it takes from the object.
    if (const std::optional<QByteArray> picture = eml::olePictureAsBmp(object);
        picture && picture->size() > object.size() + 14)
        std::abort();
    if (const std::optional<QByteArray> picture = eml::bmpFromDib(object);
        picture && picture->size() > object.size() + 14)
        std::abort();
    return 0;
}
