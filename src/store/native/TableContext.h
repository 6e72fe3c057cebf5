#pragma once

#include "PropertyEntry.h"

#include <QByteArray>
#include <cstdint>
#include <functional>
#include <vector>

namespace store::native {

class Heap;

// A table context: column descriptions, a row index and a matrix of fixed-size rows, kept in the
// heap when small or in a sub-node's blocks. Rows are read in matrix order; a row's properties are
// the cells its cell-existence bitmap marks, in column order.
class TableContext
{
public:
    // Reads the blocks of a sub-node that holds the row matrix.
    using SubnodeReader = std::function<std::vector<QByteArray>(std::uint32_t nid)>;

    // Throws StoreError when the table is damaged.
    TableContext(const Heap& heap, bool ansi, const SubnodeReader& readSubnode);

    int rowCount() const { return m_rowCount; }
    std::uint32_t rowId(int row) const;
    std::vector<PropertyEntry> row(int row) const;

private:
    struct Column
    {
        std::uint16_t id;
        std::uint16_t type;
        std::uint16_t offset;
        std::uint8_t size;
        std::uint8_t bit;
    };
    const char* rowBytes(int row) const;

    std::vector<Column> m_columns;
    std::uint16_t m_rowSize = 0;
    std::uint16_t m_bitmapOffset = 0;
    int m_rowCount = 0;
    // The row matrix, one array per block of rows.
    std::vector<QByteArray> m_blocks;
    std::vector<int> m_rowsBefore; // rows in the blocks before each block
    std::uint32_t m_nid = 0;
};

} // namespace store::native
