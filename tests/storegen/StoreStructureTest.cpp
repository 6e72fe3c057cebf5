// Checks the written file against the format's own rules, independently of any reader: header
// checksums, every B-tree page and block trailer (checksum, signature, id), sorted keys, block
// references of every node, allocation maps that cover every block, and the file size, in the
// layouts of all three formats.
#include "BlockCipher.h"
#include "Bytes.h"
#include "Checksum.h"
#include "CodePageEncoder.h"
#include "MessageBuilder.h"
#include "RandomMailbox.h"
#include "StoreVariant.h"
#include "StoreWriter.h"

#include <QDir>
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

// Where the format keeps things, as [MS-PST] gives them for each layout.
struct Geometry
{
    std::size_t pageSize;
    std::size_t pageData; // the page trailer's offset
    std::size_t blockAlign;
    std::size_t blockTrailer;
    std::uint64_t firstAMap;
    bool is4k;
    bool ansi;
    std::size_t id;           // the width of ids, offsets and B-tree keys
    std::size_t mapOffset;    // where an allocation map's bits start
    std::size_t mapBytes;     // and how many there are
    std::size_t btreeEntries; // the bytes of entries before a B-tree page's counts
    std::size_t maxBlockData;

    std::uint64_t getId(const char* at) const { return id == 4 ? get32(at) : get64(at); }
    // The id in a page or block trailer, and its checksum.
    std::uint64_t trailerId(const char* trailer) const
    {
        return ansi ? get32(trailer + 4) : get64(trailer + 8);
    }
    std::uint32_t trailerCrc(const char* trailer) const { return get32(trailer + (ansi ? 8 : 4)); }
};

Geometry geometryOf(const StoreOptions& options)
{
    if (options.format == FileFormat::Unicode4k)
        return {4096, 4072, 512, 24, 0x22000, true, false, 8, 0, 4072, 4056, 65536 - 24};
    if (options.format == FileFormat::Ansi)
        return {512, 500, 64, 12, 0x4400, false, true, 4, 4, 496, 496, 8192 - 12};
    return {512, 496, 64, 16, 0x4400, false, false, 8, 0, 496, 488, 8192 - 16};
}

// The header fields the checks need, from either layout.
struct Header
{
    std::uint64_t fileEnd;
    std::uint64_t nbtBid, nbtIb, bbtBid, bbtIb;
    std::uint64_t nextBid;
    std::uint8_t amapValid;
    std::uint8_t sentinel;
    std::uint8_t cryptMethod;
};

Header headerOf(const char* h, const Geometry& g)
{
    if (g.ansi)
        return {get32(h + 168),
                get32(h + 184),
                get32(h + 188),
                get32(h + 192),
                get32(h + 196),
                get32(h + 24),
                static_cast<std::uint8_t>(h[200]),
                static_cast<std::uint8_t>(h[460]),
                static_cast<std::uint8_t>(h[461])};
    return {get64(h + 184),
            get64(h + 216),
            get64(h + 224),
            get64(h + 232),
            get64(h + 240),
            get64(h + 516),
            static_cast<std::uint8_t>(h[248]),
            static_cast<std::uint8_t>(h[512]),
            static_cast<std::uint8_t>(h[513])};
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
        m_header = headerOf(m_file.constData(), m_geometry);
        m_blockEntries.clear();
        m_nodeEntries.clear();
        walk(m_header.bbtBid, m_header.bbtIb, 0x80, -1, m_blockEntries);
        walk(m_header.nbtBid, m_header.nbtIb, 0x81, -1, m_nodeEntries);
    }

    // A block's content as the writer gave it: inflated and decrypted.
    QByteArray block(std::uint64_t bid) const
    {
        const Geometry& g = m_geometry;
        for (const QByteArray& e : m_blockEntries) {
            const char* p = e.constData();
            if ((g.getId(p) & ~std::uint64_t(1)) != bid)
                continue;
            const std::uint16_t cb = get16(p + 2 * g.id);
            const std::uint16_t inflated = g.is4k ? get16(p + 18) : cb;
            QByteArray data(at(g.getId(p + g.id)), cb);
            if (cb != inflated) {
                QByteArray out(inflated, '\0');
                uLongf size = inflated;
                if (uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                               reinterpret_cast<const Bytef*>(data.constData()), cb) != Z_OK ||
                    size != inflated)
                    ADD_FAILURE() << "block " << bid << " does not inflate";
                data = out;
            }
            const auto size = static_cast<std::size_t>(data.size());
            if (!(bid & 2) && GetParam().options.encryption == Encryption::Compressible)
                BlockCipher::unpermute(data.data(), size);
            else if (!(bid & 2) && GetParam().options.encryption == Encryption::High)
                BlockCipher::cycle(data.data(), size, static_cast<std::uint32_t>(bid));
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
            const std::vector<QByteArray> below =
                dataBlocks(m_geometry.getId(b.constData() + 8 + m_geometry.id * i));
            out.insert(out.end(), below.begin(), below.end());
        }
        return out;
    }

    std::pair<std::uint64_t, std::uint64_t> node(std::uint32_t nid) const
    {
        const Geometry& g = m_geometry;
        for (const QByteArray& e : m_nodeEntries) {
            if (g.getId(e.constData()) == nid)
                return {g.getId(e.constData() + g.id), g.getId(e.constData() + 2 * g.id)};
        }
        ADD_FAILURE() << "no node " << nid;
        return {};
    }

    std::uint64_t subnode(std::uint64_t bidSub, std::uint32_t nid) const
    {
        const Geometry& g = m_geometry;
        const QByteArray b = block(bidSub);
        EXPECT_EQ(b[0], 0x02);
        const bool leaf = b[1] == 0;
        // Unicode stores pad the 4-byte header to 8; entries are three ids (leaf) or two.
        const std::size_t header = g.ansi ? 4 : 8;
        for (std::size_t i = 0; i < get16(b.constData() + 2); ++i) {
            const char* e = b.constData() + header + i * (leaf ? 3 : 2) * g.id;
            if (leaf && g.getId(e) == nid)
                return g.getId(e + g.id);
            if (!leaf) {
                const bool last = i + 1 == get16(b.constData() + 2);
                if (last || g.getId(e + 2 * g.id) > nid)
                    return subnode(g.getId(e + g.id), nid);
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

    // The records of a B-tree-on-heap with 4-byte keys and 2- or 4-byte data.
    static void bthRecords(const std::vector<QByteArray>& heap, std::uint32_t hid, int level,
                           std::size_t dataSize, std::vector<std::pair<std::uint32_t, std::uint32_t>>& out)
    {
        const QByteArray n = heapItem(heap, hid);
        const std::size_t record = 4 + (level == 0 ? dataSize : 4);
        for (qsizetype i = 0; i + qsizetype(record) <= n.size(); i += qsizetype(record)) {
            const char* r = n.constData() + i;
            if (level == 0)
                out.emplace_back(get32(r), dataSize == 2 ? get16(r + 4) : get32(r + 4));
            else
                bthRecords(heap, get32(r + 4), level - 1, dataSize, out);
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
        EXPECT_EQ(bthHeader[1], 4);
        // Row positions take 2 bytes in ANSI stores.
        const std::size_t positionSize = m_geometry.ansi ? 2 : 4;
        EXPECT_EQ(static_cast<std::size_t>(bthHeader[2]), positionSize);
        std::vector<std::pair<std::uint32_t, std::uint32_t>> index;
        if (get32(bthHeader.constData() + 4))
            bthRecords(heap, get32(bthHeader.constData() + 4), bthHeader[3], positionSize, index);

        const std::uint32_t rowsHnid = get32(info.constData() + 14);
        std::vector<QByteArray> matrix;
        std::size_t perBlock = 0;
        if (rowsHnid && (rowsHnid & 0x1F) == 0) {
            matrix.push_back(heapItem(heap, rowsHnid));
            perBlock = static_cast<std::size_t>(matrix[0].size()) / rowSize;
        } else if (rowsHnid) {
            matrix = dataBlocks(subnode(bidSub, rowsHnid));
            m_tableMatrixBlocks = matrix.size();
            perBlock = m_geometry.maxBlockData / rowSize;
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
        EXPECT_EQ(g.trailerCrc(trailer), Checksum::crc(page, g.pageData));
        EXPECT_EQ(g.trailerId(trailer), bid);

        const std::size_t metaAt = g.btreeEntries;
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
            const std::uint64_t key = g.getId(e);
            if (i > 0) {
                EXPECT_LT(previous, key) << "keys out of order";
            }
            previous = key;
            if (level > 0) {
                ASSERT_EQ(entrySize, 3 * g.id);
                std::vector<QByteArray> below;
                walk(g.getId(e + g.id), g.getId(e + 2 * g.id), ptype, level - 1, below);
                ASSERT_FALSE(below.empty());
                EXPECT_EQ(g.getId(below.front().constData()), key)
                    << "branch key is not its child's first key";
                leaves.insert(leaves.end(), below.begin(), below.end());
            } else {
                leaves.emplace_back(e, static_cast<qsizetype>(entrySize));
            }
        }
    }

    bool allocated(std::uint64_t offset) const
    {
        const Geometry& g = m_geometry;
        const std::uint64_t regionSize = std::uint64_t(g.mapBytes) * 8 * g.blockAlign;
        const std::uint64_t region = (offset - g.firstAMap) / regionSize;
        const std::uint64_t unit = (offset - g.firstAMap - region * regionSize) / g.blockAlign;
        const char* map = at(g.firstAMap + region * regionSize + g.mapOffset);
        return (static_cast<std::uint8_t>(map[unit / 8]) & (0x80u >> (unit % 8))) != 0;
    }

    Geometry m_geometry{};
    Header m_header{};
    QTemporaryDir m_dir;
    QByteArray m_file;
    std::vector<QByteArray> m_blockEntries;
    std::vector<QByteArray> m_nodeEntries;
    std::size_t m_tableHeapBlocks = 0;
    std::size_t m_tableMatrixBlocks = 0;
};

TEST_P(StoreStructure, HeaderChecksumsAndFields)
{
    const Geometry& g = m_geometry;
    const char* h = m_file.constData();
    EXPECT_EQ(QByteArray(h, 4), QByteArray("!BDN"));
    EXPECT_EQ(get32(h + 4), Checksum::crc(h + 8, 471));
    // ANSI headers end at 512 bytes, without the second checksum.
    if (!g.ansi) {
        EXPECT_EQ(get32(h + 524), Checksum::crc(h + 8, 516));
    }
    EXPECT_EQ(QByteArray(h + 8, 2),
              GetParam().options.kind == StoreKind::Offline ? QByteArray("SO") : QByteArray("SM"));
    EXPECT_EQ(get16(h + 10), g.is4k ? 36 : g.ansi ? 14 : 23);
    EXPECT_EQ(get16(h + 12), 19);
    EXPECT_EQ(m_header.sentinel, 0x80);
    const Encryption encryption = GetParam().options.encryption;
    EXPECT_EQ(m_header.cryptMethod, encryption == Encryption::Compressible ? 1
                                    : encryption == Encryption::High       ? 2
                                                                           : 0);
    EXPECT_EQ(m_header.fileEnd, static_cast<std::uint64_t>(m_file.size()));
    EXPECT_EQ(m_header.amapValid, 0x02);
    const std::uint64_t regionSize = std::uint64_t(g.mapBytes) * 8 * g.blockAlign;
    EXPECT_EQ(g.getId(h + (g.ansi ? 172 : 192)), m_header.fileEnd - regionSize) << "last allocation map";
    EXPECT_EQ(QByteArray(h + (g.ansi ? 204 : 256), 256), QByteArray(256, '\xFF')) << "free maps";
    if (g.ansi) {
        EXPECT_EQ(get32(h + 28), m_header.nextBid) << "next page id";
        EXPECT_EQ(QByteArray(h + 512, 0x4400 - 512), QByteArray(0x4400 - 512, '\0'));
    }
}

TEST_P(StoreStructure, BlocksNodesAndMapsAreConsistent)
{
    const Geometry& g = m_geometry;
    const char* h = m_file.constData();
    const std::vector<QByteArray>& blockEntries = m_blockEntries;
    const std::vector<QByteArray>& nodeEntries = m_nodeEntries;
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_GT(blockEntries.size(), 500u);

    const std::uint64_t nextBid = m_header.nextBid;
    std::map<std::uint64_t, BlockRef> blocks;
    for (const QByteArray& e : blockEntries) {
        ASSERT_EQ(static_cast<std::size_t>(e.size()), g.ansi ? 12u : 24u);
        const char* p = e.constData();
        const std::uint64_t bid = g.getId(p);
        const std::uint16_t cb = get16(p + 2 * g.id);
        const BlockRef ref{g.getId(p + g.id), cb, g.is4k ? get16(p + 18) : cb};
        blocks.emplace(bid, ref);
        SCOPED_TRACE(bid);
        EXPECT_LT(bid, nextBid);
        EXPECT_EQ(get16(p + 2 * g.id + (g.is4k ? 4 : 2)), 2u) << "reference count";
        ASSERT_EQ(ref.ib % g.blockAlign, 0u);
        const std::uint64_t total =
            (ref.cb + g.blockTrailer + g.blockAlign - 1) / g.blockAlign * g.blockAlign;
        ASSERT_LE(ref.ib + total, static_cast<std::uint64_t>(m_file.size()));
        EXPECT_LE(total, g.is4k ? 65536u : 8192u);
        const char* trailer = at(ref.ib + total - g.blockTrailer);
        EXPECT_EQ(get16(trailer), ref.cb);
        EXPECT_EQ(get16(trailer + 2), Checksum::signature(ref.ib, bid));
        EXPECT_EQ(g.trailerCrc(trailer), Checksum::crc(at(ref.ib), ref.cb));
        EXPECT_EQ(g.trailerId(trailer), bid);
        if (g.is4k) {
            EXPECT_EQ(get16(trailer + 18), ref.inflated);
            if (bid & 2) {
                EXPECT_EQ(ref.cb, ref.inflated) << "internal blocks are never deflated";
            }
        }
        for (std::uint64_t o = ref.ib; o < ref.ib + total; o += g.blockAlign)
            EXPECT_TRUE(allocated(o)) << "block not marked in its allocation map";
    }

    // Node ids are below the counters the header keeps for each node type.
    const char* nidCounters = h + (g.ansi ? 36 : 44);
    std::set<std::uint32_t> nids;
    for (const QByteArray& e : nodeEntries) {
        ASSERT_EQ(static_cast<std::size_t>(e.size()), g.ansi ? 16u : 32u);
        const char* p = e.constData();
        const auto nid = static_cast<std::uint32_t>(g.getId(p));
        EXPECT_TRUE(nids.insert(nid).second);
        EXPECT_EQ(blocks.count(g.getId(p + g.id)), 1u) << "node " << nid << " has no data block";
        const std::uint64_t sub = g.getId(p + 2 * g.id);
        if (sub) {
            EXPECT_EQ(blocks.count(sub), 1u) << "node " << nid << " has no sub-node block";
        }
        EXPECT_LT(nid >> 5, get32(nidCounters + 4 * (nid & 0x1F)) >> 5) << "node " << nid;
    }
    for (std::uint32_t required : {0x21u, 0x61u, 0x122u, 0x12Du, 0x12Eu, 0x12Fu})
        EXPECT_EQ(nids.count(required), 1u) << required;

    // Every allocation map page, and every eighth region's page map, sits where the format puts it
    // and checks out.
    const std::uint64_t regionSize = std::uint64_t(g.mapBytes) * 8 * g.blockAlign;
    ASSERT_EQ((static_cast<std::uint64_t>(m_file.size()) - g.firstAMap) % regionSize, 0u);
    for (std::uint64_t ib = g.firstAMap; ib < static_cast<std::uint64_t>(m_file.size()); ib += regionSize) {
        SCOPED_TRACE(ib);
        const bool withPageMap = !g.is4k && (ib - g.firstAMap) / regionSize % 8 == 0;
        for (std::uint64_t page = ib; page <= ib + (withPageMap ? g.pageSize : 0); page += g.pageSize) {
            const char* trailer = at(page + g.pageData);
            EXPECT_EQ(static_cast<std::uint8_t>(trailer[0]), page == ib ? 0x84 : 0x83);
            EXPECT_EQ(g.trailerCrc(trailer), Checksum::crc(at(page), g.pageData));
            EXPECT_EQ(g.trailerId(trailer), page);
            EXPECT_EQ(QByteArray(at(page), static_cast<qsizetype>(g.mapOffset)),
                      QByteArray(static_cast<qsizetype>(g.mapOffset), '\0'));
            EXPECT_TRUE(allocated(page));
        }
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

TEST(BlockCipher, CompressibleEncryptionIsTheFormatsSubstitution)
{
    QByteArray all(256, '\0');
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<char>(i);
    QByteArray coded = all;
    BlockCipher::permute(coded.data(), 256);
    EXPECT_EQ(coded.left(8), QByteArray("\x41\x36\x13\x62\xA8\x21\x6E\xBB"));
    std::set<char> distinct(coded.begin(), coded.end());
    EXPECT_EQ(distinct.size(), 256u);
    BlockCipher::unpermute(coded.data(), 256);
    EXPECT_EQ(coded, all);
    // The decoding table as the format lists it, first and last entries.
    QByteArray decoded = all;
    BlockCipher::unpermute(decoded.data(), 256);
    EXPECT_EQ(decoded.left(8), QByteArray("\x47\xF1\xB4\xE6\x0B\x6A\x72\x48"));
    EXPECT_EQ(static_cast<std::uint8_t>(decoded[255]), 236);
}

TEST(BlockCipher, HighEncryptionIsKeyedByTheBlockIdAndItsOwnInverse)
{
    // Worked through the format's tables by hand: 0 with the keys 0 and 1.
    for (const auto& [key, expected] : {std::pair<std::uint32_t, std::uint8_t>{0, 185}, {1, 50}}) {
        char b = 0;
        BlockCipher::cycle(&b, 1, key);
        EXPECT_EQ(static_cast<std::uint8_t>(b), expected) << key;
    }
    QByteArray data(5000, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 31 / 7);
    for (std::uint32_t key : {0u, 4u, 0x12345678u, 0xFFFFFFFCu}) {
        SCOPED_TRACE(key);
        QByteArray coded = data;
        BlockCipher::cycle(coded.data(), static_cast<std::size_t>(coded.size()), key);
        EXPECT_NE(coded, data);
        QByteArray other = data;
        BlockCipher::cycle(other.data(), static_cast<std::size_t>(other.size()), key + 4);
        EXPECT_NE(coded, other);
        BlockCipher::cycle(coded.data(), static_cast<std::size_t>(coded.size()), key);
        EXPECT_EQ(coded, data);
    }
    // The key folds its halves together.
    QByteArray low = data;
    QByteArray high = data;
    BlockCipher::cycle(low.data(), 100, 0x00000004);
    BlockCipher::cycle(high.data(), 100, 0x00040000);
    EXPECT_EQ(low, high);
}

TEST(CodePageEncoder, KnowsWhatItCannotEncodeAndRecoversFromIt)
{
    EXPECT_EQ(CodePageEncoder::nameOf(932), QByteArray("Shift_JIS"));
    EXPECT_EQ(CodePageEncoder::nameOf(1251), QByteArray("windows-1251"));
    for (std::uint32_t refused : {0u, 1200u, 1201u, 12345u})
        EXPECT_FALSE(CodePageEncoder::nameOf(refused).has_value()) << refused;
    EXPECT_THROW(CodePageEncoder(12345), std::runtime_error);

    // A text with characters the code page lacks must not spoil the ones after it.
    CodePageEncoder latin(1252);
    EXPECT_EQ(latin.encode(u"日本 Grüße"), QByteArray("?? Gr\xFC\xDF"
                                                      "e"));
    EXPECT_EQ(latin.encode(u"Grüße"), QByteArray("Gr\xFC\xDF"
                                                 "e"));
    EXPECT_EQ(latin.encode(u"Ωmega €"), QByteArray("?mega \x80"));
    CodePageEncoder japanese(932);
    EXPECT_EQ(japanese.encode(u"Gr€ 日本"), QByteArray("Gr? \x93\xFA\x96\x7B"));
}

TEST(Checksum, MatchesTheFormatsCheckValues)
{
    // CRC-32 with the reflected polynomial, started at zero and not inverted.
    EXPECT_EQ(Checksum::crc("", 0), 0u);
    EXPECT_EQ(Checksum::crc("123456789", 9), 0x2DFD2D88u);
    EXPECT_EQ(Checksum::signature(0x4400, 0x4), std::uint16_t(0x4404 ^ 0));
}

TEST(AnsiLimits, AStorePastTheSizeLimitFailsAndLeavesNothingBehind)
{
    QTemporaryDir dir;
    StoreOptions options;
    options.format = FileFormat::Ansi;
    options.maxFileSize = 4 << 20;
    try {
        StoreWriter writer(dir.filePath(QStringLiteral("big.pst")), options);
        const std::uint32_t folder =
            writer.addFolder(StoreWriter::kRootFolder, QStringLiteral("f"), QString());
        writer.addMessage(folder, MessageBuilder().subject(QStringLiteral("fits")).build());
        writer.addMessage(
            folder,
            MessageBuilder().attach(QStringLiteral("big.bin"), QString(), QByteArray(5 << 20, 'x')).build());
        writer.finish();
        ADD_FAILURE() << "wrote a store past its limit";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("larger than 4194304 bytes"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

TEST(AnsiLimits, AFolderOfMoreRowsThanTwoByteIndexesCountIsRefused)
{
    QTemporaryDir dir;
    StoreOptions options;
    options.format = FileFormat::Ansi;
    StoreWriter writer(dir.filePath(QStringLiteral("rows.pst")), options);
    const std::uint32_t folder = writer.addFolder(StoreWriter::kRootFolder, QStringLiteral("f"), QString());
    const Message tiny = MessageBuilder().build();
    for (int i = 0; i < 65536; ++i)
        writer.addMessage(folder, tiny);
    EXPECT_THROW(writer.addMessage(folder, tiny), std::runtime_error);
}

INSTANTIATE_TEST_SUITE_P(Variants, StoreStructure, ::testing::ValuesIn(allVariants()), nameOf<Variant>);

} // namespace
