#include "NdbWriter.h"

#include "BlockCipher.h"
#include "Bytes.h"
#include "Checksum.h"

#include <QFile>
#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <stdexcept>
#include <unistd.h>
#include <zlib.h>

namespace storegen {

using namespace bytes;

namespace {

constexpr std::uint8_t kPageBbt = 0x80;
constexpr std::uint8_t kPageNbt = 0x81;
constexpr std::uint8_t kPagePMap = 0x83;
constexpr std::uint8_t kPageAMap = 0x84;
constexpr std::size_t kUnicodeHeaderSize = 564;
constexpr std::size_t kAnsiHeaderSize = 512;
// ANSI stores address their bytes with 32-bit offsets, which readers take as signed.
constexpr std::uint64_t kAnsiSizeLimit = 0x7FFFFFFF;

std::uint64_t alignUp(std::uint64_t value, std::uint64_t align)
{
    return (value + align - 1) / align * align;
}

[[noreturn]] void fail(const QString& what)
{
    throw std::runtime_error(what.toStdString());
}

} // namespace

NdbWriter::NdbWriter(const QString& path, const StoreOptions& options)
    : m_options(options), m_path(path), m_blocks(path + QStringLiteral(".blocks"), options.indexBatchEntries),
      m_nodes(path + QStringLiteral(".nodes"), options.indexBatchEntries)
{
    m_ansi = options.format == FileFormat::Ansi;
    m_idSize = m_ansi ? 4 : 8;
    m_mapOffset = 0;
    if (options.format == FileFormat::Unicode4k) {
        m_pageSize = 4096;
        m_pageData = 4072;
        m_mapBytes = 4072;
        m_btreeEntries = 4056;
        m_blockAlign = 512;
        m_blockTrailer = 24;
        m_maxBlockData = 65536 - 24;
        m_firstAMap = 0x22000;
    } else if (m_ansi) {
        // 12-byte trailers; an allocation map starts with a padding dword.
        m_pageSize = 512;
        m_pageData = 500;
        m_mapOffset = 4;
        m_mapBytes = 496;
        m_btreeEntries = 496;
        m_blockAlign = 64;
        m_blockTrailer = 12;
        m_maxBlockData = 8192 - 12;
        m_firstAMap = 0x4400;
    } else {
        m_pageSize = 512;
        m_pageData = 496;
        m_mapBytes = 496;
        m_btreeEntries = 488;
        m_blockAlign = 64;
        m_blockTrailer = 16;
        m_maxBlockData = 8192 - 16;
        m_firstAMap = 0x4400;
    }
    // One allocation-map page covers as many allocation units as its map has bits.
    m_regionSize = static_cast<std::uint64_t>(m_mapBytes) * 8 * m_blockAlign;
    m_sizeLimit = options.maxFileSize ? options.maxFileSize
                  : m_ansi            ? kAnsiSizeLimit
                                      : std::numeric_limits<std::uint64_t>::max();

    m_file = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!m_file)
        fail(QStringLiteral("cannot create %1").arg(path));
    m_buffer.resize(4 << 20);
    std::setvbuf(m_file, m_buffer.data(), _IOFBF, m_buffer.size());
    m_pos = m_firstAMap;
    ensureRegion(0);
}

NdbWriter::~NdbWriter()
{
    if (m_file)
        std::fclose(m_file);
}

std::uint64_t NdbWriter::regionStart(std::uint64_t index) const
{
    return m_firstAMap + index * m_regionSize;
}

std::uint64_t NdbWriter::regionReservedEnd(std::uint64_t index) const
{
    // Every eighth region also carries a page map right after its allocation map.
    const std::uint64_t pages = (m_options.format != FileFormat::Unicode4k && index % 8 == 0) ? 2 : 1;
    return regionStart(index) + pages * m_pageSize;
}

void NdbWriter::ensureRegion(std::uint64_t index)
{
    // Space is handed out in file order, so a region is complete once the writing leaves it.
    while (m_regions <= index) {
        // The file ends with the last region, so a region that would end beyond the limit
        // is never begun.
        if (regionStart(m_regions + 1) > m_sizeLimit)
            fail(QStringLiteral("the store would be larger than %1 bytes%2")
                     .arg(m_sizeLimit)
                     .arg(m_ansi && !m_options.maxFileSize ? QStringLiteral(", the most an ANSI store holds")
                                                           : QString()));
        if (m_regions > 0)
            writeRegionMaps();
        m_allocation.assign(m_mapBytes, 0);
        const std::uint64_t start = regionStart(m_regions);
        const std::uint64_t reservedEnd = regionReservedEnd(m_regions);
        ++m_regions;
        markAllocated(start, reservedEnd - start);
    }
}

void NdbWriter::markAllocated(std::uint64_t offset, std::uint64_t size)
{
    const std::uint64_t start = regionStart(m_regions - 1);
    if (offset < start || offset + size > start + m_regionSize)
        fail(QStringLiteral("allocation outside the current region"));
    const std::uint64_t first = (offset - start) / m_blockAlign;
    const std::uint64_t last = (offset + size - start + m_blockAlign - 1) / m_blockAlign;
    for (std::uint64_t unit = first; unit < last; ++unit)
        m_allocation[unit / 8] |= static_cast<std::uint8_t>(0x80u >> (unit % 8));
}

void NdbWriter::markFree(std::uint64_t offset, std::uint64_t size)
{
    // Freed space is always what was just allocated, so it lies in the current region.
    const std::uint64_t start = regionStart(m_regions - 1);
    const std::uint64_t first = (offset - start) / m_blockAlign;
    const std::uint64_t last = (offset + size - start + m_blockAlign - 1) / m_blockAlign;
    for (std::uint64_t unit = first; unit < last; ++unit)
        m_allocation[unit / 8] &= static_cast<std::uint8_t>(~(0x80u >> (unit % 8)));
}

void NdbWriter::writeRegionMaps()
{
    const std::uint64_t r = m_regions - 1;
    for (std::uint8_t byte : m_allocation)
        m_freeUnits += static_cast<std::uint64_t>(8 - __builtin_popcount(byte));

    // Map pages carry no signature, and their own offset as their id.
    QByteArray page(static_cast<qsizetype>(m_pageSize), '\0');
    std::memcpy(page.data() + m_mapOffset, m_allocation.data(), m_mapBytes);
    const std::uint64_t ib = regionStart(r);
    sealPage(page.data(), kPageAMap, 0, ib);
    writeAt(ib, page.constData(), m_pageSize);
    if (regionReservedEnd(r) - ib > m_pageSize) {
        QByteArray pmap(static_cast<qsizetype>(m_pageSize), '\0');
        std::memset(pmap.data() + m_mapOffset, 0xFF, m_mapBytes);
        sealPage(pmap.data(), kPagePMap, 0, ib + m_pageSize);
        writeAt(ib + m_pageSize, pmap.constData(), m_pageSize);
    }
}

std::uint64_t NdbWriter::allocate(std::uint64_t size, std::uint64_t align)
{
    std::uint64_t pos = alignUp(m_pos, align);
    for (;;) {
        const std::uint64_t region = (pos - m_firstAMap) / m_regionSize;
        ensureRegion(region);
        const std::uint64_t reservedEnd = regionReservedEnd(region);
        if (pos < reservedEnd) {
            pos = alignUp(reservedEnd, align);
            continue;
        }
        if (pos + size > regionStart(region + 1)) {
            pos = regionStart(region + 1);
            continue;
        }
        break;
    }
    markAllocated(pos, size);
    m_pos = pos + size;
    return pos;
}

void NdbWriter::writeAt(std::uint64_t offset, const char* data, std::size_t size)
{
    if (offset != m_filePos) {
        if (fseeko(m_file, static_cast<off_t>(offset), SEEK_SET) != 0)
            fail(QStringLiteral("cannot seek in %1").arg(m_path));
    }
    if (std::fwrite(data, 1, size, m_file) != size)
        fail(QStringLiteral("cannot write %1").arg(m_path));
    m_filePos = offset + size;
}

std::uint64_t NdbWriter::nextBid(bool internal)
{
    const std::uint64_t bid = (m_nextBidIndex++ << 2) | (internal ? 2u : 0u);
    return bid;
}

void NdbWriter::putId(char* at, std::uint64_t value) const
{
    if (m_ansi)
        put32(at, static_cast<std::uint32_t>(value));
    else
        put64(at, value);
}

void NdbWriter::appendId(QByteArray& out, std::uint64_t value) const
{
    if (m_ansi)
        append32(out, static_cast<std::uint32_t>(value));
    else
        append64(out, value);
}

void NdbWriter::sealPage(char* page, std::uint8_t ptype, std::uint16_t signature, std::uint64_t bid) const
{
    char* trailer = page + m_pageData;
    trailer[0] = static_cast<char>(ptype);
    trailer[1] = static_cast<char>(ptype);
    put16(trailer + 2, signature);
    const std::uint32_t crc = Checksum::crc(page, m_pageData);
    // The ANSI trailer has the id before the checksum.
    if (m_ansi) {
        put32(trailer + 4, static_cast<std::uint32_t>(bid));
        put32(trailer + 8, crc);
    } else {
        put32(trailer + 4, crc);
        put64(trailer + 8, bid);
    }
}

namespace {

// Deflates data with zlib; empty when that does not make it smaller.
QByteArray deflated(const char* data, std::size_t size)
{
    uLongf packedSize = compressBound(static_cast<uLong>(size));
    QByteArray packed(static_cast<qsizetype>(packedSize), '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(data),
                  static_cast<uLong>(size), 1) != Z_OK ||
        packedSize >= size)
        return {};
    packed.truncate(static_cast<qsizetype>(packedSize));
    return packed;
}

} // namespace

QByteArray NdbWriter::storedForm(const QByteArray& data, std::uint64_t bid, bool internal,
                                 bool mayDeflate) const
{
    QByteArray payload = data;
    // Readers inflate a 4k block first and then undo the encryption, so encryption comes first.
    if (!internal && m_options.encryption == Encryption::Compressible)
        BlockCipher::permute(payload.data(), static_cast<std::size_t>(payload.size()));
    else if (!internal && m_options.encryption == Encryption::High)
        BlockCipher::cycle(payload.data(), static_cast<std::size_t>(payload.size()),
                           static_cast<std::uint32_t>(bid));
    if (m_options.format == FileFormat::Unicode4k && !payload.isEmpty() && !internal && mayDeflate) {
        // 4k stores keep a data block deflated (zlib) when that makes it smaller; readers inflate
        // external blocks only, so data-tree and sub-node blocks stay as they are. Deflating
        // random bytes is slow and gains nothing, so a large block is tried on a sample first.
        constexpr std::size_t kSample = 4096;
        const auto size = static_cast<std::size_t>(payload.size());
        const bool promising = size <= 2 * kSample ||
                               deflated(payload.constData(), kSample).size() < qsizetype(kSample * 15 / 16);
        if (promising) {
            QByteArray packed = deflated(payload.constData(), size);
            if (!packed.isEmpty())
                payload = packed;
        }
    }
    return payload;
}

std::uint64_t NdbWriter::writeBlock(const QByteArray& data, bool internal)
{
    return writeBlock(data, internal, true);
}

std::uint64_t NdbWriter::writeBlock(const QByteArray& data, bool internal, bool mayDeflate)
{
    if (static_cast<std::size_t>(data.size()) > m_maxBlockData)
        fail(QStringLiteral("block of %1 bytes is too large").arg(data.size()));
    const std::uint64_t bid = nextBid(internal);
    const QByteArray payload = storedForm(data, bid, internal, mayDeflate);
    const std::size_t total =
        alignUp(static_cast<std::uint64_t>(payload.size()) + m_blockTrailer, m_blockAlign);
    const std::uint64_t ib = allocate(total, m_blockAlign);

    QByteArray block(static_cast<qsizetype>(total), '\0');
    std::memcpy(block.data(), payload.constData(), static_cast<std::size_t>(payload.size()));
    char* trailer = block.data() + total - m_blockTrailer;
    const auto cb = static_cast<std::uint16_t>(payload.size());
    const std::uint32_t crc = Checksum::crc(payload.constData(), static_cast<std::size_t>(payload.size()));
    put16(trailer, cb);
    put16(trailer + 2, Checksum::signature(ib, bid));
    // As in pages, the ANSI trailer has the id before the checksum.
    if (m_ansi) {
        put32(trailer + 4, static_cast<std::uint32_t>(bid));
        put32(trailer + 8, crc);
    } else {
        put32(trailer + 4, crc);
        put64(trailer + 8, bid);
    }
    if (m_blockTrailer == 24)
        put16(trailer + 18, static_cast<std::uint16_t>(data.size())); // the inflated size
    writeAt(ib, block.constData(), static_cast<std::size_t>(block.size()));
    const BlockEntry entry{bid, ib, cb, static_cast<std::uint16_t>(data.size()), 2};
    if (m_freeing) {
        markFree(ib, total);
        m_freedBlocks.push_back(entry);
    } else {
        m_blocks.add(entry);
    }
    return bid;
}

std::uint64_t NdbWriter::writeDataTree(const std::vector<QByteArray>& chunks)
{
    if (chunks.empty())
        return writeBlock(QByteArray(), false);
    if (chunks.size() == 1)
        return writeBlock(chunks.front(), false);
    std::vector<DataLeaf> leaves;
    leaves.reserve(chunks.size());
    for (const QByteArray& chunk : chunks)
        leaves.push_back(writeLeaf(chunk));
    return writeDataTree(leaves);
}

NdbWriter::DataLeaf NdbWriter::writeLeaf(const QByteArray& chunk)
{
    // libpff reads the leaves of an encrypted 4k data tree as decrypt-then-inflate, unlike single
    // blocks, so those leaves stay uncompressed (whichever the encryption).
    const bool mayDeflate = m_options.encryption == Encryption::None;
    return DataLeaf{writeBlock(chunk, false, mayDeflate), static_cast<std::uint64_t>(chunk.size())};
}

std::uint64_t NdbWriter::writeDataTree(const std::vector<DataLeaf>& leaves)
{
    if (leaves.size() == 1)
        return leaves.front().bid;
    const std::size_t perBlock = (m_maxBlockData - 8) / m_idSize;
    std::uint64_t total = 0;
    for (const DataLeaf& leaf : leaves)
        total += leaf.size;
    if (total > 0xFFFFFFFFu || leaves.size() > perBlock * perBlock)
        fail(QStringLiteral("value of %1 bytes is too large").arg(total));

    auto writeIndex = [&](int level, const std::vector<DataLeaf>& refs, std::size_t from, std::size_t count) {
        QByteArray block;
        append8(block, 0x01);
        append8(block, static_cast<std::uint8_t>(level));
        append16(block, static_cast<std::uint16_t>(count));
        std::uint64_t bytes = 0;
        for (std::size_t i = from; i < from + count; ++i)
            bytes += refs[i].size;
        append32(block, static_cast<std::uint32_t>(bytes));
        for (std::size_t i = from; i < from + count; ++i)
            appendId(block, refs[i].bid);
        return DataLeaf{writeBlock(block, true), bytes};
    };

    if (leaves.size() <= perBlock)
        return writeIndex(1, leaves, 0, leaves.size()).bid;
    std::vector<DataLeaf> middles;
    for (std::size_t from = 0; from < leaves.size(); from += perBlock)
        middles.push_back(writeIndex(1, leaves, from, std::min(perBlock, leaves.size() - from)));
    return writeIndex(2, middles, 0, middles.size()).bid;
}

std::uint64_t NdbWriter::writeBytes(const QByteArray& data)
{
    std::vector<QByteArray> chunks;
    const auto step = static_cast<qsizetype>(m_maxBlockData);
    for (qsizetype from = 0; from < data.size(); from += step)
        chunks.push_back(data.mid(from, step));
    return writeDataTree(chunks);
}

std::uint64_t NdbWriter::writeSubnodes(std::vector<SubnodeRef> entries)
{
    if (entries.empty())
        return 0;
    std::sort(entries.begin(), entries.end(),
              [](const SubnodeRef& a, const SubnodeRef& b) { return a.nid < b.nid; });
    // Entries of three (leaf) or two (index) ids, after a 4-byte header that Unicode stores pad
    // to 8.
    const std::size_t headerSize = m_ansi ? 4 : 8;
    const std::size_t leafMax = (m_maxBlockData - headerSize) / (3 * m_idSize);
    const std::size_t indexMax = (m_maxBlockData - headerSize) / (2 * m_idSize);
    auto startBlock = [&](QByteArray& block, std::uint8_t level, std::size_t count) {
        append8(block, 0x02);
        append8(block, level);
        append16(block, static_cast<std::uint16_t>(count));
        if (!m_ansi)
            append32(block, 0);
    };

    std::vector<std::pair<std::uint32_t, std::uint64_t>> leaves; // first nid, bid
    for (std::size_t from = 0; from < entries.size(); from += leafMax) {
        const std::size_t count = std::min(leafMax, entries.size() - from);
        QByteArray block;
        startBlock(block, 0, count);
        for (std::size_t i = from; i < from + count; ++i) {
            appendId(block, entries[i].nid);
            appendId(block, entries[i].bidData);
            appendId(block, entries[i].bidSub);
        }
        leaves.emplace_back(entries[from].nid, writeBlock(block, true));
    }
    if (leaves.size() == 1)
        return leaves.front().second;
    if (leaves.size() > indexMax)
        fail(QStringLiteral("too many sub-nodes"));
    QByteArray block;
    startBlock(block, 1, leaves.size());
    for (const auto& [nid, bid] : leaves) {
        appendId(block, nid);
        appendId(block, bid);
    }
    return writeBlock(block, true);
}

void NdbWriter::addNode(std::uint32_t nid, std::uint64_t bidData, std::uint64_t bidSub,
                        std::uint32_t parentNid)
{
    const NodeEntry entry{nid, parentNid, bidData, bidSub};
    m_lastNode = Node{bidData, bidSub};
    if (m_freeing)
        m_freedNodes.push_back(entry);
    else
        m_nodes.add(entry);
    std::uint32_t& maxIndex = m_maxNidIndex[nid & 0x1F];
    maxIndex = std::max(maxIndex, nid >> 5);
}

NdbWriter::PageRef NdbWriter::writePage(QByteArray page, std::uint8_t ptype, std::uint64_t firstKey)
{
    const std::uint64_t bid = nextBid(false);
    const std::uint64_t ib = allocate(m_pageSize, m_pageSize);
    sealPage(page.data(), ptype, Checksum::signature(ib, bid), bid);
    writeAt(ib, page.constData(), m_pageSize);
    return PageRef{firstKey, bid, ib};
}

void NdbWriter::putPageCounts(char* page, std::size_t count, std::size_t capacity, std::size_t entrySize,
                              std::size_t level) const
{
    char* meta = page + m_btreeEntries;
    if (m_options.format == FileFormat::Unicode4k) {
        put16(meta, static_cast<std::uint16_t>(count));
        put16(meta + 2, static_cast<std::uint16_t>(capacity));
        meta[4] = static_cast<char>(entrySize);
        meta[5] = static_cast<char>(level);
    } else {
        meta[0] = static_cast<char>(count);
        meta[1] = static_cast<char>(capacity);
        meta[2] = static_cast<char>(entrySize);
        meta[3] = static_cast<char>(level);
    }
}

void NdbWriter::putBlockEntry(char* at, const BlockEntry& e) const
{
    // Block entries: id, offset, stored size, (in 4k stores) inflated size and reference count.
    const std::size_t id = m_idSize;
    putId(at, e.bid);
    putId(at + id, e.ib);
    put16(at + 2 * id, e.cb);
    if (m_options.format == FileFormat::Unicode4k) {
        put16(at + 2 * id + 2, e.inflated);
        put16(at + 2 * id + 4, e.refs);
    } else {
        put16(at + 2 * id + 2, e.refs);
    }
}

void NdbWriter::putNodeEntry(char* at, const NodeEntry& e) const
{
    // Node entries: id, data and sub-node blocks, parent.
    const std::size_t id = m_idSize;
    putId(at, e.nid);
    putId(at + id, e.bidData);
    putId(at + 2 * id, e.bidSub);
    put32(at + 3 * id, e.parent);
}

void NdbWriter::beginFreed()
{
    m_freeing = true;
}

template <typename Entry, typename Put>
void NdbWriter::writeSupersededLeaves(std::uint8_t ptype, std::size_t entrySize, std::vector<Entry>& entries,
                                      Put put)
{
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.key() < b.key(); });
    const std::size_t capacity = m_btreeEntries / entrySize;
    for (std::size_t from = 0; from < entries.size(); from += capacity) {
        const std::size_t count = std::min(capacity, entries.size() - from);
        QByteArray page(static_cast<qsizetype>(m_pageSize), '\0');
        for (std::size_t i = 0; i < count; ++i)
            put(page.data() + i * entrySize, entries[from + i]);
        putPageCounts(page.data(), count, capacity, entrySize, 0);
        markFree(writePage(page, ptype, entries[from].key()).ib, m_pageSize);
    }
    entries.clear();
}

void NdbWriter::endFreed()
{
    m_freeing = false;
    writeSupersededLeaves(kPageBbt, m_ansi ? 12 : 24, m_freedBlocks,
                          [this](char* at, const BlockEntry& e) { putBlockEntry(at, e); });
    writeSupersededLeaves(kPageNbt, m_ansi ? 16 : 32, m_freedNodes,
                          [this](char* at, const NodeEntry& e) { putNodeEntry(at, e); });
}

template <typename Entry, typename Put>
NdbWriter::PageRef NdbWriter::buildTree(std::uint8_t ptype, std::size_t entrySize,
                                        SortedSpill<Entry>& entries, Put put)
{
    // Bottom-up from entries in key order: one open page per level; a full page is written when
    // the next entry for its level comes, and its first key and place go up one level.
    const std::size_t entriesBytes = m_btreeEntries;
    // Branch entries: the first key below and the page's id and offset.
    const std::size_t branchSize = 3 * m_idSize;
    struct Level
    {
        QByteArray page;
        std::size_t count = 0;
        std::size_t written = 0;
        std::uint64_t firstKey = 0;
    };
    std::vector<Level> levels;
    auto entryBytes = [&](std::size_t level) {
        return level == 0 ? entrySize : branchSize;
    };
    auto capacity = [&](std::size_t level) {
        return entriesBytes / entryBytes(level);
    };

    auto close = [&](std::size_t level) {
        Level& l = levels[level];
        putPageCounts(l.page.data(), l.count, capacity(level), entryBytes(level), level);
        const PageRef ref = writePage(l.page, ptype, l.firstKey);
        ++l.written;
        l.count = 0;
        return ref;
    };

    // Where the next entry of a level goes; a full page is first written out and referenced from
    // the level above.
    std::function<char*(std::size_t, std::uint64_t)> slot;
    auto promote = [&](std::size_t level) {
        const PageRef ref = close(level);
        char* up = slot(level + 1, ref.key);
        putId(up, ref.key);
        putId(up + m_idSize, ref.bid);
        putId(up + 2 * m_idSize, ref.ib);
    };
    slot = [&](std::size_t level, std::uint64_t key) -> char* {
        if (levels.size() <= level)
            levels.emplace_back();
        if (levels[level].count == capacity(level))
            promote(level);
        Level& l = levels[level];
        if (l.count == 0) {
            l.page = QByteArray(static_cast<qsizetype>(m_pageSize), '\0');
            l.firstKey = key;
        }
        return l.page.data() + entryBytes(level) * l.count++;
    };

    entries.drain([&](const Entry& e) { put(slot(0, e.key()), e); });
    if (levels.empty()) {
        levels.emplace_back();
        levels[0].page = QByteArray(static_cast<qsizetype>(m_pageSize), '\0');
    }
    // Close the open pages from the bottom up; the first level that never wrote a page out holds
    // the root.
    for (std::size_t level = 0;; ++level) {
        if (level + 1 == levels.size() && levels[level].written == 0)
            return close(level);
        if (levels[level].count > 0)
            promote(level);
    }
}

void NdbWriter::writeHeader(const PageRef& nbt, const PageRef& bbt)
{
    QByteArray h(static_cast<qsizetype>(m_ansi ? kAnsiHeaderSize : kUnicodeHeaderSize), '\0');
    char* p = h.data();
    std::memcpy(p, "!BDN", 4);
    p[8] = 'S';
    p[9] = m_options.kind == StoreKind::Offline ? 'O' : 'M';
    put16(p + 10, m_options.format == FileFormat::Unicode4k ? 36 : m_ansi ? 14 : 23);
    put16(p + 12, 19);
    p[14] = 0x01;
    p[15] = 0x01;
    const std::uint64_t nextBidValue = m_nextBidIndex << 2;
    const auto unique = static_cast<std::uint32_t>(m_nodeCount + 0x100);
    // The two layouts hold the same fields at different places and widths: ids and offsets of 4
    // bytes in ANSI stores, of 8 otherwise.
    const std::size_t nids = m_ansi ? 36 : 44;
    const std::size_t root = m_ansi ? 164 : 180;
    const std::size_t maps = m_ansi ? 204 : 256;
    const std::size_t sentinel = m_ansi ? 460 : 512;
    if (m_ansi) {
        put32(p + 24, static_cast<std::uint32_t>(nextBidValue)); // bidNextB
        put32(p + 28, static_cast<std::uint32_t>(nextBidValue)); // bidNextP
        put32(p + 32, unique);
    } else {
        put64(p + 32, nextBidValue); // bidNextP
        put32(p + 40, unique);
        put64(p + 516, nextBidValue); // bidNextB
    }
    for (std::uint32_t type = 0; type < 32; ++type) {
        const std::uint32_t index = std::max<std::uint32_t>(m_maxNidIndex[type] + 1, 0x400);
        put32(p + nids + 4 * type, (index << 5) | type);
    }
    // ROOT: file size, last allocation map, free space in the allocation and page maps, the roots
    // of both B-trees, and "allocation maps valid".
    char* r = p + root + 4;
    const std::uint64_t fields[] = {
        m_fileEnd, regionStart(m_regions - 1), m_freeUnits * m_blockAlign, 0, nbt.bid, nbt.ib, bbt.bid,
        bbt.ib};
    for (std::uint64_t value : fields) {
        putId(r, value);
        r += m_idSize;
    }
    r[0] = 0x02;
    std::memset(p + maps, 0xFF, 256); // rgbFM and rgbFP
    p[sentinel] = static_cast<char>(0x80);
    p[sentinel + 1] = static_cast<char>(m_options.encryption == Encryption::Compressible ? 0x01
                                        : m_options.encryption == Encryption::High       ? 0x02
                                                                                         : 0x00);
    put32(p + 4, Checksum::crc(p + 8, 471));
    if (!m_ansi)
        put32(p + 524, Checksum::crc(p + 8, 516));
    writeAt(0, h.constData(), static_cast<std::size_t>(h.size()));
}

void NdbWriter::finish()
{
    m_nodeCount = m_nodes.size();
    const PageRef bbt = buildTree(kPageBbt, m_ansi ? 12 : 24, m_blocks,
                                  [this](char* at, const BlockEntry& e) { putBlockEntry(at, e); });
    const PageRef nbt = buildTree(kPageNbt, m_ansi ? 16 : 32, m_nodes,
                                  [this](char* at, const NodeEntry& e) { putNodeEntry(at, e); });
    m_fileEnd = regionStart(m_regions);
    writeRegionMaps();
    writeHeader(nbt, bbt);
    if (std::fflush(m_file) != 0 || ftruncate(fileno(m_file), static_cast<off_t>(m_fileEnd)) != 0)
        fail(QStringLiteral("cannot write %1").arg(m_path));
    const int rc = std::fclose(m_file);
    m_file = nullptr;
    if (rc != 0)
        fail(QStringLiteral("cannot write %1").arg(m_path));
}

} // namespace storegen
