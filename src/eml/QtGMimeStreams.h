#pragma once

#include "eml/GMimeRuntime.h"

#include <QByteArray>

class QIODevice;

namespace eml {

// GMime streams over Qt types, so that attachment bytes are not copied into GMime and output goes
// straight to its device. Both are returned as the GObject of a GMimeStream (GMIME_STREAM() casts
// them). The stream belongs to the thread that made it.
class QtGMimeStreams
{
public:
    // Reads the bytes of a QByteArray (shared, not copied); seekable, with substreams.
    static GObjectPtr<GObject> reader(const QByteArray& data);
    // Writes to an open device; the device must outlive the stream.
    static GObjectPtr<GObject> writer(QIODevice& device);
    // Whether a writer's device refused bytes.
    static bool writeFailed(GObject* writer);
    // The last bytes a writer wrote (up to two), to see how the output ends.
    static QByteArray writtenTail(GObject* writer);
};

} // namespace eml
