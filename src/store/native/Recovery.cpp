#include "Recovery.h"

#include "BTreePage.h"
#include "BlockTrailer.h"
#include "Bytes.h"
#include "Checksum.h"
#include "Failure.h"
#include "FileSource.h"

#include <algorithm>
#include <tuple>

namespace store::native {

namespace {

// A multiple of every page size, so that no page straddles two pieces; large enough that the
// system reads ahead at full speed, small enough to stay out of the way of the other readers.
constexpr std::size_t kPiece = 8u << 20;

// Whether the live block index lists the block at that place.
bool isLive(const BlockIndex& live, const BlockEntry& block)
{
    try {
        const std::optional<BlockEntry> entry = live.find(block.bid);
        return entry && entry->ib == block.ib && entry->size == block.size;
    } catch (const StoreError&) {
        return false;
    }
}

void scanPages(const char* piece, std::size_t size, std::uint64_t base, const Layout& layout,
               const BlockIndex& live, FileScan& scan)
{
    for (std::size_t at = 0; at + layout.pageSize <= size; at += layout.pageSize) {
        const char* trailer = piece + at + layout.pageSize - layout.pageTrailerSize;
        const std::uint8_t type = get8(trailer);
        if (get8(trailer + 1) != type || (type != static_cast<std::uint8_t>(PageType::NodeBTree) &&
                                          type != static_cast<std::uint8_t>(PageType::BlockBTree)))
            continue;
        const auto pageType = static_cast<PageType>(type);
        try {
            const BTreePage page =
                BTreePage::parse(QByteArray(piece + at, static_cast<qsizetype>(layout.pageSize)), layout,
                                 BlockRef{0, base + at}, pageType);
            if (page.level() != 0 || page.entrySize() != BTreePage::leafEntrySize(layout, pageType))
                continue;
            for (int i = 0; i < page.count(); ++i) {
                if (pageType == PageType::NodeBTree) {
                    const NodeEntry node = readNodeEntry(layout, page.entry(i));
                    if (node.nid != 0)
                        scan.nodes.push_back(FoundNode{node, page.offset()});
                } else {
                    const BlockEntry block = readBlockEntry(layout, page.entry(i));
                    if (block.bid != 0 && block.size <= layout.maxBlockData() && !isLive(live, block))
                        scan.blocks.push_back(block);
                }
            }
            ++(pageType == PageType::NodeBTree ? scan.nodePages : scan.blockPages);
        } catch (const StoreError&) {
            // Not a page, or a damaged one: either way nothing to take from it.
        }
    }
}

// A block ends on an alignment boundary with its trailer; its size says where it begins, and the
// signature must fit that offset and the block id. Random bytes pass this test about once in
// 65,536 places, which the checksum, checked when the block is read, then rejects.
void scanBlocks(const char* piece, std::size_t size, std::uint64_t base, const Layout& layout,
                const BlockIndex& live, FileScan& scan)
{
    for (std::size_t end = layout.blockAlign; end <= size; end += layout.blockAlign) {
        const char* at = piece + end - layout.blockTrailerSize;
        const std::uint16_t cb = get16(at);
        if (cb > layout.maxBlockData())
            continue;
        const std::uint64_t onDisk = layout.alignedBlockSize(cb);
        if (onDisk > base + end)
            continue;
        const BlockTrailer trailer = BlockTrailer::read(layout, at);
        const std::uint64_t start = base + end - onDisk;
        if (trailer.bid == 0 || trailer.signature != blockSignature(start, trailer.bid))
            continue;
        const BlockEntry block{trailer.bid, start, cb, layout.is4k() ? trailer.inflated : cb};
        if (!isLive(live, block))
            scan.blocks.push_back(block);
    }
}

} // namespace

FileScan scanFile(const FileSource& file, const Layout& layout, const BlockIndex& live,
                  const std::atomic<bool>& abort,
                  const std::function<void(std::uint64_t done, std::uint64_t total)>& progress)
{
    FileScan scan;
    const std::uint64_t total = file.size();
    QByteArray piece(static_cast<qsizetype>(kPiece), Qt::Uninitialized);
    for (std::uint64_t base = 0; base < total; base += kPiece) {
        if (abort.load(std::memory_order_relaxed))
            fail("the read was stopped");
        const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, total - base));
        // Asking for the next piece now lets the disk read it while this one is searched.
        file.prefetch(base + size,
                      static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, total - base - size)));
        file.read(base, piece.data(), size, "the file");
        scanPages(piece.constData(), size, base, layout, live, scan);
        scanBlocks(piece.constData(), size, base, layout, live, scan);
        file.readOnce(base, size);
        if (progress)
            progress(base + size, total);
    }
    auto key = [](const FoundNode& f) {
        return std::make_tuple(f.node.nid, f.node.bidData, f.node.bidSub, f.node.parent);
    };
    std::stable_sort(scan.nodes.begin(), scan.nodes.end(),
                     [&](const FoundNode& a, const FoundNode& b) { return key(a) < key(b); });
    scan.nodes.erase(std::unique(scan.nodes.begin(), scan.nodes.end(),
                                 [&](const FoundNode& a, const FoundNode& b) { return key(a) == key(b); }),
                     scan.nodes.end());
    return scan;
}

} // namespace store::native
