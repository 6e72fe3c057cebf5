// Checks the written file against the format's own rules, independently of any reader: header
// checksums, every B-tree page and block trailer (checksum, signature, id), sorted keys, block
// references of every node, allocation maps that cover every block, and the file size.
#include "Bytes.h"
#include "Checksum.h"
#include "MessageBuilder.h"
#include "Permutation.h"
#include "RandomMailbox.h"
#include "StoreWriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <set>

using namespace storegen;
using namespace storegen::bytes;

namespace {

struct Variant
{
    const char* name;
    StoreOptions options;
};

struct Geometry
{
    std::size_t pageSize;
    std::size_t pageData;
    std::size_t blockAlign;
    std::size_t blockTrailer;
    std::uint64_t firstAMap;
    bool is4k;
};

Geometry geometryOf(const StoreOptions& options)
{
    if (options.format == FileFormat::Unicode4k)
        return {4096, 4072, 512, 24, 0x22000, true};
    return {512, 496, 64, 16, 0x4400, false};
}

struct BlockRef
{
    std::uint64_t ib;
    std::uint16_t cb;
    std::uint16_t inflated;
};

class StoreStructure : public ::testing::TestWithParam<Variant>
{
protected:
    void SetUp() override
    {
        m_geometry = geometryOf(GetParam().options);
        const QString path = m_dir.filePath(QStringLiteral("s.ost"));
        StoreWriter writer(path, GetParam().options);
        RandomMailbox(150, 11).write(writer);
        const std::uint32_t top = StoreWriter::kRootFolder;
        Folder big;
        big.name = QStringLiteral("Big values");
        const std::uint32_t folder = writer.addFolder(top, big);
        writer.addMessage(folder,
                          MessageBuilder()
                              .subject(QStringLiteral("large"))
                              .attach(QStringLiteral("a.bin"), QString(), QByteArray(3 * 1024 * 1024, 'x'))
                              .build());
        writer.finish();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        m_file = file.readAll();
    }

    const char* at(std::uint64_t offset) const { return m_file.constData() + offset; }

    // Walks a B-tree from its root page, checking each page, and collects the leaf entries.
    void walk(std::uint64_t bid, std::uint64_t ib, std::uint8_t ptype, int expectedLevel,
              std::vector<QByteArray>& leaves)
    {
        const Geometry& g = m_geometry;
        ASSERT_EQ(ib % g.pageSize, 0u);
        ASSERT_LE(ib + g.pageSize, static_cast<std::uint64_t>(m_file.size()));
        const char* page = at(ib);
        const char* trailer = page + g.pageData;
        EXPECT_EQ(static_cast<std::uint8_t>(trailer[0]), ptype);
        EXPECT_EQ(static_cast<std::uint8_t>(trailer[1]), ptype);
        EXPECT_EQ(get16(trailer + 2), Checksum::signature(ib, bid));
        EXPECT_EQ(get32(trailer + 4), Checksum::crc(page, g.pageData));
        EXPECT_EQ(get64(trailer + 8), bid);

        const std::size_t metaAt = g.pageData - (g.is4k ? 16 : 8);
        const char* meta = page + metaAt;
        const std::size_t count = g.is4k ? get16(meta) : static_cast<std::uint8_t>(meta[0]);
        const std::size_t maxCount = g.is4k ? get16(meta + 2) : static_cast<std::uint8_t>(meta[1]);
        const std::size_t entrySize = static_cast<std::uint8_t>(meta[g.is4k ? 4 : 2]);
        const int level = static_cast<std::uint8_t>(meta[g.is4k ? 5 : 3]);
        if (expectedLevel >= 0) {
            EXPECT_EQ(level, expectedLevel);
        }
        EXPECT_EQ(maxCount, metaAt / entrySize);
        ASSERT_LE(count, maxCount);
        ASSERT_GT(count, 0u);
        std::uint64_t previous = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const char* e = page + i * entrySize;
            const std::uint64_t key = get64(e);
            if (i > 0) {
                EXPECT_LT(previous, key) << "keys out of order";
            }
            previous = key;
            if (level > 0) {
                ASSERT_EQ(entrySize, 24u);
                std::vector<QByteArray> below;
                walk(get64(e + 8), get64(e + 16), ptype, level - 1, below);
                ASSERT_FALSE(below.empty());
                EXPECT_EQ(get64(below.front().constData()), key) << "branch key is not its child's first key";
                leaves.insert(leaves.end(), below.begin(), below.end());
            } else {
                leaves.emplace_back(e, static_cast<qsizetype>(entrySize));
            }
        }
    }

    bool allocated(std::uint64_t offset) const
    {
        const Geometry& g = m_geometry;
        const std::uint64_t regionSize = std::uint64_t(g.pageData) * 8 * g.blockAlign;
        const std::uint64_t region = (offset - g.firstAMap) / regionSize;
        const std::uint64_t unit = (offset - g.firstAMap - region * regionSize) / g.blockAlign;
        const char* map = at(g.firstAMap + region * regionSize);
        return (static_cast<std::uint8_t>(map[unit / 8]) & (0x80u >> (unit % 8))) != 0;
    }

    Geometry m_geometry{};
    QTemporaryDir m_dir;
    QByteArray m_file;
};

TEST_P(StoreStructure, HeaderChecksumsAndFields)
{
    const char* h = m_file.constData();
    EXPECT_EQ(QByteArray(h, 4), QByteArray("!BDN"));
    EXPECT_EQ(get32(h + 4), Checksum::crc(h + 8, 471));
    EXPECT_EQ(get32(h + 524), Checksum::crc(h + 8, 516));
    EXPECT_EQ(QByteArray(h + 8, 2),
              GetParam().options.kind == StoreKind::Offline ? QByteArray("SO") : QByteArray("SM"));
    EXPECT_EQ(get16(h + 10), m_geometry.is4k ? 36 : 23);
    EXPECT_EQ(static_cast<std::uint8_t>(h[512]), 0x80);
    EXPECT_EQ(h[513], GetParam().options.encryption == Encryption::Compressible ? 1 : 0);
    EXPECT_EQ(get64(h + 184), static_cast<std::uint64_t>(m_file.size()));
    EXPECT_EQ(static_cast<std::uint8_t>(h[248]), 0x02);
    // The next block id lies beyond every id in use.
    EXPECT_GT(get64(h + 516), 4u);
}

TEST_P(StoreStructure, BlocksNodesAndMapsAreConsistent)
{
    const Geometry& g = m_geometry;
    const char* h = m_file.constData();
    std::vector<QByteArray> blockEntries;
    std::vector<QByteArray> nodeEntries;
    walk(get64(h + 232), get64(h + 240), 0x80, -1, blockEntries);
    walk(get64(h + 216), get64(h + 224), 0x81, -1, nodeEntries);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_GT(blockEntries.size(), 500u);

    const std::uint64_t nextBid = get64(h + 516);
    std::map<std::uint64_t, BlockRef> blocks;
    for (const QByteArray& e : blockEntries) {
        const char* p = e.constData();
        const std::uint64_t bid = get64(p);
        const BlockRef ref{get64(p + 8), get16(p + 16), g.is4k ? get16(p + 18) : get16(p + 16)};
        blocks.emplace(bid, ref);
        SCOPED_TRACE(bid);
        EXPECT_LT(bid, nextBid);
        ASSERT_EQ(ref.ib % g.blockAlign, 0u);
        const std::uint64_t total =
            (ref.cb + g.blockTrailer + g.blockAlign - 1) / g.blockAlign * g.blockAlign;
        ASSERT_LE(ref.ib + total, static_cast<std::uint64_t>(m_file.size()));
        const char* trailer = at(ref.ib + total - g.blockTrailer);
        EXPECT_EQ(get16(trailer), ref.cb);
        EXPECT_EQ(get16(trailer + 2), Checksum::signature(ref.ib, bid));
        EXPECT_EQ(get32(trailer + 4), Checksum::crc(at(ref.ib), ref.cb));
        EXPECT_EQ(get64(trailer + 8), bid);
        if (g.is4k) {
            EXPECT_EQ(get16(trailer + 18), ref.inflated);
            if (bid & 2) {
                EXPECT_EQ(ref.cb, ref.inflated) << "internal blocks are never deflated";
            }
        }
        for (std::uint64_t o = ref.ib; o < ref.ib + total; o += g.blockAlign)
            EXPECT_TRUE(allocated(o)) << "block not marked in its allocation map";
    }

    std::set<std::uint32_t> nids;
    for (const QByteArray& e : nodeEntries) {
        const char* p = e.constData();
        const auto nid = static_cast<std::uint32_t>(get64(p));
        EXPECT_TRUE(nids.insert(nid).second);
        EXPECT_EQ(blocks.count(get64(p + 8)), 1u) << "node " << nid << " has no data block";
        const std::uint64_t sub = get64(p + 16);
        if (sub) {
            EXPECT_EQ(blocks.count(sub), 1u) << "node " << nid << " has no sub-node block";
        }
    }
    for (std::uint32_t required : {0x21u, 0x61u, 0x122u, 0x12Du, 0x12Eu, 0x12Fu})
        EXPECT_EQ(nids.count(required), 1u) << required;

    // Every allocation map page sits where the format puts it and checks out.
    const std::uint64_t regionSize = std::uint64_t(g.pageData) * 8 * g.blockAlign;
    ASSERT_EQ((static_cast<std::uint64_t>(m_file.size()) - g.firstAMap) % regionSize, 0u);
    for (std::uint64_t ib = g.firstAMap; ib < static_cast<std::uint64_t>(m_file.size()); ib += regionSize) {
        const char* trailer = at(ib + g.pageData);
        EXPECT_EQ(static_cast<std::uint8_t>(trailer[0]), 0x84);
        EXPECT_EQ(get32(trailer + 4), Checksum::crc(at(ib), g.pageData));
        EXPECT_EQ(get64(trailer + 8), ib);
        EXPECT_TRUE(allocated(ib));
    }
}

TEST(Permutation, DecodeUndoesEncodeForEveryByte)
{
    QByteArray all(256, '\0');
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<char>(i);
    QByteArray coded = all;
    Permutation::encode(coded.data(), 256);
    EXPECT_NE(coded, all);
    std::set<char> distinct(coded.begin(), coded.end());
    EXPECT_EQ(distinct.size(), 256u);
    Permutation::decode(coded.data(), 256);
    EXPECT_EQ(coded, all);
}

TEST(Checksum, MatchesTheFormatsCheckValues)
{
    // CRC-32 with the reflected polynomial, started at zero and not inverted.
    EXPECT_EQ(Checksum::crc("", 0), 0u);
    EXPECT_EQ(Checksum::crc("123456789", 9), 0x2DFD2D88u);
    EXPECT_EQ(Checksum::signature(0x4400, 0x4), std::uint16_t(0x4404 ^ 0));
}

const Variant kVariants[] = {
    {"UnicodeOffline", {FileFormat::Unicode, StoreKind::Offline, Encryption::None}},
    {"UnicodePersonalCompressible", {FileFormat::Unicode, StoreKind::Personal, Encryption::Compressible}},
    {"FourKOffline", {FileFormat::Unicode4k, StoreKind::Offline, Encryption::None}},
    {"FourKPersonalCompressible", {FileFormat::Unicode4k, StoreKind::Personal, Encryption::Compressible}},
};

INSTANTIATE_TEST_SUITE_P(Variants, StoreStructure, ::testing::ValuesIn(kVariants),
                         [](const ::testing::TestParamInfo<Variant>& param) {
                             return std::string(param.param.name);
                         });

} // namespace
