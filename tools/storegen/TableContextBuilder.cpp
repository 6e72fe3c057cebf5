#include "TableContextBuilder.h"

#include "Bytes.h"
#include "HeapBuilder.h"

#include <algorithm>
#include <cstring>

namespace storegen {

using namespace bytes;

namespace {

constexpr std::uint32_t kRowIdTag = 0x67F20003;
constexpr std::uint32_t kRowVersionTag = 0x67F30003;
constexpr std::uint32_t kValueNidType = 0x1F;

std::size_t cellSize(PropertyType type)
{
    const std::size_t fixed = Property::fixedSize(type);
    return fixed ? fixed : 4;
}

struct Layout
{
    std::uint32_t tag;
    std::uint16_t offset;
    std::uint8_t size;
    std::uint8_t bit;
};

} // namespace

TableContextBuilder::TableContextBuilder(std::size_t maxBlockData) : m_maxBlockData(maxBlockData)
{
    m_columns[kRowIdTag] = PropertyType::Integer32;
    m_columns[kRowVersionTag] = PropertyType::Integer32;
}

void TableContextBuilder::addColumn(std::uint16_t id, PropertyType type)
{
    m_columns[(std::uint32_t(id) << 16) | std::uint16_t(type)] = type;
}

void TableContextBuilder::addRow(std::uint32_t rowId, std::vector<Cell> cells)
{
    for (const Cell& c : cells)
        addColumn(c.id, c.type);
    m_rows.push_back(Row{rowId, std::move(cells)});
}

NodeContent TableContextBuilder::build() const
{
    NodeContent content;
    HeapBuilder heap(0x7C, m_maxBlockData);

    // Row layout: row id and version first, then 8-, 4-, 2- and 1-byte cells, then the
    // cell-existence bitmap.
    std::vector<Layout> layout;
    std::uint16_t offset = 0;
    std::uint8_t bit = 0;
    layout.push_back(Layout{kRowIdTag, offset, 4, bit++});
    offset += 4;
    layout.push_back(Layout{kRowVersionTag, offset, 4, bit++});
    offset += 4;
    std::uint16_t ends[3] = {};
    const std::size_t groups[] = {8, 4, 2, 1};
    for (std::size_t g = 0; g < 4; ++g) {
        for (const auto& [tag, type] : m_columns) {
            if (tag == kRowIdTag || tag == kRowVersionTag || cellSize(type) != groups[g])
                continue;
            layout.push_back(Layout{tag, offset, static_cast<std::uint8_t>(groups[g]), bit++});
            offset = static_cast<std::uint16_t>(offset + groups[g]);
        }
        if (g >= 1)
            ends[g - 1] = offset;
    }
    const std::uint16_t bitmapBytes = static_cast<std::uint16_t>((layout.size() + 7) / 8);
    const std::uint16_t rowSize = static_cast<std::uint16_t>(offset + bitmapBytes);

    std::map<std::uint32_t, const Layout*> byTag;
    for (const Layout& l : layout)
        byTag[l.tag] = &l;

    std::uint32_t nextValueIndex = 1;
    auto rowBytes = [&](const Row& row) {
        QByteArray bytesOut(rowSize, '\0');
        char* r = bytesOut.data();
        auto setBit = [&](std::uint8_t b) {
            r[offset + b / 8] = static_cast<char>(r[offset + b / 8] | (0x80 >> (b % 8)));
        };
        put32(r, row.id);
        setBit(0);
        setBit(1);
        for (const Cell& c : row.cells) {
            const Layout* l = byTag.at((std::uint32_t(c.id) << 16) | std::uint16_t(c.type));
            if (Property::fixedSize(c.type)) {
                std::memcpy(r + l->offset, c.value.constData(),
                            std::min<std::size_t>(l->size, c.value.size()));
            } else if (static_cast<std::size_t>(c.value.size()) <= HeapBuilder::kMaxAllocation) {
                put32(r + l->offset, heap.allocate(c.value));
            } else {
                const std::uint32_t nid = (nextValueIndex++ << 5) | kValueNidType;
                NodeContent holder;
                for (qsizetype from = 0; from < c.value.size();
                     from += static_cast<qsizetype>(m_maxBlockData))
                    holder.blocks.push_back(c.value.mid(from, static_cast<qsizetype>(m_maxBlockData)));
                content.subnodes.emplace_back(nid, std::move(holder));
                put32(r + l->offset, nid);
            }
            setBit(l->bit);
        }
        return bytesOut;
    };

    // The row matrix: in the heap when small, else in a sub-node whose blocks hold whole rows.
    std::uint32_t rowsHnid = 0;
    if (!m_rows.empty()) {
        const std::size_t total = m_rows.size() * rowSize;
        if (total <= HeapBuilder::kMaxAllocation) {
            QByteArray matrix;
            for (const Row& row : m_rows)
                matrix.append(rowBytes(row));
            rowsHnid = heap.allocate(matrix);
        } else {
            const std::size_t perBlock = m_maxBlockData / rowSize;
            NodeContent holder;
            QByteArray block;
            std::size_t inBlock = 0;
            for (const Row& row : m_rows) {
                block.append(rowBytes(row));
                if (++inBlock == perBlock) {
                    holder.blocks.push_back(block);
                    block.clear();
                    inBlock = 0;
                }
            }
            if (inBlock)
                holder.blocks.push_back(block);
            rowsHnid = (nextValueIndex++ << 5) | kValueNidType;
            content.subnodes.emplace_back(rowsHnid, std::move(holder));
        }
    }

    std::vector<std::pair<std::uint32_t, std::uint32_t>> index;
    index.reserve(m_rows.size());
    for (std::size_t i = 0; i < m_rows.size(); ++i)
        index.emplace_back(m_rows[i].id, static_cast<std::uint32_t>(i));
    std::sort(index.begin(), index.end());
    std::vector<QByteArray> records;
    records.reserve(index.size());
    for (const auto& [id, position] : index) {
        QByteArray rec;
        append32(rec, id);
        append32(rec, position);
        records.push_back(rec);
    }
    const std::uint32_t rowIndexHid = heap.addBTree(records, 4, 4);

    QByteArray info;
    append8(info, 0x7C);
    append8(info, static_cast<std::uint8_t>(layout.size()));
    append16(info, ends[0]);
    append16(info, ends[1]);
    append16(info, ends[2]);
    append16(info, rowSize);
    append32(info, rowIndexHid);
    append32(info, rowsHnid);
    append32(info, 0);
    std::vector<Layout> sorted = layout;
    std::sort(sorted.begin(), sorted.end(), [](const Layout& a, const Layout& b) { return a.tag < b.tag; });
    for (const Layout& l : sorted) {
        append32(info, l.tag);
        append16(info, l.offset);
        append8(info, l.size);
        append8(info, l.bit);
    }
    heap.setUserRoot(heap.allocate(info));
    content.blocks = heap.blocks();
    return content;
}

} // namespace storegen
