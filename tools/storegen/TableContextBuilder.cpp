#include "TableContextBuilder.h"

#include "Bytes.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace storegen {

using namespace bytes;

namespace {

constexpr std::uint32_t kRowIdTag = 0x67F20003;
constexpr std::uint32_t kRowVersionTag = 0x67F30003;
constexpr std::uint32_t kValueNidType = 0x1F;
constexpr std::uint8_t kTableSignature = 0x7C;

std::size_t cellSize(PropertyType type)
{
    const std::size_t fixed = Property::fixedSize(type);
    return fixed ? fixed : 4;
}

std::uint32_t tagOf(std::uint16_t id, PropertyType type)
{
    return (std::uint32_t(id) << 16) | std::uint16_t(type);
}

// The row index maps row ids to row positions, which ANSI stores keep in 2 bytes.
std::uint8_t rowIndexSize(FileFormat format)
{
    return format == FileFormat::Ansi ? 2 : 4;
}

QByteArray rowIndexRecord(std::uint32_t rowId, std::uint32_t position, std::uint8_t positionSize)
{
    QByteArray rec;
    append32(rec, rowId);
    if (positionSize == 4) {
        append32(rec, position);
    } else {
        if (position > 0xFFFF)
            throw std::runtime_error("a table of an ANSI store holds at most 65,536 rows");
        append16(rec, static_cast<std::uint16_t>(position));
    }
    return rec;
}

} // namespace

RowLayout::RowLayout(std::map<std::uint32_t, PropertyType> columns)
{
    columns.erase(kRowIdTag);
    columns.erase(kRowVersionTag);
    // Row id and version first, then 8-, 4-, 2- and 1-byte cells, then the cell-existence bitmap.
    std::uint16_t offset = 0;
    std::uint8_t bit = 0;
    m_columns.push_back(Column{kRowIdTag, offset, 4, bit++});
    offset += 4;
    m_columns.push_back(Column{kRowVersionTag, offset, 4, bit++});
    offset += 4;
    const std::size_t groups[] = {8, 4, 2, 1};
    for (std::size_t g = 0; g < 4; ++g) {
        for (const auto& [tag, type] : columns) {
            if (cellSize(type) != groups[g])
                continue;
            m_columns.push_back(Column{tag, offset, static_cast<std::uint8_t>(groups[g]), bit++});
            offset = static_cast<std::uint16_t>(offset + groups[g]);
        }
        if (g >= 1)
            m_ends[g - 1] = offset;
    }
    m_bitmapOffset = offset;
    m_rowSize = static_cast<std::uint16_t>(offset + (m_columns.size() + 7) / 8);
    for (std::size_t i = 0; i < m_columns.size(); ++i)
        m_byTag[m_columns[i].tag] = i;
}

const RowLayout::Column& RowLayout::column(std::uint16_t id, PropertyType type) const
{
    const auto it = m_byTag.find(tagOf(id, type));
    if (it == m_byTag.end())
        throw std::logic_error("table cell of an undeclared column");
    return m_columns[it->second];
}

void RowLayout::setPresent(char* row, const Column& column) const
{
    char& byte = row[m_bitmapOffset + column.bit / 8];
    byte = static_cast<char>(byte | (0x80 >> (column.bit % 8)));
}

QByteArray RowLayout::emptyRow(std::uint32_t rowId) const
{
    QByteArray row(m_rowSize, '\0');
    put32(row.data(), rowId);
    setPresent(row.data(), m_columns[0]);
    setPresent(row.data(), m_columns[1]);
    return row;
}

QByteArray RowLayout::info(std::uint32_t rowIndexHid, std::uint32_t rowsHnid) const
{
    QByteArray info;
    append8(info, kTableSignature);
    append8(info, static_cast<std::uint8_t>(m_columns.size()));
    append16(info, m_ends[0]);
    append16(info, m_ends[1]);
    append16(info, m_ends[2]);
    append16(info, m_rowSize);
    append32(info, rowIndexHid);
    append32(info, rowsHnid);
    append32(info, 0);
    std::vector<Column> sorted = m_columns;
    std::sort(sorted.begin(), sorted.end(), [](const Column& a, const Column& b) { return a.tag < b.tag; });
    for (const Column& c : sorted) {
        append32(info, c.tag);
        append16(info, c.offset);
        append8(info, c.size);
        append8(info, c.bit);
    }
    return info;
}

TableContextBuilder::TableContextBuilder(std::size_t maxBlockData, FileFormat format)
    : m_maxBlockData(maxBlockData), m_format(format)
{
}

void TableContextBuilder::addColumn(std::uint16_t id, PropertyType type)
{
    m_columns[tagOf(id, type)] = type;
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
    HeapBuilder heap(kTableSignature, m_maxBlockData);
    const RowLayout layout(m_columns);
    const std::uint16_t rowSize = layout.rowSize();

    std::uint32_t nextValueIndex = 1;
    auto rowBytes = [&](const Row& row) {
        QByteArray bytesOut = layout.emptyRow(row.id);
        char* r = bytesOut.data();
        for (const Cell& c : row.cells) {
            const RowLayout::Column& l = layout.column(c.id, c.type);
            if (Property::fixedSize(c.type)) {
                std::memcpy(r + l.offset, c.value.constData(), std::min<std::size_t>(l.size, c.value.size()));
            } else if (static_cast<std::size_t>(c.value.size()) <= HeapBuilder::kMaxAllocation) {
                put32(r + l.offset, heap.allocate(c.value));
            } else {
                const std::uint32_t nid = (nextValueIndex++ << 5) | kValueNidType;
                NodeContent holder;
                for (qsizetype from = 0; from < c.value.size();
                     from += static_cast<qsizetype>(m_maxBlockData))
                    holder.blocks.push_back(c.value.mid(from, static_cast<qsizetype>(m_maxBlockData)));
                content.subnodes.emplace_back(nid, std::move(holder));
                put32(r + l.offset, nid);
            }
            layout.setPresent(r, l);
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
    const std::uint8_t positionSize = rowIndexSize(m_format);
    HeapBTreeWriter rowIndex(heap, 4, positionSize);
    for (const auto& [id, position] : index)
        rowIndex.add(rowIndexRecord(id, position, positionSize).constData());
    const std::uint32_t rowIndexHid = rowIndex.finish();

    heap.setUserRoot(heap.allocate(layout.info(rowIndexHid, rowsHnid)));
    content.blocks = heap.blocks();
    return content;
}

namespace {

std::map<std::uint32_t, PropertyType>
columnMap(const std::vector<std::pair<std::uint16_t, PropertyType>>& columns)
{
    std::map<std::uint32_t, PropertyType> map;
    for (const auto& [id, type] : columns) {
        if (!Property::fixedSize(type))
            throw std::logic_error("streamed tables take fixed-size columns only");
        map[tagOf(id, type)] = type;
    }
    return map;
}

} // namespace

StreamingTableWriter::StreamingTableWriter(NdbWriter& ndb,
                                           const std::vector<std::pair<std::uint16_t, PropertyType>>& columns)
    : m_ndb(ndb), m_layout(columnMap(columns)), m_rowIndexSize(rowIndexSize(ndb.format())),
      m_rowsPerBlock(ndb.maxBlockData() / m_layout.rowSize())
{
    // Heap blocks handed over before the end are never the heap's only block.
    m_heap = std::make_unique<HeapBuilder>(
        kTableSignature, ndb.maxBlockData(), [this](std::size_t index, const QByteArray& bytes) {
            if (m_heapBlocks.size() <= index)
                m_heapBlocks.resize(index + 1);
            m_heapBlocks[index] =
                m_heap->blockCount() == 1
                    ? NdbWriter::DataLeaf{m_ndb.writeBlock(bytes, false), std::uint64_t(bytes.size())}
                    : m_ndb.writeLeaf(bytes);
        });
    m_rowIndex = std::make_unique<HeapBTreeWriter>(*m_heap, 4, m_rowIndexSize);
}

void StreamingTableWriter::addRow(std::uint32_t rowId, const std::vector<TableContextBuilder::Cell>& cells)
{
    if (m_rowCount > 0 && rowId <= m_lastRowId)
        throw std::logic_error("streamed table rows out of order");
    // A full block of rows is written when the next row comes, so that a table with one block
    // stores it as a single block.
    if (m_rowBlock.size() >= static_cast<qsizetype>(m_rowsPerBlock * m_layout.rowSize())) {
        m_rowBlocks.push_back(m_ndb.writeLeaf(m_rowBlock));
        m_rowBlock.clear();
    }
    QByteArray row = m_layout.emptyRow(rowId);
    for (const TableContextBuilder::Cell& c : cells) {
        const RowLayout::Column& column = m_layout.column(c.id, c.type);
        std::memcpy(row.data() + column.offset, c.value.constData(),
                    std::min<std::size_t>(column.size, static_cast<std::size_t>(c.value.size())));
        m_layout.setPresent(row.data(), column);
    }
    m_rowBlock.append(row);
    m_rowIndex->add(rowIndexRecord(rowId, m_rowCount, m_rowIndexSize).constData());
    m_lastRowId = rowId;
    ++m_rowCount;
}

SubnodeRef StreamingTableWriter::finish(std::uint32_t nid)
{
    constexpr std::uint32_t kRowsNid = (1u << 5) | kValueNidType;
    std::uint32_t rowsHnid = 0;
    std::uint64_t bidSub = 0;
    if (m_rowBlocks.empty() && static_cast<std::size_t>(m_rowBlock.size()) <= HeapBuilder::kMaxAllocation) {
        if (!m_rowBlock.isEmpty())
            rowsHnid = m_heap->allocate(m_rowBlock);
    } else {
        std::uint64_t rowsBid = 0;
        if (m_rowBlocks.empty()) {
            rowsBid = m_ndb.writeBlock(m_rowBlock, false);
        } else {
            m_rowBlocks.push_back(m_ndb.writeLeaf(m_rowBlock));
            rowsBid = m_ndb.writeDataTree(m_rowBlocks);
        }
        rowsHnid = kRowsNid;
        bidSub = m_ndb.writeSubnodes({SubnodeRef{kRowsNid, rowsBid, 0}});
    }
    m_rowBlock = QByteArray();
    m_rowBlocks = {};

    const std::uint32_t rowIndexHid = m_rowIndex->finish();
    m_heap->setUserRoot(m_heap->allocate(m_layout.info(rowIndexHid, rowsHnid)));
    m_heap->finish();
    SubnodeRef ref;
    ref.nid = nid;
    ref.bidData = m_ndb.writeDataTree(m_heapBlocks);
    ref.bidSub = bidSub;
    return ref;
}

} // namespace storegen
