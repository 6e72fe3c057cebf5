#pragma once

#include <QImage>
#include <QList>
#include <QString>

namespace artwork {

// Writes 8-bit images as a GIF (animated when there is more than one frame), with LZW
// compression. Qt reads GIF but cannot write it.
class GifWriter
{
public:
    // `frames` are converted to the palette's colours; `delayCs` is each frame's time in
    // hundredths of a second. Returns false when the file cannot be written.
    static bool write(const QString& path, const QList<QImage>& frames, const QList<QRgb>& palette,
                      int delayCs);
};

} // namespace artwork
