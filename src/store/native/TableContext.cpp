#include "TableContext.h"

#include "Bytes.h"
#include "Failure.h"
#include "Heap.h"
#include "HeapBTree.h"

#include <algorithm>

namespace store::native {

namespace {
constexpr std::uint8_t kTableType = 0x7C;
constexpr std::size_t kInfoSize = 22;
constexpr std::size_t kColumnSize = 8;
} // namespace

TableContext::TableContext(const Heap& heap, bool ansi, const SubnodeReader& readSubnode) : m_nid(heap.nid())
{
    auto damaged = [&](const std::string& why) -> void {
        fail("table of node " + hex(m_nid) + ": " + why);
    };
    if (heap.client() != HeapClient::TableContext)
        damaged("not a table (client " + hex(static_cast<std::uint8_t>(heap.client())) + ")");
    const QByteArrayView info = heap.allocation(heap.userRoot());
    if (static_cast<std::size_t>(info.size()) < kInfoSize || get8(info.data()) != kTableType)
        damaged("no table information");
    const char* p = info.data();
    const std::size_t columns = get8(p + 1);
    if (kInfoSize + columns * kColumnSize > static_cast<std::size_t>(info.size()))
        damaged(std::to_string(columns) + " columns do not fit");
    m_bitmapOffset = get16(p + 6);
    m_rowSize = get16(p + 8);
    const std::uint32_t rowIndex = get32(p + 10);
    const std::uint32_t rows = get32(p + 14);
    if (m_bitmapOffset + (columns + 7) / 8 > m_rowSize)
        damaged("the cell bitmap does not fit in a row");
    if (m_rowSize < 4)
        damaged("rows of " + std::to_string(m_rowSize) + " bytes have no room for their id");
    for (std::size_t i = 0; i < columns; ++i) {
        const char* c = p + kInfoSize + i * kColumnSize;
        Column column{static_cast<std::uint16_t>(get32(c) >> 16), static_cast<std::uint16_t>(get32(c)),
                      get16(c + 4), get8(c + 6), get8(c + 7)};
        if (column.offset + column.size > m_rowSize || column.bit >= columns)
            damaged("column " + hex(get32(c)) + " lies outside the row");
        m_columns.push_back(column);
    }
    // Cells are listed in the order of their existence bits, which is the order of the row.
    std::stable_sort(m_columns.begin(), m_columns.end(),
                     [](const Column& a, const Column& b) { return a.bit < b.bit; });

    int indexed = 0;
    if (rowIndex != 0) {
        const HeapBTree index(heap, rowIndex, 4, ansi ? 2 : 4);
        index.forEach([&](const char*, const char*) { ++indexed; });
    }
    if (rows == 0 || indexed == 0 || m_rowSize == 0)
        return;
    if (isHeapId(rows)) {
        const QByteArrayView matrix = heap.allocation(rows);
        m_blocks.emplace_back(matrix.data(), matrix.size());
    } else {
        m_blocks = readSubnode(rows);
    }
    int available = 0;
    for (const QByteArray& block : m_blocks) {
        m_rowsBefore.push_back(available);
        available += static_cast<int>(block.size() / m_rowSize);
    }
    m_rowCount = std::min(indexed, available);
}

const char* TableContext::rowBytes(int row) const
{
    if (row < 0 || row >= m_rowCount)
        fail("table of node " + hex(m_nid) + " has no row " + std::to_string(row));
    const auto block =
        std::upper_bound(m_rowsBefore.begin(), m_rowsBefore.end(), row) - m_rowsBefore.begin() - 1;
    return m_blocks[static_cast<std::size_t>(block)].constData() +
           static_cast<std::size_t>(row - m_rowsBefore[static_cast<std::size_t>(block)]) * m_rowSize;
}

std::uint32_t TableContext::rowId(int row) const
{
    return get32(rowBytes(row));
}

std::vector<PropertyEntry> TableContext::row(int row) const
{
    const char* r = rowBytes(row);
    const char* bitmap = r + m_bitmapOffset;
    std::vector<PropertyEntry> cells;
    cells.reserve(m_columns.size());
    for (const Column& c : m_columns) {
        if ((get8(bitmap + c.bit / 8) & (0x80 >> (c.bit % 8))) == 0)
            continue;
        const std::optional<int> size = fixedValueSize(c.type);
        if (size && *size <= 8) {
            cells.push_back(PropertyEntry::fromBytes(
                c.id, c.type, r + c.offset, static_cast<std::uint8_t>(std::min<int>(*size, c.size))));
        } else if (c.size >= 4) {
            cells.push_back(PropertyEntry::fromHnid(c.id, c.type, get32(r + c.offset)));
        }
    }
    return cells;
}

} // namespace store::native
