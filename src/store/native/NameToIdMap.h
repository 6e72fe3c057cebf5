#pragma once

#include "PropertyEntry.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QUuid>
#include <cstdint>
#include <optional>
#include <vector>

namespace store::native {

// The store's map of named properties (ids 0x8000 and up) to their names: a numeric name (the
// "LID", such as 0x8005 for a contact's file-under text) or a string.
class NameToIdMap
{
public:
    NameToIdMap() = default;
    // entryStream: the map's stream of 8-byte name records; guidStream: the property sets'
    // GUIDs that records name by index; stringStream: the string names (a 32-bit byte count,
    // UTF-16LE characters, padding to 4 bytes) that records name by offset.
    NameToIdMap(const QByteArray& entryStream, const QByteArray& guidStream, const QByteArray& stringStream);

    // Sets the id that reads use: a named property with a numeric name is read under that name;
    // one with a string name is listed under its stored id but not found by it.
    void apply(PropertyEntry& entry) const;

    std::size_t size() const { return m_names.size(); }
    // The stored id of the property with this string name in this set, if the store has one.
    std::optional<std::uint16_t> storedIdOf(const QUuid& propertySet, const QString& name) const;

private:
    struct Name
    {
        bool known = false;
        bool isString = false;
        std::uint32_t number = 0;
    };
    std::vector<Name> m_names; // by stored id - 0x8000
    QHash<std::pair<QUuid, QString>, std::uint16_t> m_stringNames;
};

} // namespace store::native
