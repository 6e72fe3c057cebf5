#pragma once

#include "PropertyEntry.h"

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace store::native {

// The store's map of named properties (ids 0x8000 and up) to their names: a numeric name (the
// "LID", such as 0x8005 for a contact's file-under text) or a string.
class NameToIdMap
{
public:
    NameToIdMap() = default;
    // entryStream: the map's stream of 8-byte name records.
    explicit NameToIdMap(const QByteArray& entryStream);

    // Sets the id that reads use: a named property with a numeric name is read under that name;
    // one with a string name is listed under its stored id but not found by it.
    void apply(PropertyEntry& entry) const;

    std::size_t size() const { return m_names.size(); }

private:
    struct Name
    {
        bool known = false;
        bool isString = false;
        std::uint32_t number = 0;
    };
    std::vector<Name> m_names; // by stored id - 0x8000
};

} // namespace store::native
