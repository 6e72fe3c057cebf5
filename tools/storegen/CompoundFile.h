#pragma once

#include <QByteArray>
#include <QString>
#include <QUuid>
#include <utility>
#include <vector>

namespace storegen {

// Writes a compound file (version 3, 512-byte sectors): a root storage of the given class with
// the given streams, small ones in the mini stream as the format requires. This is what an OLE
// attachment's object holds.
QByteArray compoundFile(const QUuid& rootClass, const std::vector<std::pair<QString, QByteArray>>& streams);

// The compound file Outlook stores for a picture pasted into a mail: a static device-independent
// bitmap ("Picture (Device Independent Bitmap)"), its class stream and, in CONTENTS, the picture
// as an OLE presentation of the DIB: a width x height bitmap of 24-bit pixels of one colour.
QByteArray staticDibObject(int width, int height, std::uint32_t rgb);

} // namespace storegen
