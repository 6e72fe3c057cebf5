#pragma once

#include "HeapBuilder.h"
#include "NdbWriter.h"
#include "NodeContent.h"
#include "Property.h"
#include "StoreOptions.h"

#include <map>
#include <memory>
#include <vector>

namespace storegen {

// Where each column of a table context sits in its rows.
class RowLayout
{
public:
    struct Column
    {
        std::uint32_t tag;
        std::uint16_t offset;
        std::uint8_t size;
        std::uint8_t bit;
    };

    // Columns by tag (id << 16 | type); the row id and row version columns are added.
    explicit RowLayout(std::map<std::uint32_t, PropertyType> columns);

    std::uint16_t rowSize() const { return m_rowSize; }
    const Column& column(std::uint16_t id, PropertyType type) const;
    // A row with only its id filled in.
    QByteArray emptyRow(std::uint32_t rowId) const;
    // Marks a column of a row as present.
    void setPresent(char* row, const Column& column) const;
    // The table's description (TCINFO).
    QByteArray info(std::uint32_t rowIndexHid, std::uint32_t rowsHnid) const;

private:
    std::vector<Column> m_columns;
    std::map<std::uint32_t, std::size_t> m_byTag;
    std::uint16_t m_ends[3] = {};
    std::uint16_t m_bitmapOffset = 0;
    std::uint16_t m_rowSize = 0;
};

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

    TableContextBuilder(std::size_t maxBlockData, FileFormat format);

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
    FileFormat m_format;
    std::map<std::uint32_t, PropertyType> m_columns; // by tag
    std::vector<Row> m_rows;
};

// Writes a table context whose columns all have fixed sizes (a folder's contents table) to the
// store while its rows come, in ascending row id order: full blocks of rows and of the heap go to
// disk at once, so a table of any length holds only a few blocks in memory.
class StreamingTableWriter
{
public:
    StreamingTableWriter(NdbWriter& ndb, const std::vector<std::pair<std::uint16_t, PropertyType>>& columns);

    // Cells of declared columns only.
    void addRow(std::uint32_t rowId, const std::vector<TableContextBuilder::Cell>& cells);
    std::uint32_t rowCount() const { return m_rowCount; }

    // Writes what is left; the node's data and sub-node blocks.
    SubnodeRef finish(std::uint32_t nid);

private:
    NdbWriter& m_ndb;
    RowLayout m_layout;
    std::uint8_t m_rowIndexSize;
    std::vector<NdbWriter::DataLeaf> m_heapBlocks;
    std::unique_ptr<HeapBuilder> m_heap;
    std::unique_ptr<HeapBTreeWriter> m_rowIndex;
    std::size_t m_rowsPerBlock;
    QByteArray m_rowBlock;
    std::vector<NdbWriter::DataLeaf> m_rowBlocks;
    std::uint32_t m_rowCount = 0;
    std::uint32_t m_lastRowId = 0;
};

} // namespace storegen
