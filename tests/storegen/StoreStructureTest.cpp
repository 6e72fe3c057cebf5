// Checks the written file against the format's own rules, independently of any reader: header
// checksums, every B-tree page and block trailer (checksum, signature, id), sorted keys, block
// references of every node, allocation maps that cover every block, and the file size.
#include "Bytes.h"
#include "Checksum.h"
#include "MessageBuilder.h"
#include "Permutation.h"
#include "RandomMailbox.h"
#include "StoreVariant.h"
#include "StoreWriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <set>
#include <zlib.h>

using namespace storegen;
using namespace storegen::bytes;

namespace {

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
        // Tiny index batches: the B-trees are built from many spilled runs, merged in passes.
        StoreOptions options = GetParam().options;
        options.indexBatchEntries = 16;
        StoreWriter writer(path, options);
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
        load(path);
    }

    void load(const QString& path)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        m_file = file.readAll();
        const char* h = m_file.constData();
        m_blockEntries.clear();
        m_nodeEntries.clear();
        walk(get64(h + 232), get64(h + 240), 0x80, -1, m_blockEntries);
        walk(get64(h + 216), get64(h + 224), 0x81, -1, m_nodeEntries);
    }

    // A block's content as the writer gave it: inflated and decrypted.
    QByteArray block(std::uint64_t bid) const
    {
        for (const QByteArray& e : m_blockEntries) {
            const char* p = e.constData();
            if ((get64(p) & ~std::uint64_t(1)) != bid)
                continue;
            const std::uint16_t cb = get16(p + 16);
            const std::uint16_t inflated = m_geometry.is4k ? get16(p + 18) : cb;
            QByteArray data(at(get64(p + 8)), cb);
            if (cb != inflated) {
                QByteArray out(inflated, '\0');
                uLongf size = inflated;
                if (uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                               reinterpret_cast<const Bytef*>(data.constData()), cb) != Z_OK ||
                    size != inflated)
                    ADD_FAILURE() << "block " << bid << " does not inflate";
                data = out;
            }
            if (!(bid & 2) && GetParam().options.encryption == Encryption::Compressible)
                Permutation::decode(data.data(), static_cast<std::size_t>(data.size()));
            return data;
        }
        ADD_FAILURE() << "no block " << bid;
        return {};
    }

    // The blocks of a value: one block, or the leaves of its data tree.
    std::vector<QByteArray> dataBlocks(std::uint64_t bid) const
    {
        const QByteArray b = block(bid);
        if (!(bid & 2))
            return {b};
        EXPECT_EQ(b[0], 0x01);
        std::vector<QByteArray> out;
        for (std::size_t i = 0; i < get16(b.constData() + 2); ++i) {
            const std::vector<QByteArray> below = dataBlocks(get64(b.constData() + 8 + 8 * i));
            out.insert(out.end(), below.begin(), below.end());
        }
        return out;
    }

    std::pair<std::uint64_t, std::uint64_t> node(std::uint32_t nid) const
    {
        for (const QByteArray& e : m_nodeEntries) {
            if (get64(e.constData()) == nid)
                return {get64(e.constData() + 8), get64(e.constData() + 16)};
        }
        ADD_FAILURE() << "no node " << nid;
        return {};
    }

    std::uint64_t subnode(std::uint64_t bidSub, std::uint32_t nid) const
    {
        const QByteArray b = block(bidSub);
        EXPECT_EQ(b[0], 0x02);
        const bool leaf = b[1] == 0;
        for (std::size_t i = 0; i < get16(b.constData() + 2); ++i) {
            const char* e = b.constData() + 8 + i * (leaf ? 24 : 16);
            if (leaf && get64(e) == nid)
                return get64(e + 8);
            if (!leaf) {
                const bool last = i + 1 == get16(b.constData() + 2);
                if (last || get64(e + 16) > nid)
                    return subnode(get64(e + 8), nid);
            }
        }
        ADD_FAILURE() << "no sub-node " << nid;
        return 0;
    }

    static QByteArray heapItem(const std::vector<QByteArray>& heap, std::uint32_t hid)
    {
        const QByteArray& b = heap.at(hid >> 16);
        const char* map = b.constData() + get16(b.constData());
        const std::size_t index = ((hid >> 5) & 0x7FF) - 1;
        EXPECT_LT(index, get16(map));
        const std::uint16_t from = get16(map + 4 + 2 * index);
        return b.mid(from, get16(map + 6 + 2 * index) - from);
    }

    static void bthRecords(const std::vector<QByteArray>& heap, std::uint32_t hid, int level,
                           std::vector<std::pair<std::uint32_t, std::uint32_t>>& out)
    {
        const QByteArray n = heapItem(heap, hid);
        for (qsizetype i = 0; i + 8 <= n.size(); i += 8) {
            if (level == 0)
                out.emplace_back(get32(n.constData() + i), get32(n.constData() + i + 4));
            else
                bthRecords(heap, get32(n.constData() + i + 4), level - 1, out);
        }
    }

    struct ContentsRow
    {
        std::uint32_t id;
        std::optional<std::uint32_t> flags;
        std::optional<std::uint32_t> importance;
    };

    // Reads a folder's contents table: row index and row matrix, in row order.
    std::vector<ContentsRow> contentsTable(std::uint32_t folderNid)
    {
        const auto [bidData, bidSub] = node((folderNid & ~0x1Fu) | 0x0E);
        const std::vector<QByteArray> heap = dataBlocks(bidData);
        m_tableHeapBlocks = heap.size();
        EXPECT_EQ(static_cast<std::uint8_t>(heap.at(0)[2]), 0xEC);
        EXPECT_EQ(static_cast<std::uint8_t>(heap.at(0)[3]), 0x7C);
        const QByteArray info = heapItem(heap, get32(heap[0].constData() + 4));
        EXPECT_EQ(static_cast<std::uint8_t>(info[0]), 0x7C);
        const std::uint16_t rowSize = get16(info.constData() + 8);
        std::map<std::uint32_t, std::pair<std::uint16_t, std::uint8_t>> columns; // tag: offset, bit
        for (int c = 0; c < static_cast<std::uint8_t>(info[1]); ++c) {
            const char* d = info.constData() + 22 + 8 * c;
            columns[get32(d)] = {get16(d + 4), static_cast<std::uint8_t>(d[7])};
        }

        const QByteArray bthHeader = heapItem(heap, get32(info.constData() + 10));
        EXPECT_EQ(static_cast<std::uint8_t>(bthHeader[0]), 0xB5);
        std::vector<std::pair<std::uint32_t, std::uint32_t>> index;
        if (get32(bthHeader.constData() + 4))
            bthRecords(heap, get32(bthHeader.constData() + 4), bthHeader[3], index);

        const std::uint32_t rowsHnid = get32(info.constData() + 14);
        std::vector<QByteArray> matrix;
        std::size_t perBlock = 0;
        if (rowsHnid && (rowsHnid & 0x1F) == 0) {
            matrix.push_back(heapItem(heap, rowsHnid));
            perBlock = static_cast<std::size_t>(matrix[0].size()) / rowSize;
        } else if (rowsHnid) {
            matrix = dataBlocks(subnode(bidSub, rowsHnid));
            m_tableMatrixBlocks = matrix.size();
            perBlock = (g_maxBlockData(m_geometry)) / rowSize;
        }
        std::vector<ContentsRow> rows;
        std::uint32_t previous = 0;
        for (const auto& [id, position] : index) {
            EXPECT_LT(previous, id) << "row index out of order";
            previous = id;
            EXPECT_EQ(position, rows.size()) << "rows not in the order of their ids";
            const QByteArray& b = matrix.at(position / perBlock);
            const char* row = b.constData() + (position % perBlock) * rowSize;
            EXPECT_EQ(get32(row), id);
            auto cell = [&](std::uint32_t tag) -> std::optional<std::uint32_t> {
                const auto [offset, bit] = columns.at(tag);
                const char* bitmap = row + get16(info.constData() + 6);
                if (!(static_cast<std::uint8_t>(bitmap[bit / 8]) & (0x80 >> (bit % 8))))
                    return std::nullopt;
                return get32(row + offset);
            };
            rows.push_back(ContentsRow{id, cell(0x0E070003), cell(0x00170003)});
        }
        return rows;
    }

    static std::size_t g_maxBlockData(const Geometry& g) { return g.is4k ? 65536 - 24 : 8192 - 16; }

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
    std::vector<QByteArray> m_blockEntries;
    std::vector<QByteArray> m_nodeEntries;
    std::size_t m_tableHeapBlocks = 0;
    std::size_t m_tableMatrixBlocks = 0;
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
    const std::vector<QByteArray>& blockEntries = m_blockEntries;
    const std::vector<QByteArray>& nodeEntries = m_nodeEntries;
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

TEST_P(StoreStructure, ContentsTablesListEveryMessageInOrder)
{
    // Long enough for a two-level row index, a heap past its first bitmap block (512-byte pages)
    // and a row matrix over many blocks; a short table keeps its rows in the heap.
    const QString path = m_dir.filePath(QStringLiteral("bulk.ost"));
    StoreWriter writer(path, GetParam().options);
    const std::uint32_t top =
        writer.addFolder(StoreWriter::kRootFolder, QStringLiteral("Top"), QString(), FolderRole::IpmSubtree);
    const std::uint32_t bulk = writer.addFolder(top, QStringLiteral("Bulk"), QStringLiteral("IPF.Note"));
    const std::uint32_t few = writer.addFolder(top, QStringLiteral("Few"), QStringLiteral("IPF.Note"));
    const std::uint32_t empty = writer.addFolder(top, QStringLiteral("Empty"), QStringLiteral("IPF.Note"));
    constexpr int kBulk = 12000;
    std::vector<std::uint32_t> bulkIds;
    std::vector<std::uint32_t> fewIds;
    for (int i = 0; i < kBulk; ++i) {
        MessageBuilder m;
        m.subject(QStringLiteral("m%1").arg(i)).flags(i % 2);
        if (i % 3)
            m.property(Property::integer32(0x0017, static_cast<std::uint32_t>(i % 3)));
        bulkIds.push_back(writer.addMessage(bulk, m.build()));
        if (i % 4000 == 0)
            fewIds.push_back(writer.addMessage(few, MessageBuilder().subject(QStringLiteral("f")).build()));
    }
    writer.finish();
    load(path);
    ASSERT_FALSE(HasFatalFailure());

    const std::vector<ContentsRow> rows = contentsTable(bulk);
    ASSERT_EQ(rows.size(), std::size_t(kBulk));
    if (!m_geometry.is4k) {
        EXPECT_GT(m_tableHeapBlocks, 9u);
    }
    EXPECT_GT(m_tableMatrixBlocks, 5u);
    for (int i = 0; i < kBulk; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rows[i].id, bulkIds[i]);
        EXPECT_EQ(rows[i].flags, std::uint32_t(i % 2));
        EXPECT_EQ(rows[i].importance, i % 3 ? std::optional<std::uint32_t>(i % 3) : std::nullopt);
        if (HasFailure())
            break;
    }
    const std::vector<ContentsRow> short_ = contentsTable(few);
    ASSERT_EQ(short_.size(), fewIds.size());
    for (std::size_t i = 0; i < fewIds.size(); ++i)
        EXPECT_EQ(short_[i].id, fewIds[i]);
    EXPECT_TRUE(contentsTable(empty).empty());
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

INSTANTIATE_TEST_SUITE_P(Variants, StoreStructure, ::testing::ValuesIn(kVariants), nameOf<Variant>);

} // namespace
