#include "Ndb.h"

#include "BlockTrailer.h"
#include "Bytes.h"
#include "Checksum.h"
#include "Encryption.h"
#include "Failure.h"

#include <algorithm>
#include <exception>
#include <libdeflate.h>
#include <new>

namespace store::native {

namespace {

constexpr std::uint8_t kDataTreeType = 0x01;
constexpr std::uint8_t kSubnodeTreeType = 0x02;
// A data tree has at most two levels above its leaves, a sub-node tree one; a little slack.
constexpr int kMaxTreeDepth = 4;
// More leaves than two levels of full 8 KB tree blocks address; a bound for damaged trees.
constexpr std::size_t kMaxLeaves = 1u << 20;

// Inflates a zlib (or raw deflate) stream into exactly size bytes; false when it is not one.
// libdeflate inflates a whole block at once, about twice as fast as zlib; each thread keeps its
// own decompressor.
bool inflateInto(const QByteArray& packed, QByteArray& out, std::size_t size)
{
    struct Decompressor
    {
        libdeflate_decompressor* handle = libdeflate_alloc_decompressor();
        ~Decompressor() { libdeflate_free_decompressor(handle); }
    };
    thread_local Decompressor decompressor;
    if (!decompressor.handle)
        throw std::bad_alloc();
    out = QByteArray(static_cast<qsizetype>(size), Qt::Uninitialized);
    const auto in = static_cast<std::size_t>(packed.size());
    return libdeflate_zlib_decompress(decompressor.handle, packed.constData(), in, out.data(), size,
                                      nullptr) == LIBDEFLATE_SUCCESS ||
           libdeflate_deflate_decompress(decompressor.handle, packed.constData(), in, out.data(), size,
                                         nullptr) == LIBDEFLATE_SUCCESS;
}

} // namespace

Ndb::Ndb(const QString& path) : m_file(path), m_header(readFileHeader(m_file))
{
    m_nodes.build(m_file, layout(), m_header.nodeRoot, m_abort);
    m_blocks.build(m_file, layout(), m_header.blockRoot, m_abort);
}

Ndb::Ndb(const QString& path, std::vector<BlockEntry> found) : Ndb(path)
{
    for (BlockEntry& entry : found)
        entry.bid &= ~std::uint64_t(1);
    std::sort(found.begin(), found.end(), [](const BlockEntry& a, const BlockEntry& b) {
        return a.bid != b.bid ? a.bid < b.bid : a.ib < b.ib;
    });
    found.erase(std::unique(found.begin(), found.end(),
                            [](const BlockEntry& a, const BlockEntry& b) {
                                return a.bid == b.bid && a.ib == b.ib && a.size == b.size;
                            }),
                found.end());
    // A file may repeat one block id in many places (copies, or bytes made to look so); a few are
    // tried, so that a read cannot be made to take long.
    constexpr std::size_t kMaxPlaces = 4;
    std::size_t places = 0;
    for (std::size_t i = 0; i < found.size(); ++i) {
        places = i > 0 && found[i].bid == found[i - 1].bid ? places + 1 : 0;
        if (places < kMaxPlaces)
            m_found.push_back(found[i]);
    }
}

std::vector<BlockEntry> Ndb::candidates(std::uint64_t bid) const
{
    std::vector<BlockEntry> result;
    try {
        result.push_back(m_blocks.get(bid));
    } catch (const StoreError&) {
        if (m_found.empty())
            throw;
    }
    const std::uint64_t key = bid & ~std::uint64_t(1);
    auto it = std::lower_bound(m_found.begin(), m_found.end(), key,
                               [](const BlockEntry& e, std::uint64_t k) { return e.bid < k; });
    for (; it != m_found.end() && it->bid == key; ++it) {
        if (result.empty() || it->ib != result.front().ib)
            result.push_back(*it);
    }
    if (result.empty())
        fail("block " + hex(bid) + " is neither in the block index nor found in the file");
    return result;
}

QByteArray Ndb::readBlock(std::uint64_t bid) const
{
    if (m_abort.load(std::memory_order_relaxed))
        fail("the read was stopped");
    if (m_found.empty())
        return readBlockAt(m_blocks.get(bid));
    // A found block is only a candidate: the first whose trailer and checksum hold is taken.
    std::exception_ptr first;
    for (const BlockEntry& entry : candidates(bid)) {
        try {
            return readBlockAt(BlockEntry{bid, entry.ib, entry.size, entry.inflated});
        } catch (const StoreError&) {
            if (!first)
                first = std::current_exception();
        }
    }
    std::rethrow_exception(first);
}

QByteArray Ndb::readBlockAt(const BlockEntry& entry) const
{
    const std::uint64_t bid = entry.bid;
    const Layout& l = layout();
    auto damaged = [&](const std::string& why) -> void {
        fail("block " + hex(bid) + " at offset " + hex(entry.ib) + ": " + why);
    };
    if (entry.size > l.maxBlockData())
        damaged("size " + std::to_string(entry.size) + " is too large");
    const std::uint64_t onDisk = l.alignedBlockSize(entry.size);
    QByteArray block = m_file.read(entry.ib, static_cast<std::size_t>(onDisk), "a block");
    m_file.readOnce(entry.ib, static_cast<std::size_t>(onDisk));
    const BlockTrailer trailer = BlockTrailer::read(l, block.constData() + onDisk - l.blockTrailerSize);
    if (trailer.size != entry.size)
        damaged("its trailer gives size " + std::to_string(trailer.size) + ", the index " +
                std::to_string(entry.size));
    if ((trailer.bid | 1) != (entry.bid | 1))
        damaged("holds block " + hex(trailer.bid));
    block.truncate(static_cast<qsizetype>(entry.size));
    if (trailer.crc != formatCrc(block.constData(), entry.size))
        damaged("checksum mismatch");

    const bool external = !isInternalBid(entry.bid);
    auto decode = [&](QByteArray& data) {
        if (!external)
            return;
        if (m_header.crypt == CryptMethod::Permute)
            decodePermutation(data.data(), static_cast<std::size_t>(data.size()));
        else if (m_header.crypt == CryptMethod::Cyclic)
            codeCyclic(data.data(), static_cast<std::size_t>(data.size()),
                       static_cast<std::uint32_t>(entry.bid));
    };
    if (l.is4k() && entry.inflated > entry.size) {
        // Writers differ in whether a block is encoded before or after it is deflated.
        QByteArray inflated;
        if (inflateInto(block, inflated, entry.inflated)) {
            decode(inflated);
            return inflated;
        }
        if (external && m_header.crypt != CryptMethod::None) {
            decode(block);
            if (inflateInto(block, inflated, entry.inflated))
                return inflated;
        }
        damaged("cannot inflate its " + std::to_string(entry.size) + " bytes to " +
                std::to_string(entry.inflated));
    }
    decode(block);
    return block;
}

void Ndb::collectLeaves(std::uint64_t bid, int depth, std::vector<DataLeaf>& leaves,
                        std::uint64_t& total) const
{
    if (!isInternalBid(bid)) {
        const BlockEntry entry = m_found.empty() ? m_blocks.get(bid) : candidates(bid).front();
        const std::uint32_t size =
            layout().is4k() && entry.inflated > entry.size ? entry.inflated : entry.size;
        if (leaves.size() >= kMaxLeaves)
            fail("data tree holds more than " + std::to_string(kMaxLeaves) + " blocks");
        leaves.push_back(DataLeaf{bid, size});
        total += size;
        return;
    }
    if (depth >= kMaxTreeDepth)
        fail("data tree of block " + hex(bid) + " is nested too deeply");
    const QByteArray block = readBlock(bid);
    const char* p = block.constData();
    if (block.size() < 8 || get8(p) != kDataTreeType)
        fail("block " + hex(bid) + " is not a data tree block");
    const int level = get8(p + 1);
    const int count = get16(p + 2);
    const std::uint32_t idSize = layout().idSize;
    if (level < 1 || level > 2 || 8 + static_cast<qsizetype>(count) * idSize > block.size())
        fail("data tree block " + hex(bid) + ": level " + std::to_string(level) + " with " +
             std::to_string(count) + " entries does not fit");
    std::vector<std::uint64_t> seen;
    for (int i = 0; i < count; ++i) {
        const char* at = p + 8 + i * idSize;
        const std::uint64_t child = idSize == 4 ? get32(at) : get64(at);
        if (level == 1 && isInternalBid(child))
            fail("data tree block " + hex(bid) + " lists another tree block as a leaf");
        if (level == 2) {
            if (!isInternalBid(child))
                fail("data tree block " + hex(bid) + " lists a data block as a tree block");
            if (std::find(seen.begin(), seen.end(), child) != seen.end())
                fail("data tree block " + hex(bid) + " lists block " + hex(child) + " twice");
            seen.push_back(child);
        }
        collectLeaves(child, depth + 1, leaves, total);
        if (total > 0xFFFFFFFFull)
            fail("data tree of block " + hex(bid) + " holds more than 4 GB");
    }
}

std::vector<DataLeaf> Ndb::dataLeaves(std::uint64_t bid) const
{
    std::vector<DataLeaf> leaves;
    std::uint64_t total = 0;
    collectLeaves(bid, 0, leaves, total);
    return leaves;
}

std::vector<QByteArray> Ndb::readLeaves(std::uint64_t bid) const
{
    std::vector<QByteArray> blocks;
    if (!isInternalBid(bid)) {
        blocks.push_back(readBlock(bid));
        return blocks;
    }
    std::uint64_t total = 0;
    for (const DataLeaf& leaf : dataLeaves(bid)) {
        total += leaf.size;
        if (total > kMaxValueSize)
            fail("the value of block " + hex(bid) + " is larger than " + std::to_string(kMaxValueSize >> 20) +
                 " MB");
        blocks.push_back(readBlock(leaf.bid));
    }
    return blocks;
}

QByteArray Ndb::readValue(std::uint64_t bid) const
{
    if (!isInternalBid(bid))
        return readBlock(bid);
    const std::vector<DataLeaf> leaves = dataLeaves(bid);
    std::uint64_t total = 0;
    for (const DataLeaf& leaf : leaves)
        total += leaf.size;
    if (total > kMaxValueSize)
        fail("the value of block " + hex(bid) + " is larger than " + std::to_string(kMaxValueSize >> 20) +
             " MB");
    QByteArray value;
    value.reserve(static_cast<qsizetype>(total));
    for (const DataLeaf& leaf : leaves)
        value.append(readBlock(leaf.bid));
    return value;
}

void Ndb::collectSubnodes(std::uint64_t bid, int depth, std::vector<SubnodeEntry>& entries,
                          std::vector<std::uint64_t>& visited) const
{
    if (std::find(visited.begin(), visited.end(), bid | 1) != visited.end())
        fail("sub-node tree lists block " + hex(bid) + " twice");
    visited.push_back(bid | 1);
    if (depth >= kMaxTreeDepth)
        fail("sub-node tree of block " + hex(bid) + " is nested too deeply");
    const QByteArray block = readBlock(bid);
    const char* p = block.constData();
    if (block.size() < 4 || get8(p) != kSubnodeTreeType)
        fail("block " + hex(bid) + " is not a sub-node tree block");
    const int level = get8(p + 1);
    const int count = get16(p + 2);
    const bool ansi = layout().isAnsi();
    const int headerSize = ansi ? 4 : 8;
    const int idSize = ansi ? 4 : 8;
    const int entrySize = level == 0 ? 3 * idSize : 2 * idSize;
    if (level > 1 || headerSize + static_cast<qsizetype>(count) * entrySize > block.size())
        fail("sub-node tree block " + hex(bid) + ": level " + std::to_string(level) + " with " +
             std::to_string(count) + " entries does not fit");
    auto id = [&](const char* at) -> std::uint64_t {
        return ansi ? get32(at) : get64(at);
    };
    for (int i = 0; i < count; ++i) {
        const char* e = p + headerSize + i * entrySize;
        if (level == 0)
            entries.push_back(
                SubnodeEntry{static_cast<std::uint32_t>(id(e)), id(e + idSize), id(e + 2 * idSize)});
        else
            collectSubnodes(id(e + idSize), depth + 1, entries, visited);
    }
}

std::vector<SubnodeEntry> Ndb::readSubnodes(std::uint64_t bid) const
{
    std::vector<SubnodeEntry> entries;
    if (bid == 0)
        return entries;
    std::vector<std::uint64_t> visited;
    collectSubnodes(bid, 0, entries, visited);
    std::stable_sort(entries.begin(), entries.end(),
                     [](const SubnodeEntry& a, const SubnodeEntry& b) { return a.nid < b.nid; });
    return entries;
}

} // namespace store::native
