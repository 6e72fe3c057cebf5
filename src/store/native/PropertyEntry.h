#pragma once

#include <cstdint>
#include <cstring>
#include <optional>

namespace store::native {

// One property of a property context or of a table row, and where its value is kept: in the
// record itself, in the node's heap, or in a sub-node of the node.
struct PropertyEntry
{
    enum class Storage : std::uint8_t
    {
        Inline,
        Heap,
        Subnode,
    };

    std::uint16_t storedId = 0;
    std::uint16_t type = 0;
    // The id that reads use: the stored id, or for a named property its numeric name.
    std::uint32_t id = 0;
    // False for named properties known only by a string name: they are listed, not looked up.
    bool findable = true;
    Storage storage = Storage::Inline;
    std::uint8_t inlineSize = 0;
    char inlineBytes[8] = {};
    std::uint32_t reference = 0; // heap id or sub-node id

    static PropertyEntry fromHnid(std::uint16_t id, std::uint16_t type, std::uint32_t hnid)
    {
        PropertyEntry entry;
        entry.storedId = id;
        entry.type = type;
        entry.id = id;
        entry.storage = (hnid & 0x1F) == 0 ? Storage::Heap : Storage::Subnode;
        entry.reference = hnid;
        return entry;
    }
    static PropertyEntry fromBytes(std::uint16_t id, std::uint16_t type, const char* bytes, std::uint8_t size)
    {
        PropertyEntry entry;
        entry.storedId = id;
        entry.type = type;
        entry.id = id;
        entry.inlineSize = size;
        std::memcpy(entry.inlineBytes, bytes, size);
        return entry;
    }
};

// The size of a value of a fixed-size type; none for types of variable size (texts, binaries,
// objects, multiple values). Unknown types count as 4-byte values.
std::optional<int> fixedValueSize(std::uint16_t type);

} // namespace store::native
