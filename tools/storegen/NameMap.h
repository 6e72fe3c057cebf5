#pragma once

#include "NodeContent.h"

#include <QString>
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
    std::uint16_t idFor(const QUuid& propertySet, const QString& name);
    NodeContent build(std::size_t maxBlockData) const;

private:
    struct Entry
    {
        std::uint32_t lid; // for a string name: its offset in the string stream
        std::uint16_t guidIndex;
        bool isString = false;
        std::uint32_t hash = 0; // for a string name: the CRC of its characters
    };
    std::uint16_t guidIndex(const QUuid& propertySet);
    std::uint16_t add(const Entry& entry);

    std::vector<QUuid> m_guids;
    std::vector<Entry> m_entries;
    std::map<std::pair<std::uint16_t, std::uint32_t>, std::uint16_t> m_ids;
    std::map<std::pair<std::uint16_t, QString>, std::uint16_t> m_stringIds;
    QByteArray m_strings;
};

} // namespace storegen
