#include "eml/QtGMimeStreams.h"

#include <QIODevice>
#include <algorithm>
#include <cstring>
#include <gmime/gmime.h>

namespace eml {

namespace {

struct ByteArrayStream
{
    GMimeStream parent;
    QByteArray* data;
};

struct DeviceStream
{
    GMimeStream parent;
    QIODevice* device;
    bool failed;
    char tail[2];
    int tailSize;
};

GObjectClass* byteArrayParentClass = nullptr;

ByteArrayStream* asByteArrayStream(GMimeStream* stream)
{
    return reinterpret_cast<ByteArrayStream*>(stream);
}

DeviceStream* asDeviceStream(GMimeStream* stream)
{
    return reinterpret_cast<DeviceStream*>(stream);
}

// The end of a reader's window: its bound, or the end of the data when unbounded.
gint64 readerEnd(GMimeStream* stream)
{
    const auto size = static_cast<gint64>(asByteArrayStream(stream)->data->size());
    return stream->bound_end == -1 ? size : std::min(stream->bound_end, size);
}

ssize_t readerRead(GMimeStream* stream, char* buffer, size_t length)
{
    const gint64 available = readerEnd(stream) - stream->position;
    if (available <= 0)
        return 0;
    const auto count = static_cast<size_t>(std::min<gint64>(available, static_cast<gint64>(length)));
    std::memcpy(buffer, asByteArrayStream(stream)->data->constData() + stream->position, count);
    stream->position += static_cast<gint64>(count);
    return static_cast<ssize_t>(count);
}

ssize_t readerWrite(GMimeStream*, const char*, size_t)
{
    return -1;
}

int noOperation(GMimeStream*)
{
    return 0;
}

gboolean readerEndOfStream(GMimeStream* stream)
{
    return stream->position >= readerEnd(stream);
}

int readerReset(GMimeStream* stream)
{
    stream->position = stream->bound_start;
    return 0;
}

gint64 readerSeek(GMimeStream* stream, gint64 offset, GMimeSeekWhence whence)
{
    gint64 target = offset;
    if (whence == GMIME_STREAM_SEEK_CUR)
        target = stream->position + offset;
    else if (whence == GMIME_STREAM_SEEK_END)
        target = readerEnd(stream) + offset;
    else
        target = stream->bound_start + offset;
    if (target < stream->bound_start || target > readerEnd(stream))
        return -1;
    stream->position = target;
    return target;
}

gint64 readerTell(GMimeStream* stream)
{
    return stream->position;
}

gint64 readerLength(GMimeStream* stream)
{
    return readerEnd(stream) - stream->bound_start;
}

GType byteArrayStreamType();

GMimeStream* newReader(const QByteArray& data, gint64 start, gint64 end)
{
    auto* stream = static_cast<GMimeStream*>(g_object_new(byteArrayStreamType(), nullptr));
    asByteArrayStream(stream)->data = new QByteArray(data);
    g_mime_stream_construct(stream, start, end);
    return stream;
}

GMimeStream* readerSubstream(GMimeStream* stream, gint64 start, gint64 end)
{
    return newReader(*asByteArrayStream(stream)->data, start, end);
}

void readerFinalize(GObject* object)
{
    ByteArrayStream* stream = asByteArrayStream(reinterpret_cast<GMimeStream*>(object));
    delete stream->data;
    stream->data = nullptr;
    byteArrayParentClass->finalize(object);
}

void readerClassInit(gpointer klass, gpointer)
{
    byteArrayParentClass = static_cast<GObjectClass*>(g_type_class_peek_parent(klass));
    static_cast<GObjectClass*>(klass)->finalize = readerFinalize;
    auto* streamClass = static_cast<GMimeStreamClass*>(klass);
    streamClass->read = readerRead;
    streamClass->write = readerWrite;
    streamClass->flush = noOperation;
    streamClass->close = noOperation;
    streamClass->eos = readerEndOfStream;
    streamClass->reset = readerReset;
    streamClass->seek = readerSeek;
    streamClass->tell = readerTell;
    streamClass->length = readerLength;
    streamClass->substream = readerSubstream;
}

GType byteArrayStreamType()
{
    static const GType type = g_type_register_static_simple(
        GMIME_TYPE_STREAM, "Ost2EmlByteArrayStream", sizeof(GMimeStreamClass), readerClassInit,
        sizeof(ByteArrayStream), nullptr, static_cast<GTypeFlags>(0));
    return type;
}

ssize_t writerRead(GMimeStream*, char*, size_t)
{
    return -1;
}

ssize_t writerWrite(GMimeStream* stream, const char* buffer, size_t length)
{
    DeviceStream* self = asDeviceStream(stream);
    if (self->failed)
        return -1;
    if (length == 0)
        return 0;
    const qint64 written = self->device->write(buffer, static_cast<qint64>(length));
    if (written != static_cast<qint64>(length)) {
        self->failed = true;
        return -1;
    }
    if (length >= 2) {
        self->tail[0] = buffer[length - 2];
        self->tail[1] = buffer[length - 1];
        self->tailSize = 2;
    } else {
        self->tail[0] = self->tailSize > 0 ? self->tail[self->tailSize - 1] : '\0';
        self->tail[1] = buffer[0];
        self->tailSize = std::min(self->tailSize + 1, 2);
    }
    stream->position += static_cast<gint64>(length);
    return static_cast<ssize_t>(length);
}

gboolean writerEndOfStream(GMimeStream*)
{
    return TRUE;
}

int writerReset(GMimeStream*)
{
    return -1;
}

gint64 writerSeek(GMimeStream*, gint64, GMimeSeekWhence)
{
    return -1;
}

gint64 writerLength(GMimeStream*)
{
    return -1;
}

GMimeStream* writerSubstream(GMimeStream*, gint64, gint64)
{
    return nullptr;
}

void writerClassInit(gpointer klass, gpointer)
{
    auto* streamClass = static_cast<GMimeStreamClass*>(klass);
    streamClass->read = writerRead;
    streamClass->write = writerWrite;
    streamClass->flush = noOperation;
    streamClass->close = noOperation;
    streamClass->eos = writerEndOfStream;
    streamClass->reset = writerReset;
    streamClass->seek = writerSeek;
    streamClass->tell = readerTell;
    streamClass->length = writerLength;
    streamClass->substream = writerSubstream;
}

GType deviceStreamType()
{
    static const GType type = g_type_register_static_simple(
        GMIME_TYPE_STREAM, "Ost2EmlDeviceStream", sizeof(GMimeStreamClass), writerClassInit,
        sizeof(DeviceStream), nullptr, static_cast<GTypeFlags>(0));
    return type;
}

} // namespace

GObjectPtr<GObject> QtGMimeStreams::reader(const QByteArray& data)
{
    ensureGMimeInitialized();
    return GObjectPtr<GObject>(G_OBJECT(newReader(data, 0, -1)));
}

GObjectPtr<GObject> QtGMimeStreams::writer(QIODevice& device)
{
    ensureGMimeInitialized();
    auto* stream = static_cast<GMimeStream*>(g_object_new(deviceStreamType(), nullptr));
    DeviceStream* self = asDeviceStream(stream);
    self->device = &device;
    self->failed = false;
    self->tailSize = 0;
    g_mime_stream_construct(stream, 0, -1);
    return GObjectPtr<GObject>(G_OBJECT(stream));
}

bool QtGMimeStreams::writeFailed(GObject* writer)
{
    return asDeviceStream(GMIME_STREAM(writer))->failed;
}

QByteArray QtGMimeStreams::writtenTail(GObject* writer)
{
    const DeviceStream* self = asDeviceStream(GMIME_STREAM(writer));
    return QByteArray(self->tail, self->tailSize);
}

} // namespace eml
