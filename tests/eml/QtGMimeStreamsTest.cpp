#include "eml/QtGMimeStreams.h"

#include <QBuffer>
#include <gmime/gmime.h>
#include <gtest/gtest.h>

using eml::QtGMimeStreams;

namespace {

QByteArray readAll(GMimeStream* stream)
{
    QByteArray result;
    char buffer[3];
    for (ssize_t n; (n = g_mime_stream_read(stream, buffer, sizeof buffer)) > 0;)
        result.append(buffer, n);
    return result;
}

TEST(QtGMimeStreams, ReaderReadsSeeksAndBounds)
{
    const auto object = QtGMimeStreams::reader(QByteArrayLiteral("0123456789"));
    GMimeStream* stream = GMIME_STREAM(object.get());
    EXPECT_EQ(g_mime_stream_length(stream), 10);
    EXPECT_EQ(readAll(stream), QByteArray("0123456789"));
    EXPECT_TRUE(g_mime_stream_eos(stream));
    EXPECT_EQ(g_mime_stream_reset(stream), 0);
    EXPECT_EQ(g_mime_stream_seek(stream, 4, GMIME_STREAM_SEEK_SET), 4);
    EXPECT_EQ(g_mime_stream_tell(stream), 4);
    EXPECT_EQ(g_mime_stream_seek(stream, -2, GMIME_STREAM_SEEK_END), 8);
    EXPECT_EQ(readAll(stream), QByteArray("89"));
    EXPECT_EQ(g_mime_stream_seek(stream, 11, GMIME_STREAM_SEEK_SET), -1);
    EXPECT_EQ(g_mime_stream_write(stream, "x", 1), -1);

    GMimeStream* sub = g_mime_stream_substream(stream, 2, 5);
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(g_mime_stream_length(sub), 3);
    EXPECT_EQ(readAll(sub), QByteArray("234"));
    g_object_unref(sub);
}

TEST(QtGMimeStreams, ReaderSharesTheBytesItWasGiven)
{
    QByteArray data("abc");
    const auto object = QtGMimeStreams::reader(data);
    data[0] = 'z';
    EXPECT_EQ(readAll(GMIME_STREAM(object.get())), QByteArray("abc"));
}

TEST(QtGMimeStreams, WriterTracksItsTailAndFailures)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const auto object = QtGMimeStreams::writer(buffer);
    GMimeStream* stream = GMIME_STREAM(object.get());
    EXPECT_EQ(QtGMimeStreams::writtenTail(object.get()), QByteArray());
    EXPECT_EQ(g_mime_stream_write(stream, "ab", 2), 2);
    EXPECT_EQ(g_mime_stream_write(stream, "c", 1), 1);
    EXPECT_EQ(QtGMimeStreams::writtenTail(object.get()), QByteArray("bc"));
    EXPECT_EQ(g_mime_stream_write(stream, "\r\n", 2), 2);
    EXPECT_EQ(QtGMimeStreams::writtenTail(object.get()), QByteArray("\r\n"));
    EXPECT_EQ(buffer.data(), QByteArray("abc\r\n"));
    EXPECT_FALSE(QtGMimeStreams::writeFailed(object.get()));

    QBuffer closed;
    const auto failing = QtGMimeStreams::writer(closed);
    EXPECT_EQ(g_mime_stream_write(GMIME_STREAM(failing.get()), "x", 1), -1);
    EXPECT_TRUE(QtGMimeStreams::writeFailed(failing.get()));
}

} // namespace
