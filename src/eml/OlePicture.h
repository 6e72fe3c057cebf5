#pragma once

#include <QByteArray>
#include <optional>

namespace eml {

// The picture an OLE object shows, as a file that mail programs display: a device-independent
// bitmap found in the object's compound file (its presentation streams "\2OlePres000" and
// onwards, its CONTENTS, or the native data of a Paintbrush object) becomes a BMP file. None
// when the object holds no such bitmap or it is damaged.
std::optional<QByteArray> olePictureAsBmp(const QByteArray& compoundFile);

// A BMP file of a device-independent bitmap (its header, colour table and pixels, as the
// clipboard's CF_DIB has it) at the start of dib; none when the header is not a sound one or the
// pixels are cut short.
std::optional<QByteArray> bmpFromDib(const QByteArray& dib);

} // namespace eml
