#pragma once

#include <QByteArrayView>
#include <cstdint>
#include <functional>

namespace store::native {

class Heap;

// A B-tree-on-heap: records of a fixed key and data size, kept in heap allocations.
class HeapBTree
{
public:
    // Reads the tree's header at headerHid. Throws StoreError when it is damaged or its key and
    // data sizes are not the expected ones (0: any).
    HeapBTree(const Heap& heap, std::uint32_t headerHid, int keySize, int dataSize);

    int keySize() const { return m_keySize; }
    int dataSize() const { return m_dataSize; }
    // Every record in key order (the order of the tree).
    void forEach(const std::function<void(const char* key, const char* data)>& visit) const;

private:
    void visit(std::uint32_t hid, int level, int& budget,
               const std::function<void(const char*, const char*)>& visit) const;

    const Heap& m_heap;
    int m_keySize = 0;
    int m_dataSize = 0;
    int m_levels = 0;
    std::uint32_t m_root = 0;
};

} // namespace store::native
