#include "OlePicture.h"

#include "CompoundFileReader.h"

#include <QString>
#include <QtEndian>

namespace eml {

namespace {

constexpr std::uint32_t kClipboardDib = 8;
constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitFields = 3;
constexpr std::int64_t kMaxSide = 65535;

std::uint16_t get16(const QByteArray& b, qsizetype at)
{
    return qFromLittleEndian<std::uint16_t>(b.constData() + at);
}

std::uint32_t get32(const QByteArray& b, qsizetype at)
{
    return qFromLittleEndian<std::uint32_t>(b.constData() + at);
}

void append32(QByteArray& out, std::uint32_t value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

// The bitmap of an OLE presentation stream: its clipboard format, target device, aspect, index,
// advise flags, a reserved field, width, height and the size of the data that follows.
std::optional<QByteArray> presentationDib(const QByteArray& stream)
{
    if (stream.size() < 8)
        return std::nullopt;
    const std::uint32_t marker = get32(stream, 0);
    // A standard clipboard format is a marker and its number; a registered one a name.
    if (marker != 0xFFFFFFFF && marker != 0xFFFFFFFE)
        return std::nullopt;
    if (get32(stream, 4) != kClipboardDib)
        return std::nullopt;
    qsizetype at = 8;
    if (stream.size() < at + 4)
        return std::nullopt;
    const std::uint32_t targetDevice = get32(stream, at);
    if (targetDevice < 4 || targetDevice > static_cast<std::uint32_t>(stream.size() - at))
        return std::nullopt;
    at += targetDevice;
    at += 6 * 4; // aspect, index, advise flags, reserved, width, height
    if (stream.size() < at + 4)
        return std::nullopt;
    const std::uint32_t size = get32(stream, at);
    at += 4;
    if (size > static_cast<std::uint32_t>(stream.size() - at))
        return std::nullopt;
    return stream.mid(at, size);
}

// A BMP file as it is, where it is a sound one.
std::optional<QByteArray> soundBmp(const QByteArray& file)
{
    if (file.size() < 14 || !file.startsWith("BM"))
        return std::nullopt;
    if (const std::optional<QByteArray> rebuilt = bmpFromDib(file.mid(14)))
        return rebuilt;
    return std::nullopt;
}

} // namespace

std::optional<QByteArray> bmpFromDib(const QByteArray& dib)
{
    if (dib.size() < 12)
        return std::nullopt;
    const std::uint32_t headerSize = get32(dib, 0);
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint32_t bitCount = 0;
    std::uint32_t compression = kRgb;
    std::uint32_t imageSize = 0;
    std::uint32_t colours = 0;
    std::uint32_t entrySize = 4;
    std::uint32_t masks = 0;
    if (headerSize == 12) {
        width = get16(dib, 4);
        height = get16(dib, 6);
        if (get16(dib, 8) != 1)
            return std::nullopt;
        bitCount = get16(dib, 10);
        entrySize = 3;
    } else if (headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 64 ||
               headerSize == 108 || headerSize == 124) {
        if (dib.size() < 40)
            return std::nullopt;
        width = static_cast<std::int32_t>(get32(dib, 4));
        height = static_cast<std::int32_t>(get32(dib, 8));
        if (get16(dib, 12) != 1)
            return std::nullopt;
        bitCount = get16(dib, 14);
        compression = get32(dib, 16);
        imageSize = get32(dib, 20);
        colours = get32(dib, 32);
        if (headerSize == 40 && compression == kBitFields)
            masks = 12;
    } else {
        return std::nullopt;
    }
    const std::int64_t rows = height < 0 ? -height : height;
    if (width <= 0 || width > kMaxSide || rows == 0 || rows > kMaxSide)
        return std::nullopt;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        return std::nullopt;
    if (colours == 0 && bitCount <= 8)
        colours = 1u << bitCount;
    if (colours > 256 && bitCount <= 8)
        return std::nullopt;
    if (compression == kBitFields ? (bitCount != 16 && bitCount != 32)
        : compression == kRle8    ? bitCount != 8
        : compression == kRle4    ? bitCount != 4
                                  : compression != kRgb)
        return std::nullopt;
    const std::int64_t table =
        static_cast<std::int64_t>(headerSize) + masks + std::int64_t(colours) * entrySize;
    const std::int64_t stride = (width * bitCount + 31) / 32 * 4;
    const std::int64_t pixels = compression == kRle8 || compression == kRle4 ? imageSize : stride * rows;
    if (pixels <= 0 || table + pixels > dib.size())
        return std::nullopt;

    QByteArray file("BM");
    append32(file, static_cast<std::uint32_t>(14 + table + pixels));
    append32(file, 0);
    append32(file, static_cast<std::uint32_t>(14 + table));
    file.append(dib.constData(), static_cast<qsizetype>(table + pixels));
    return file;
}

std::optional<QByteArray> olePictureAsBmp(const QByteArray& compoundFile)
{
    const std::optional<CompoundFileReader> reader = CompoundFileReader::open(compoundFile);
    if (!reader)
        return std::nullopt;
    // The presentations the object caches first, then what it holds itself.
    for (int i = 0; i < 10; ++i) {
        const std::optional<QByteArray> stream = reader->stream(QStringLiteral("\x02OlePres00%1").arg(i));
        if (!stream)
            continue;
        if (const std::optional<QByteArray> dib = presentationDib(*stream))
            if (const std::optional<QByteArray> bmp = bmpFromDib(*dib))
                return bmp;
    }
    if (const std::optional<QByteArray> contents = reader->stream(QStringLiteral("CONTENTS"))) {
        // A static picture keeps its bitmap as a presentation, or as a bare DIB or BMP file.
        if (const std::optional<QByteArray> dib = presentationDib(*contents))
            if (const std::optional<QByteArray> bmp = bmpFromDib(*dib))
                return bmp;
        if (const std::optional<QByteArray> bmp = bmpFromDib(*contents))
            return bmp;
        if (const std::optional<QByteArray> bmp = soundBmp(*contents))
            return bmp;
    }
    // A Paintbrush object's native data: its size, then a BMP file.
    if (const std::optional<QByteArray> native = reader->stream(QStringLiteral("\x01Ole10Native"))) {
        if (native->size() > 4 && get32(*native, 0) <= static_cast<std::uint32_t>(native->size() - 4))
            return soundBmp(native->mid(4, get32(*native, 0)));
    }
    return std::nullopt;
}

} // namespace eml
