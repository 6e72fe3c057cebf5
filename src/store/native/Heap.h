#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>
#include <vector>

namespace store::native {

// Client signatures of a heap: what its user root holds.
enum class HeapClient : std::uint8_t
{
    TableContext = 0x7C,
    BTreeOnHeap = 0xB5,
    PropertyContext = 0xBC,
};

// A heap-on-node: the blocks of a node's data, each a page of allocations addressed by heap ids
// (block index in the high 16 bits, allocation index in bits 5-15, the low five bits zero).
class Heap
{
public:
    // Checks the first block's header and every block's page map. Throws StoreError naming the
    // node (what) when they are damaged.
    Heap(std::vector<QByteArray> blocks, std::uint32_t nid);

    HeapClient client() const { return m_client; }
    std::uint32_t userRoot() const { return m_userRoot; }
    std::uint32_t nid() const { return m_nid; }

    // The bytes of one allocation; throws StoreError for a heap id that names none. A heap id of
    // zero is an empty value.
    QByteArrayView allocation(std::uint32_t hid) const;

private:
    struct Page
    {
        QByteArray bytes;
        std::vector<std::uint16_t> offsets; // allocation i spans offsets[i - 1] .. offsets[i]
    };
    std::vector<Page> m_pages;
    HeapClient m_client = HeapClient::PropertyContext;
    std::uint32_t m_userRoot = 0;
    std::uint32_t m_nid = 0;
};

inline bool isHeapId(std::uint32_t hnid)
{
    return (hnid & 0x1F) == 0;
}

} // namespace store::native
