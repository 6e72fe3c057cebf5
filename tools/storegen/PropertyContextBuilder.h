#pragma once

#include "NodeContent.h"
#include "Property.h"

#include <map>

namespace storegen {

// Lays out one property context (the property bag of a folder, message, attachment or the store)
// as a heap-on-node with its B-tree; values too large for the heap go to sub-nodes.
class PropertyContextBuilder
{
public:
    explicit PropertyContextBuilder(std::size_t maxBlockData);

    // Adds or replaces a property by id.
    void add(std::uint16_t id, PropertyType type, const QByteArray& value);
    void addInteger32(std::uint16_t id, std::uint32_t value);
    bool has(std::uint16_t id) const { return m_values.count(id) != 0; }
    // An object-valued property (an embedded message, an OLE object): the sub-node that holds it.
    void addObject(std::uint16_t id, std::uint32_t nid, std::uint32_t size, NodeContent content);
    // A sub-node that the item owns besides its properties (tables, attachments).
    void addSubnode(std::uint32_t nid, NodeContent content);

    NodeContent build();

    // A value cut into the data blocks of a node.
    static std::vector<QByteArray> split(const QByteArray& data, std::size_t maxBlockData);

private:
    struct Value
    {
        PropertyType type;
        QByteArray bytes;
        std::uint32_t objectNid = 0;
    };

    std::size_t m_maxBlockData;
    std::map<std::uint16_t, Value> m_values;
    NodeContent m_content;
};

} // namespace storegen
