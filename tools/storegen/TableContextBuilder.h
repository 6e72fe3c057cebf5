#pragma once

#include "NodeContent.h"
#include "Property.h"

#include <map>
#include <vector>

namespace storegen {

// Lays out one table context (hierarchy, contents, recipients and attachments tables): column
// descriptions, the row-id index and the row matrix, in the heap or, when large, in sub-nodes.
class TableContextBuilder
{
public:
    struct Cell
    {
        std::uint16_t id;
        PropertyType type;
        QByteArray value;
    };

    explicit TableContextBuilder(std::size_t maxBlockData);

    // Declares a column even when no row has a value in it.
    void addColumn(std::uint16_t id, PropertyType type);
    void addRow(std::uint32_t rowId, std::vector<Cell> cells);
    std::size_t rowCount() const { return m_rows.size(); }

    NodeContent build() const;

private:
    struct Row
    {
        std::uint32_t id;
        std::vector<Cell> cells;
    };

    std::size_t m_maxBlockData;
    std::map<std::uint32_t, PropertyType> m_columns; // by tag
    std::vector<Row> m_rows;
};

} // namespace storegen
