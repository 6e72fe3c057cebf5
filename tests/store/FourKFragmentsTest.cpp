// Pages and blocks of a real 4k-page offline store written by Outlook itself (the fragments in the
// shared test data), read with the native reader's own page, B-tree, block, heap and property
// code: so that the 4k layout is not checked against storegen's idea of it alone.
#include "TestDataPath.h"
#include "store/StoreError.h"
#include "store/native/BTreePage.h"
#include "store/native/BlockTrailer.h"
#include "store/native/Bytes.h"
#include "store/native/Checksum.h"
#include "store/native/FileSource.h"
#include "store/native/Heap.h"
#include "store/native/NameToIdMap.h"
#include "store/native/PropertyContext.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <map>

using namespace store::native;

namespace {

class FourKFragments : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!QFile::exists(fragment(QStringLiteral("node.raw"))))
            GTEST_SKIP() << "no 4k fragments in the shared test data";
    }
    static QString fragment(const QString& name)
    {
        return sharedTestData(QStringLiteral("fragments-4k/") + name);
    }
    static QByteArray bytes(const QString& name)
    {
        QFile file(fragment(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static BTreePage page(const QString& name, PageType type)
    {
        const FileSource file(fragment(name));
        return BTreePage::read(file, m_layout, BlockRef{0, 0}, type);
    }
    static const Layout m_layout;
};
const Layout FourKFragments::m_layout = Layout::of(Format::Unicode4k);

TEST_F(FourKFragments, NodeIndexPagesParse)
{
    const BTreePage leaf = page(QStringLiteral("btree_leaf_node.raw"), PageType::NodeBTree);
    EXPECT_EQ(leaf.level(), 0);
    EXPECT_EQ(leaf.entrySize(), 32);
    EXPECT_EQ(leaf.count(), 117);
    // The message store node and its data block; node ids ascend.
    EXPECT_EQ(get64(leaf.entry(0)), 0x21u);
    EXPECT_EQ(get64(leaf.entry(0) + 8), 0x110BCu);
    for (int i = 1; i < leaf.count(); ++i)
        EXPECT_LT(get32(leaf.entry(i - 1)), get32(leaf.entry(i))) << i;

    const BTreePage inner = page(QStringLiteral("node.raw"), PageType::NodeBTree);
    EXPECT_EQ(inner.level(), 1);
    EXPECT_EQ(inner.count(), 6);
    for (int i = 1; i < inner.count(); ++i)
        EXPECT_LT(readChildRef(m_layout, inner.entry(i - 1)).key, readChildRef(m_layout, inner.entry(i)).key);
    for (int i = 0; i < inner.count(); ++i)
        EXPECT_EQ(readChildRef(m_layout, inner.entry(i)).page.ib % 4096, 0u)
            << "pages lie on 4 KB boundaries";
}

TEST_F(FourKFragments, BlockIndexPagesParse)
{
    const BTreePage leaf = page(QStringLiteral("btree_leaf_block.raw"), PageType::BlockBTree);
    EXPECT_EQ(leaf.level(), 0);
    EXPECT_EQ(leaf.entrySize(), 24);
    EXPECT_EQ(leaf.count(), 100);
    // bid, offset, stored size, inflated size, references.
    EXPECT_EQ(get64(leaf.entry(0)), 4u);
    EXPECT_EQ(get64(leaf.entry(0) + 8), 0x25000u);
    EXPECT_EQ(get16(leaf.entry(0) + 16), 0xACu);
    EXPECT_EQ(get16(leaf.entry(0) + 18), 0xACu);
    for (int i = 0; i < leaf.count(); ++i) {
        const char* e = leaf.entry(i);
        EXPECT_LE(get16(e + 16), get16(e + 18)) << "a block is never larger than inflated, entry " << i;
        EXPECT_LE(get16(e + 18), m_layout.maxBlockData());
        EXPECT_EQ(get64(e + 8) % m_layout.blockAlign, 0u) << "blocks lie on 512-byte boundaries, entry " << i;
        if (i > 0) {
            EXPECT_LT(get64(leaf.entry(i - 1)), get64(e));
        }
    }
    const BTreePage inner = page(QStringLiteral("block.raw"), PageType::BlockBTree);
    EXPECT_EQ(inner.level(), 1);
    EXPECT_EQ(inner.count(), 31);
}

TEST_F(FourKFragments, APageOfTheOtherTreeOrWithAFlippedBitIsRefused)
{
    EXPECT_THROW(page(QStringLiteral("node.raw"), PageType::BlockBTree), store::StoreError);
    QByteArray damaged = bytes(QStringLiteral("btree_leaf_node.raw"));
    ASSERT_EQ(damaged.size(), 4096);
    damaged[100] = static_cast<char>(damaged[100] ^ 1);
    const QString path = QDir::temp().filePath(
        QStringLiteral("ost2eml-fragment-%1.raw").arg(QCoreApplication::applicationPid()));
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(damaged);
    out.close();
    const FileSource file(path);
    EXPECT_THROW(BTreePage::read(file, m_layout, BlockRef{0, 0}, PageType::NodeBTree), store::StoreError);
    QFile::remove(path);
}

TEST_F(FourKFragments, ADataBlockChecksAndHoldsAPropertyContext)
{
    const QByteArray block = bytes(QStringLiteral("block_raw.raw"));
    ASSERT_EQ(block.size(), 512);
    const BlockTrailer trailer =
        BlockTrailer::read(m_layout, block.constData() + 512 - m_layout.blockTrailerSize);
    EXPECT_EQ(trailer.size, 0x1C8);
    EXPECT_EQ(trailer.inflated, 0x1C8);
    EXPECT_EQ(trailer.bid, 0x110BCu) << "the message store's block, as the node index page lists it";
    EXPECT_EQ(trailer.crc, formatCrc(block.constData(), trailer.size));
    EXPECT_EQ(m_layout.alignedBlockSize(trailer.size), 512u);

    const Heap heap({block.left(trailer.size)}, 0x21);
    EXPECT_EQ(heap.client(), HeapClient::PropertyContext);
    const std::vector<PropertyEntry> properties = readPropertyContext(heap);
    std::map<std::uint16_t, std::uint16_t> types;
    for (const PropertyEntry& p : properties)
        types[p.storedId] = p.type;
    // The message store's own properties: its record key and display name.
    EXPECT_EQ(types[0x0FF9], 0x0102);
    EXPECT_EQ(types[0x3001], 0x001F);
    EXPECT_GE(properties.size(), 10u);
}

TEST_F(FourKFragments, TheNameToIdMapAndItsEntryStreamParse)
{
    const QByteArray map = bytes(QStringLiteral("id_map.raw"));
    const Heap heap({map}, 0x61);
    std::map<std::uint16_t, PropertyEntry> byId;
    for (const PropertyEntry& p : readPropertyContext(heap))
        byId[p.storedId] = p;
    ASSERT_TRUE(byId.count(0x0001) && byId.count(0x0002) && byId.count(0x0003) && byId.count(0x0004));
    EXPECT_EQ(get32(byId[0x0001].inlineBytes), 251u) << "the bucket count";
    EXPECT_EQ(byId[0x0003].storage, PropertyEntry::Storage::Subnode)
        << "a large entry stream lies in a sub-node";
    EXPECT_EQ(byId[0x0003].type, 0x0102);
    EXPECT_GT(byId.size(), 250u) << "one bucket property per bucket";

    const QByteArray stream = bytes(QStringLiteral("stream_entry.raw"));
    ASSERT_EQ(stream.size() % 8, 0);
    const NameToIdMap names(stream, {}, {});
    EXPECT_EQ(names.size(), static_cast<std::size_t>(stream.size() / 8));
    const auto mapped = [&](std::uint16_t storedId) {
        PropertyEntry entry;
        entry.storedId = storedId;
        entry.id = storedId;
        names.apply(entry);
        return entry;
    };
    EXPECT_EQ(mapped(0x8000).id, 0x8578u);
    EXPECT_EQ(mapped(0x8001).id, 0x8205u) << "the appointment's busy status, read as 0x8205";
    EXPECT_TRUE(mapped(0x8000).findable);
    EXPECT_EQ(mapped(0x0037).id, 0x0037u) << "ordinary ids are not mapped";
}

} // namespace
