// The picture of an OLE object: compound files as Outlook stores them (written by storegen), the
// places a bitmap is kept, bitmap headers, and damaged or hostile files.
#include "eml/OlePicture.h"

#include "CompoundFile.h"
#include "eml/CompoundFileReader.h"

#include <QtEndian>
#include <gtest/gtest.h>

namespace {

void append32(QByteArray& out, std::uint32_t value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

std::uint32_t get32(const QByteArray& b, qsizetype at)
{
    return qFromLittleEndian<std::uint32_t>(b.constData() + at);
}

// A 24-bit bitmap of one colour, as the clipboard keeps it: the 40-byte header, then the rows.
QByteArray dib(int width, int height, std::uint32_t rgb, std::uint16_t bitCount = 24)
{
    QByteArray d;
    append32(d, 40);
    append32(d, static_cast<std::uint32_t>(width));
    append32(d, static_cast<std::uint32_t>(height));
    d.append("\x01\x00", 2);
    d.append(static_cast<char>(bitCount & 0xFF)).append(static_cast<char>(bitCount >> 8));
    d.append(QByteArray(24, '\0'));
    const int stride = (width * 3 + 3) / 4 * 4;
    for (int y = 0; y < height; ++y) {
        QByteArray row;
        for (int x = 0; x < width; ++x)
            row.append(static_cast<char>(rgb & 0xFF))
                .append(static_cast<char>(rgb >> 8 & 0xFF))
                .append(static_cast<char>(rgb >> 16 & 0xFF));
        d.append(row.leftJustified(stride, '\0'));
    }
    return d;
}

// An OLE presentation of a DIB: format, no target device, aspect, index, flags, reserved, size.
QByteArray presentation(const QByteArray& bitmap, std::uint32_t format = 8)
{
    QByteArray p;
    for (std::uint32_t v : {0xFFFFFFFFu, format, 4u, 1u, 0xFFFFFFFFu, 0u, 0u, 100u, 100u})
        append32(p, v);
    append32(p, static_cast<std::uint32_t>(bitmap.size()));
    return p + bitmap;
}

QByteArray bmp(const QByteArray& bitmap)
{
    QByteArray file("BM");
    append32(file, static_cast<std::uint32_t>(14 + bitmap.size()));
    append32(file, 0);
    append32(file, 54);
    return file + bitmap;
}

QByteArray object(const std::vector<std::pair<QString, QByteArray>>& streams)
{
    return storegen::compoundFile(QUuid(), streams);
}

TEST(OlePicture, FindsTheBitmapWhereObjectsKeepIt)
{
    const QByteArray small = dib(3, 2, 0xABCDEF);
    const QByteArray large = dib(300, 200, 0x102030); // past the mini stream, over many sectors
    QByteArray native;
    append32(native, static_cast<std::uint32_t>(bmp(small).size()));
    native += bmp(small);
    const struct
    {
        const char* what;
        QByteArray file;
        std::optional<QByteArray> picture;
    } cases[] = {
        {"a static picture as Outlook stores it", storegen::staticDibObject(3, 2, 0xABCDEF), bmp(small)},
        {"a large static picture", storegen::staticDibObject(300, 200, 0x102030), bmp(large)},
        {"a cached presentation",
         object({{QStringLiteral("\x01Ole"), "x"}, {QStringLiteral("\x02OlePres000"), presentation(large)}}),
         bmp(large)},
        {"a later presentation",
         object({{QStringLiteral("\x02OlePres000"), presentation("meta", 3)},
                 {QStringLiteral("\x02OlePres001"), presentation(small)}}),
         bmp(small)},
        {"a bare bitmap in CONTENTS", object({{QStringLiteral("CONTENTS"), small}}), bmp(small)},
        {"a BMP file in CONTENTS", object({{QStringLiteral("contents"), bmp(small)}}), bmp(small)},
        {"a Paintbrush object's native data", object({{QStringLiteral("\x01Ole10Native"), native}}),
         bmp(small)},
        {"a metafile only", object({{QStringLiteral("\x02OlePres000"), presentation("metafile bits", 3)}}),
         std::nullopt},
        {"a bitmap cut short",
         object({{QStringLiteral("CONTENTS"), presentation(small.left(small.size() - 1))}}), std::nullopt},
        {"no streams", object({}), std::nullopt},
        {"no compound file", small, std::nullopt},
        {"nothing", QByteArray(), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<QByteArray> found = eml::olePictureAsBmp(c.file);
        ASSERT_EQ(found.has_value(), c.picture.has_value());
        if (found) {
            // All but the fields a writer may fill or leave zero: image size, resolution, colours.
            EXPECT_EQ(found->left(34), c.picture->left(34));
            EXPECT_EQ(found->mid(54), c.picture->mid(54));
        }
    }
}

TEST(OlePicture, TakesOnlySoundBitmapHeaders)
{
    const QByteArray good = dib(4, 4, 0x808080);
    const auto changed = [&](qsizetype at, QByteArray bytes) {
        QByteArray d = good;
        d.replace(at, bytes.size(), bytes);
        return d;
    };
    QByteArray paletted = dib(8, 2, 0, 8); // 8-bit: a colour table of 256 entries, then 8 bytes a row
    paletted.truncate(40);
    paletted += QByteArray(256 * 4 + 8 * 2, '\x11');
    QByteArray core("\x0c\x00\x00\x00\x02\x00\x02\x00\x01\x00\x18\x00", 12); // a 12-byte header
    core += QByteArray(2 * 8, '\x22');
    const struct
    {
        const char* what;
        QByteArray dib;
        bool sound;
    } cases[] = {
        {"24-bit", good, true},
        {"8-bit with its colour table", paletted, true},
        {"8-bit without room for its colour table", paletted.left(40 + 256 * 4), false},
        {"a core header", core, true},
        {"top-down rows", changed(8, QByteArray("\xfc\xff\xff\xff", 4)), true},
        {"header of an unknown size", changed(0, QByteArray("\x29", 1)), false},
        {"no width", changed(4, QByteArray(4, '\0')), false},
        {"no height", changed(8, QByteArray(4, '\0')), false},
        {"a width no picture has", changed(4, QByteArray("\x00\x00\x01\x00", 4)), false},
        {"two planes", changed(12, QByteArray("\x02", 1)), false},
        {"3 bits a pixel", changed(14, QByteArray("\x03", 1)), false},
        {"an unknown compression", changed(16, QByteArray("\x07", 1)), false},
        {"run-length coding of 24-bit pixels", changed(16, QByteArray("\x01", 1)), false},
        {"pixels cut short", good.left(good.size() - 1), false},
        {"a header cut short", good.left(30), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<QByteArray> file = eml::bmpFromDib(c.dib);
        EXPECT_EQ(file.has_value(), c.sound);
        if (file) {
            EXPECT_EQ(get32(*file, 2), static_cast<std::uint32_t>(file->size()));
            EXPECT_EQ(file->mid(14), c.dib.left(file->size() - 14));
        }
    }
}

TEST(CompoundFileReader, ReadsStreamsOfEverySizeAndRefusesDamage)
{
    const QByteArray mini(100, 'm');
    QByteArray regular;
    for (int i = 0; i < 5000; ++i)
        regular.append(static_cast<char>(i * 7));
    const QByteArray file = object(
        {{QStringLiteral("Small"), mini}, {QStringLiteral("Large"), regular}, {QStringLiteral("Empty"), {}}});
    const std::optional<eml::CompoundFileReader> reader = eml::CompoundFileReader::open(file);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->stream(QStringLiteral("small")), mini);
    EXPECT_EQ(reader->stream(QStringLiteral("Large")), regular);
    EXPECT_EQ(reader->stream(QStringLiteral("Empty")), QByteArray());
    EXPECT_FALSE(reader->stream(QStringLiteral("Missing")));

    // A chain that runs into itself: the large stream's first FAT entry points back to its sector.
    const std::uint32_t firstFat = get32(file, 76);
    QByteArray cyclic = file;
    for (std::uint32_t sector = 0; sector < 128; ++sector) {
        const qsizetype entry = 512 * (firstFat + 1) + 4 * sector;
        if (get32(file, entry) == sector + 1 && get32(file, entry + 4) == sector + 2) {
            cyclic.replace(entry + 4, 4, QByteArray(reinterpret_cast<const char*>(&sector), 4));
            break;
        }
    }
    ASSERT_NE(cyclic, file);
    const std::optional<eml::CompoundFileReader> cyclicReader = eml::CompoundFileReader::open(cyclic);
    ASSERT_TRUE(cyclicReader);
    EXPECT_FALSE(cyclicReader->stream(QStringLiteral("Large")));
    EXPECT_EQ(cyclicReader->stream(QStringLiteral("Small")), mini);

    // Every file cut short, and every byte of the tables changed: an answer, never a crash.
    for (qsizetype size = 0; size < file.size(); size += 7) {
        if (const auto cut = eml::CompoundFileReader::open(file.left(size))) {
            const std::optional<QByteArray> large = cut->stream(QStringLiteral("Large"));
            EXPECT_TRUE(!large || *large == regular) << size;
        }
    }
    for (qsizetype at = 0; at < std::min<qsizetype>(file.size(), 512 * 5); ++at) {
        QByteArray damaged = file;
        damaged[at] = static_cast<char>(damaged[at] ^ 0xA5);
        if (const auto opened = eml::CompoundFileReader::open(damaged)) {
            for (const QString& name : {QStringLiteral("Small"), QStringLiteral("Large")})
                opened->stream(name);
        }
        eml::olePictureAsBmp(damaged);
    }
}

} // namespace
