#include "Heap.h"

#include "Bytes.h"
#include "Failure.h"

namespace store::native {

namespace {
constexpr std::uint8_t kHeapSignature = 0xEC;
}

Heap::Heap(std::vector<QByteArray> blocks, std::uint32_t nid) : m_nid(nid)
{
    auto damaged = [&](std::size_t block, const std::string& why) -> void {
        fail("heap of node " + hex(nid) + ", block " + std::to_string(block) + ": " + why);
    };
    if (blocks.empty())
        damaged(0, "no data");
    const QByteArray& first = blocks.front();
    if (first.size() < 12 || get8(first.constData() + 2) != kHeapSignature)
        damaged(0, "no heap signature");
    m_client = static_cast<HeapClient>(get8(first.constData() + 3));
    m_userRoot = get32(first.constData() + 4);

    m_pages.reserve(blocks.size());
    for (std::size_t index = 0; index < blocks.size(); ++index) {
        Page page;
        page.bytes = std::move(blocks[index]);
        const char* p = page.bytes.constData();
        const auto size = static_cast<std::size_t>(page.bytes.size());
        if (size < 2)
            damaged(index, "too short");
        const std::size_t map = get16(p);
        if (map + 4 > size)
            damaged(index, "page map at " + std::to_string(map) + " lies outside the block");
        const std::size_t count = get16(p + map);
        if (map + 4 + 2 * (count + 1) > size)
            damaged(index, std::to_string(count) + " allocations do not fit");
        page.offsets.resize(count + 1);
        for (std::size_t i = 0; i <= count; ++i) {
            page.offsets[i] = get16(p + map + 4 + 2 * i);
            if (page.offsets[i] > map || (i > 0 && page.offsets[i] < page.offsets[i - 1]))
                damaged(index, "allocation " + std::to_string(i) + " lies outside the heap");
        }
        m_pages.push_back(std::move(page));
    }
}

QByteArrayView Heap::allocation(std::uint32_t hid) const
{
    if (hid == 0)
        return {};
    const std::uint32_t block = hid >> 16;
    const std::uint32_t index = (hid >> 5) & 0x7FF;
    if (!isHeapId(hid) || block >= m_pages.size() || index == 0 || index >= m_pages[block].offsets.size())
        fail("heap of node " + hex(m_nid) + ": no allocation " + hex(hid));
    const Page& page = m_pages[block];
    const std::uint16_t from = page.offsets[index - 1];
    const std::uint16_t to = page.offsets[index];
    return QByteArrayView(page.bytes.constData() + from, to - from);
}

} // namespace store::native
