#pragma once

#include "NodeContent.h"

#include <QUuid>
#include <cstdint>
#include <map>
#include <vector>

namespace storegen {

// The store's named-property map: hands out property ids from 0x8000 for (property set, numeric
// name) pairs and serialises the map's property context.
class NameMap
{
public:
    NameMap();

    std::uint16_t idFor(const QUuid& propertySet, std::uint32_t lid);
    NodeContent build(std::size_t maxBlockData) const;

private:
    struct Entry
    {
        std::uint32_t lid;
        std::uint16_t guidIndex;
    };
    std::uint16_t guidIndex(const QUuid& propertySet);

    std::vector<QUuid> m_guids;
    std::vector<Entry> m_entries;
    std::map<std::pair<std::uint16_t, std::uint32_t>, std::uint16_t> m_ids;
};

} // namespace storegen
