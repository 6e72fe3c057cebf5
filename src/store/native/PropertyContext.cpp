#include "PropertyContext.h"

#include "Bytes.h"
#include "Failure.h"
#include "Heap.h"
#include "HeapBTree.h"

namespace store::native {

std::optional<int> fixedValueSize(std::uint16_t type)
{
    switch (type) {
    case 0x0002: // 16-bit integer
        return 2;
    case 0x000B: // boolean
        return 1;
    case 0x0003: // 32-bit integer
    case 0x0004: // 32-bit float
    case 0x000A: // error code
        return 4;
    case 0x0005: // 64-bit float
    case 0x0006: // currency
    case 0x0007: // floating time
    case 0x0014: // 64-bit integer
    case 0x0040: // FILETIME
        return 8;
    case 0x0048: // GUID
        return 16;
    case 0x000D: // object
    case 0x001E: // 8-bit string
    case 0x001F: // UTF-16 string
    case 0x00FB: // server id
    case 0x00FD: // restriction
    case 0x00FE: // rule actions
    case 0x0102: // binary
        return std::nullopt;
    default:
        if (type & 0x1000) // multiple values
            return std::nullopt;
        return 4;
    }
}

std::vector<PropertyEntry> readPropertyContext(const Heap& heap)
{
    if (heap.client() != HeapClient::PropertyContext)
        fail("node " + hex(heap.nid()) + " is not a property context (client " +
             hex(static_cast<std::uint8_t>(heap.client())) + ")");
    const HeapBTree tree(heap, heap.userRoot(), 2, 6);
    std::vector<PropertyEntry> entries;
    tree.forEach([&](const char* key, const char* data) {
        const std::uint16_t id = get16(key);
        const std::uint16_t type = get16(data);
        const std::uint32_t value = get32(data + 2);
        if (id == 0 && type == 0 && value == 0)
            return;
        const std::optional<int> size = fixedValueSize(type);
        if (size && *size <= 4)
            entries.push_back(PropertyEntry::fromBytes(id, type, data + 2, static_cast<std::uint8_t>(*size)));
        else
            entries.push_back(PropertyEntry::fromHnid(id, type, value));
    });
    return entries;
}

} // namespace store::native
