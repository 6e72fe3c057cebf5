#include "HeapBTree.h"

#include "Bytes.h"
#include "Failure.h"
#include "Heap.h"

namespace store::native {

namespace {
constexpr std::uint8_t kBTreeOnHeapType = 0xB5;
constexpr int kMaxLevels = 8;
// More records than any table this reader reads can hold; a bound for trees whose nodes are
// referred to more than once.
constexpr int kMaxRecords = 1 << 22;
} // namespace

HeapBTree::HeapBTree(const Heap& heap, std::uint32_t headerHid, int keySize, int dataSize) : m_heap(heap)
{
    const QByteArrayView header = heap.allocation(headerHid);
    if (header.size() < 8 || get8(header.data()) != kBTreeOnHeapType)
        fail("heap of node " + hex(heap.nid()) + ": no B-tree at " + hex(headerHid));
    m_keySize = get8(header.data() + 1);
    m_dataSize = get8(header.data() + 2);
    m_levels = get8(header.data() + 3);
    m_root = get32(header.data() + 4);
    if ((keySize != 0 && m_keySize != keySize) || (dataSize != 0 && m_dataSize != dataSize) ||
        m_keySize == 0 || m_keySize > 16 || m_levels > kMaxLevels)
        fail("heap of node " + hex(heap.nid()) + ": B-tree with keys of " + std::to_string(m_keySize) +
             " bytes, data of " + std::to_string(m_dataSize) + " bytes and " + std::to_string(m_levels) +
             " levels");
}

void HeapBTree::forEach(const std::function<void(const char* key, const char* data)>& visitor) const
{
    if (m_root == 0)
        return;
    int budget = kMaxRecords;
    visit(m_root, m_levels, budget, visitor);
}

void HeapBTree::visit(std::uint32_t hid, int level, int& budget,
                      const std::function<void(const char*, const char*)>& visitor) const
{
    const QByteArrayView node = m_heap.allocation(hid);
    const int recordSize = m_keySize + (level > 0 ? 4 : m_dataSize);
    if (recordSize == 0 || node.size() % recordSize != 0)
        fail("heap of node " + hex(m_heap.nid()) + ": B-tree node " + hex(hid) + " of " +
             std::to_string(node.size()) + " bytes");
    const qsizetype count = node.size() / recordSize;
    budget -= static_cast<int>(count) + 1;
    if (budget < 0)
        fail("heap of node " + hex(m_heap.nid()) + ": B-tree refers to its nodes more than once");
    for (qsizetype i = 0; i < count; ++i) {
        const char* record = node.data() + i * recordSize;
        if (level > 0)
            visit(get32(record + m_keySize), level - 1, budget, visitor);
        else
            visitor(record, record + m_keySize);
    }
}

} // namespace store::native
