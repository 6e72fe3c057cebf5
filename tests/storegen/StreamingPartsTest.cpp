// The parts that let the writer work in constant memory: the index spill with its merge, and the
// heap that hands finished blocks over while it grows.
#include "HeapBuilder.h"
#include "RandomMailbox.h"
#include "SortedSpill.h"
#include "StoreWriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <numeric>
#include <random>

using namespace storegen;

namespace {

struct Entry
{
    std::uint32_t id;
    std::uint32_t payload;
    std::uint32_t key() const { return id; }
};

std::vector<std::uint32_t> drained(SortedSpill<Entry>& spill)
{
    std::vector<std::uint32_t> ids;
    spill.drain([&](const Entry& e) {
        EXPECT_EQ(e.payload, e.id * 3u) << "entry torn apart";
        ids.push_back(e.id);
    });
    return ids;
}

TEST(SortedSpill, ReturnsEveryEntryInKeyOrderFromMemoryOrThroughManyRuns)
{
    QTemporaryDir dir;
    std::vector<std::uint32_t> ids(20000);
    std::iota(ids.begin(), ids.end(), 0u);
    std::shuffle(ids.begin(), ids.end(), std::mt19937(7));
    std::vector<std::uint32_t> sorted(ids);
    std::sort(sorted.begin(), sorted.end());

    // One batch (no scratch file), a few runs, and more runs than one merge takes (several passes).
    for (std::size_t batch : {std::size_t(1) << 20, std::size_t(5000), std::size_t(7)}) {
        SCOPED_TRACE(batch);
        SortedSpill<Entry> spill(dir.filePath(QStringLiteral("scratch")), batch);
        for (std::uint32_t id : ids)
            spill.add(Entry{id, id * 3});
        EXPECT_EQ(spill.size(), ids.size());
        if (batch == 7) {
            EXPECT_GT(spill.runCount(), 3 * SortedSpill<Entry>::kFanIn);
        }
        EXPECT_EQ(drained(spill), sorted);
        EXPECT_EQ(spill.size(), 0u);
        EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty()) << "scratch file left behind";
    }
}

TEST(SortedSpill, EmptyAndUnwritableScratch)
{
    QTemporaryDir dir;
    SortedSpill<Entry> empty(dir.filePath(QStringLiteral("scratch")), 4);
    EXPECT_TRUE(drained(empty).empty());

    SortedSpill<Entry> nowhere(dir.filePath(QStringLiteral("missing/scratch")), 4);
    for (std::uint32_t id = 0; id < 3; ++id)
        nowhere.add(Entry{id, id * 3});
    EXPECT_THROW(nowhere.add(Entry{3, 9}), std::runtime_error);
}

QByteArray filled(std::size_t size, int seed)
{
    QByteArray data(static_cast<qsizetype>(size), '\0');
    for (std::size_t i = 0; i < size; ++i)
        data[static_cast<qsizetype>(i)] = static_cast<char>((seed * 31 + int(i)) & 0xFF);
    return data;
}

TEST(HeapBuilder, HandingBlocksOverEarlyGivesTheSameBytes)
{
    // Enough blocks for two bitmap blocks (at 8 and 136), allocations of mixed sizes.
    constexpr std::size_t kMaxBlock = 8176;
    HeapBuilder kept(0x7C, kMaxBlock);
    std::map<std::size_t, QByteArray> received;
    std::size_t heldBack = 0;
    HeapBuilder streamed(0x7C, kMaxBlock, [&](std::size_t index, const QByteArray& bytes) {
        EXPECT_EQ(received.count(index), 0u) << "block " << index << " handed over twice";
        received[index] = bytes;
    });
    std::vector<std::uint32_t> hids;
    for (int i = 0; i < 700; ++i) {
        const QByteArray data = filled(i % 5 == 0 ? 3580 : 700 + std::size_t(i % 13) * 150, i);
        const std::uint32_t hid = kept.allocate(data);
        EXPECT_EQ(streamed.allocate(data), hid);
        hids.push_back(hid);
    }
    const std::size_t blocks = kept.blockCount();
    ASSERT_GT(blocks, 140u);
    // Before the end only the first block, the open one and the incomplete bitmap block wait.
    for (std::size_t b = 1; b + 1 < blocks; ++b) {
        if (b != 136) {
            EXPECT_EQ(received.count(b), 1u) << "block " << b << " still held";
        }
    }
    heldBack = blocks - received.size();
    EXPECT_LE(heldBack, 3u);
    EXPECT_THROW(streamed.replace(hids[50], filled(3580, 50)), std::logic_error);

    kept.setUserRoot(hids.back());
    streamed.setUserRoot(hids.back());
    streamed.finish();
    const std::vector<QByteArray> expected = kept.blocks();
    ASSERT_EQ(received.size(), expected.size());
    for (std::size_t b = 0; b < expected.size(); ++b)
        EXPECT_EQ(received[b], expected[b]) << "block " << b;
}

// Reads a B-tree-on-heap back from in-memory blocks.
struct HeapReader
{
    std::vector<QByteArray> blocks;

    QByteArray at(std::uint32_t hid) const
    {
        const QByteArray& block = blocks.at(hid >> 16);
        const char* p = block.constData();
        const auto map = static_cast<std::uint16_t>(static_cast<unsigned char>(p[0]) |
                                                    (static_cast<unsigned char>(p[1]) << 8));
        const std::size_t index = ((hid >> 5) & 0x7FF) - 1;
        auto offset = [&](std::size_t i) {
            const char* o = p + map + 4 + 2 * i;
            return static_cast<std::size_t>(static_cast<unsigned char>(o[0]) |
                                            (static_cast<unsigned char>(o[1]) << 8));
        };
        return block.mid(static_cast<qsizetype>(offset(index)),
                         static_cast<qsizetype>(offset(index + 1) - offset(index)));
    }

    static std::uint32_t u32(const char* p)
    {
        std::uint32_t v = 0;
        std::memcpy(&v, p, 4);
        return v;
    }

    void collect(std::uint32_t hid, int level, std::size_t recordSize, std::vector<QByteArray>& out) const
    {
        const QByteArray node = at(hid);
        const std::size_t size = level == 0 ? recordSize : 8;
        EXPECT_EQ(node.size() % static_cast<qsizetype>(size), 0);
        for (qsizetype i = 0; i + static_cast<qsizetype>(size) <= node.size();
             i += static_cast<qsizetype>(size)) {
            if (level == 0) {
                out.push_back(node.mid(i, static_cast<qsizetype>(size)));
            } else {
                std::vector<QByteArray> below;
                collect(u32(node.constData() + i + 4), level - 1, recordSize, below);
                EXPECT_EQ(below.front().left(4), node.mid(i, 4)) << "index key is not its child's first key";
                out.insert(out.end(), below.begin(), below.end());
            }
        }
    }
};

TEST(HeapBTreeWriter, BuildsEveryDepthFromRecordsInOrder)
{
    for (std::size_t count : {std::size_t(0), std::size_t(1), std::size_t(447), std::size_t(448),
                              std::size_t(447 * 447), std::size_t(447 * 447 + 1)}) {
        SCOPED_TRACE(count);
        HeapBuilder heap(0x7C, 8176);
        HeapBTreeWriter tree(heap, 4, 4);
        std::vector<QByteArray> records;
        for (std::size_t i = 0; i < count; ++i) {
            QByteArray r(8, '\0');
            const auto key = static_cast<std::uint32_t>(i * 32 + 4);
            const auto value = static_cast<std::uint32_t>(i);
            std::memcpy(r.data(), &key, 4);
            std::memcpy(r.data() + 4, &value, 4);
            tree.add(r.constData());
            records.push_back(r);
        }
        const std::uint32_t headerHid = tree.finish();
        HeapReader reader{heap.blocks()};
        const QByteArray header = reader.at(headerHid);
        ASSERT_EQ(header.size(), 8);
        EXPECT_EQ(static_cast<unsigned char>(header[0]), 0xB5);
        EXPECT_EQ(header[1], 4);
        EXPECT_EQ(header[2], 4);
        const int levels = header[3];
        EXPECT_EQ(levels, count <= 447 ? 0 : count <= 447 * 447 ? 1 : 2);
        std::vector<QByteArray> back;
        if (count > 0)
            reader.collect(HeapReader::u32(header.constData() + 4), levels, 8, back);
        else
            EXPECT_EQ(HeapReader::u32(header.constData() + 4), 0u);
        EXPECT_EQ(back, records);
    }
}

TEST(StoreWriter, SpillingTheIndexChangesNoByte)
{
    QTemporaryDir dir;
    auto written = [&](std::size_t batch) {
        const QString path = dir.filePath(QStringLiteral("batch%1.ost").arg(batch));
        StoreOptions options;
        options.indexBatchEntries = batch;
        StoreWriter writer(path, options);
        RandomMailbox(300, 5).write(writer);
        writer.finish();
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray inMemory = written(std::size_t(1) << 20);
    ASSERT_FALSE(inMemory.isEmpty());
    EXPECT_TRUE(written(10) == inMemory);
    // Only the stores are left: the scratch files are gone.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

} // namespace
