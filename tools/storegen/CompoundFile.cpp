#include "CompoundFile.h"

#include "Bytes.h"

#include <algorithm>
#include <stdexcept>

namespace storegen {

using namespace bytes;

namespace {

constexpr std::uint32_t kSectorSize = 512;
constexpr std::uint32_t kMiniSectorSize = 64;
constexpr std::uint32_t kMiniStreamCutoff = 4096;
constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFatSector = 0xFFFFFFFD;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
constexpr std::uint32_t kEntriesPerSector = kSectorSize / 4;
constexpr int kHeaderFatEntries = 109;

std::uint32_t sectorsFor(std::uint64_t bytes, std::uint32_t sectorSize)
{
    return static_cast<std::uint32_t>((bytes + sectorSize - 1) / sectorSize);
}

void appendUuid(QByteArray& out, const QUuid& id)
{
    append32(out, id.data1);
    append16(out, id.data2);
    append16(out, id.data3);
    out.append(reinterpret_cast<const char*>(id.data4), 8);
}

// Siblings of a storage form a red-black tree ordered by name length, then by upper-cased name.
bool entryLess(const QString& a, const QString& b)
{
    if (a.size() != b.size())
        return a.size() < b.size();
    return a.toUpper() < b.toUpper();
}

struct Entry
{
    QString name;
    std::uint8_t type = 2;   // stream
    std::uint8_t colour = 1; // black
    std::uint32_t left = kNoStream;
    std::uint32_t right = kNoStream;
    std::uint32_t child = kNoStream;
    QUuid clsid;
    std::uint32_t start = kEndOfChain;
    std::uint32_t size = 0;
};

// A balanced tree of the sorted entries from..to (ids 1.. in the directory); nodes on an
// incomplete deepest level are red, so that every path holds as many black nodes.
std::uint32_t buildTree(std::vector<Entry>& entries, const std::vector<std::uint32_t>& sorted, int from,
                        int to, int depth, int height, bool perfect)
{
    if (from > to)
        return kNoStream;
    const int middle = (from + to) / 2;
    const std::uint32_t id = sorted[static_cast<std::size_t>(middle)];
    entries[id].colour = (!perfect && depth == height - 1) ? 0 : 1;
    entries[id].left = buildTree(entries, sorted, from, middle - 1, depth + 1, height, perfect);
    entries[id].right = buildTree(entries, sorted, middle + 1, to, depth + 1, height, perfect);
    return id;
}

} // namespace

QByteArray compoundFile(const QUuid& rootClass, const std::vector<std::pair<QString, QByteArray>>& streams)
{
    std::vector<Entry> entries(1);
    entries[0].name = QStringLiteral("Root Entry");
    entries[0].type = 5;
    entries[0].clsid = rootClass;

    // Small streams go to the mini stream, which is the root entry's own stream.
    QByteArray miniStream;
    std::vector<std::uint32_t> miniFat;
    std::vector<const QByteArray*> large;
    for (const auto& [name, data] : streams) {
        if (name.size() > 31)
            throw std::invalid_argument("compound file stream name longer than 31 characters");
        Entry e;
        e.name = name;
        e.size = static_cast<std::uint32_t>(data.size());
        if (data.size() < static_cast<qsizetype>(kMiniStreamCutoff)) {
            const std::uint32_t count = sectorsFor(e.size, kMiniSectorSize);
            e.start = count == 0 ? kEndOfChain : static_cast<std::uint32_t>(miniFat.size());
            for (std::uint32_t i = 0; i < count; ++i)
                miniFat.push_back(i + 1 == count ? kEndOfChain : e.start + i + 1);
            miniStream.append(data);
            miniStream.append(
                QByteArray(static_cast<qsizetype>(count * kMiniSectorSize) - data.size(), '\0'));
        } else {
            large.push_back(&data);
        }
        entries.push_back(e);
    }

    const std::uint32_t directorySectors = sectorsFor(entries.size() * 128, kSectorSize);
    const std::uint32_t miniFatSectors = sectorsFor(miniFat.size() * 4, kSectorSize);
    const std::uint32_t miniStreamSectors =
        sectorsFor(static_cast<std::uint64_t>(miniStream.size()), kSectorSize);
    std::uint32_t dataSectors = directorySectors + miniFatSectors + miniStreamSectors;
    for (const QByteArray* data : large)
        dataSectors += sectorsFor(static_cast<std::uint64_t>(data->size()), kSectorSize);
    std::uint32_t fatSectors = 1;
    while (fatSectors * kEntriesPerSector < fatSectors + dataSectors)
        ++fatSectors;
    if (fatSectors > kHeaderFatEntries)
        throw std::invalid_argument("compound file too large for its header's sector list");

    // Sectors in order: the FAT, the directory, the mini FAT, the mini stream, the large streams.
    std::vector<std::uint32_t> fat(fatSectors * kEntriesPerSector, kFreeSector);
    std::uint32_t next = 0;
    for (std::uint32_t i = 0; i < fatSectors; ++i)
        fat[next++] = kFatSector;
    const auto chain = [&](std::uint32_t count) {
        if (count == 0)
            return kEndOfChain;
        const std::uint32_t start = next;
        for (std::uint32_t i = 0; i < count; ++i, ++next)
            fat[next] = i + 1 == count ? kEndOfChain : next + 1;
        return start;
    };
    const std::uint32_t directoryStart = chain(directorySectors);
    const std::uint32_t miniFatStart = chain(miniFatSectors);
    entries[0].start = chain(miniStreamSectors);
    entries[0].size = static_cast<std::uint32_t>(miniStream.size());
    std::size_t largeIndex = 0;
    for (std::size_t i = 1; i < entries.size(); ++i) {
        if (entries[i].size >= kMiniStreamCutoff)
            entries[i].start = chain(sectorsFor(large[largeIndex++]->size(), kSectorSize));
    }

    std::vector<std::uint32_t> sorted;
    for (std::uint32_t i = 1; i < entries.size(); ++i)
        sorted.push_back(i);
    std::sort(sorted.begin(), sorted.end(),
              [&](std::uint32_t a, std::uint32_t b) { return entryLess(entries[a].name, entries[b].name); });
    const int count = static_cast<int>(sorted.size());
    int height = 0;
    while ((1 << height) - 1 < count)
        ++height;
    entries[0].child = buildTree(entries, sorted, 0, count - 1, 0, height, (1 << height) - 1 == count);

    QByteArray out;
    out.append("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    out.append(QByteArray(16, '\0'));
    append16(out, 0x003E);
    append16(out, 0x0003);
    append16(out, 0xFFFE);
    append16(out, 9);
    append16(out, 6);
    out.append(QByteArray(6, '\0'));
    append32(out, 0); // directory sectors: none counted in version 3
    append32(out, fatSectors);
    append32(out, directoryStart);
    append32(out, 0);
    append32(out, kMiniStreamCutoff);
    append32(out, miniFatStart);
    append32(out, miniFatSectors);
    append32(out, kEndOfChain); // no DIFAT sectors
    append32(out, 0);
    for (int i = 0; i < kHeaderFatEntries; ++i)
        append32(out,
                 static_cast<std::uint32_t>(i) < fatSectors ? static_cast<std::uint32_t>(i) : kFreeSector);

    for (std::uint32_t value : fat)
        append32(out, value);
    QByteArray directory;
    for (const Entry& e : entries) {
        QByteArray name(64, '\0');
        for (qsizetype i = 0; i < e.name.size(); ++i) {
            name[2 * i] = static_cast<char>(e.name.at(i).unicode() & 0xFF);
            name[2 * i + 1] = static_cast<char>(e.name.at(i).unicode() >> 8);
        }
        directory.append(name);
        append16(directory, static_cast<std::uint16_t>((e.name.size() + 1) * 2));
        directory.append(static_cast<char>(e.type));
        directory.append(static_cast<char>(e.colour));
        append32(directory, e.left);
        append32(directory, e.right);
        append32(directory, e.child);
        appendUuid(directory, e.clsid);
        append32(directory, 0);
        directory.append(QByteArray(16, '\0'));
        append32(directory, e.start);
        append32(directory, e.size);
        append32(directory, 0);
    }
    // Unused entries of the last directory sector are empty, with no siblings or child.
    while (directory.size() % kSectorSize != 0) {
        QByteArray empty(128, '\0');
        for (int offset : {68, 72, 76})
            empty.replace(offset, 4, QByteArray(4, '\xFF'));
        directory.append(empty);
    }
    out.append(directory);
    QByteArray miniFatBytes;
    for (std::uint32_t value : miniFat)
        append32(miniFatBytes, value);
    while (miniFatBytes.size() % kSectorSize != 0)
        append32(miniFatBytes, kFreeSector);
    out.append(miniFatBytes);
    miniStream.append(
        QByteArray(static_cast<qsizetype>(miniStreamSectors * kSectorSize) - miniStream.size(), '\0'));
    out.append(miniStream);
    for (const QByteArray* data : large) {
        out.append(*data);
        out.append(QByteArray(static_cast<qsizetype>(sectorsFor(data->size(), kSectorSize) * kSectorSize) -
                                  data->size(),
                              '\0'));
    }
    return out;
}

QByteArray staticDibObject(int width, int height, std::uint32_t rgb)
{
    // CLSID_Picture_Dib, the class of a static device-independent bitmap.
    const QUuid dibClass(0x00000316, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
    constexpr std::uint32_t kClipboardDib = 8;
    const QByteArray userType = QByteArrayLiteral("Picture (Device Independent Bitmap)");

    QByteArray compObj;
    append32(compObj, 0xFFFE0001);
    append32(compObj, 0x00000A03);
    append32(compObj, 0xFFFFFFFF);
    appendUuid(compObj, dibClass);
    append32(compObj, static_cast<std::uint32_t>(userType.size() + 1));
    compObj.append(userType).append('\0');
    append32(compObj, 0xFFFFFFFE); // a standard clipboard format follows
    append32(compObj, kClipboardDib);
    append32(compObj, 0); // no program id

    const std::uint32_t stride = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
    QByteArray dib;
    append32(dib, 40);
    append32(dib, static_cast<std::uint32_t>(width));
    append32(dib, static_cast<std::uint32_t>(height));
    append16(dib, 1);
    append16(dib, 24);
    append32(dib, 0); // BI_RGB
    append32(dib, stride * static_cast<std::uint32_t>(height));
    append32(dib, 2835); // 72 dpi
    append32(dib, 2835);
    append32(dib, 0);
    append32(dib, 0);
    for (int y = 0; y < height; ++y) {
        QByteArray row;
        for (int x = 0; x < width; ++x) {
            row.append(static_cast<char>(rgb & 0xFF));
            row.append(static_cast<char>((rgb >> 8) & 0xFF));
            row.append(static_cast<char>((rgb >> 16) & 0xFF));
        }
        row.append(QByteArray(static_cast<qsizetype>(stride) - row.size(), '\0'));
        dib.append(row);
    }

    // An OLE presentation of the bitmap: its clipboard format, no target device, the content
    // aspect, its size in hundredths of a millimetre, then the DIB.
    QByteArray contents;
    append32(contents, 0xFFFFFFFF);
    append32(contents, kClipboardDib);
    append32(contents, 4);
    append32(contents, 1);
    append32(contents, 0xFFFFFFFF);
    append32(contents, 0);
    append32(contents, 0);
    append32(contents, static_cast<std::uint32_t>(width * 2540 / 96));
    append32(contents, static_cast<std::uint32_t>(height * 2540 / 96));
    append32(contents, static_cast<std::uint32_t>(dib.size()));
    contents.append(dib);

    return compoundFile(dibClass,
                        {{QStringLiteral("\001CompObj"), compObj}, {QStringLiteral("CONTENTS"), contents}});
}

} // namespace storegen
