#include "PropertyContextBuilder.h"

#include "Bytes.h"
#include "HeapBuilder.h"

namespace storegen {

using namespace bytes;

namespace {

// Sub-nodes that hold large values are numbered in a range of their own.
constexpr std::uint32_t kValueNidType = 0x1F;

} // namespace

std::vector<QByteArray> PropertyContextBuilder::split(const QByteArray& data, std::size_t maxBlockData)
{
    std::vector<QByteArray> chunks;
    const auto step = static_cast<qsizetype>(maxBlockData);
    for (qsizetype from = 0; from < data.size(); from += step)
        chunks.push_back(data.mid(from, step));
    if (chunks.empty())
        chunks.emplace_back();
    return chunks;
}

PropertyContextBuilder::PropertyContextBuilder(std::size_t maxBlockData) : m_maxBlockData(maxBlockData) {}

void PropertyContextBuilder::add(std::uint16_t id, PropertyType type, const QByteArray& value)
{
    m_values[id] = Value{type, value, 0};
}

void PropertyContextBuilder::addInteger32(std::uint16_t id, std::uint32_t value)
{
    QByteArray b;
    append32(b, value);
    add(id, PropertyType::Integer32, b);
}

void PropertyContextBuilder::addObject(std::uint16_t id, std::uint32_t nid, std::uint32_t size,
                                       NodeContent content)
{
    QByteArray b;
    append32(b, nid);
    append32(b, size);
    m_values[id] = Value{PropertyType::Object, b, nid};
    m_content.subnodes.emplace_back(nid, std::move(content));
}

void PropertyContextBuilder::addSubnode(std::uint32_t nid, NodeContent content)
{
    m_content.subnodes.emplace_back(nid, std::move(content));
}

NodeContent PropertyContextBuilder::build()
{
    HeapBuilder heap(0xBC, m_maxBlockData);
    std::vector<QByteArray> records;
    std::uint32_t nextValueIndex = 1;
    for (const auto& [id, value] : m_values) {
        QByteArray record;
        append16(record, id);
        append16(record, static_cast<std::uint16_t>(value.type));
        const std::size_t fixed = Property::fixedSize(value.type);
        if (fixed > 0 && fixed <= 4) {
            QByteArray inline4 = value.bytes.left(4);
            inline4.append(QByteArray(4 - inline4.size(), '\0'));
            record.append(inline4);
        } else if (static_cast<std::size_t>(value.bytes.size()) <= HeapBuilder::kMaxAllocation) {
            append32(record, heap.allocate(value.bytes));
        } else {
            const std::uint32_t nid = (nextValueIndex++ << 5) | kValueNidType;
            NodeContent holder;
            holder.blocks = split(value.bytes, m_maxBlockData);
            m_content.subnodes.emplace_back(nid, std::move(holder));
            append32(record, nid);
        }
        records.push_back(record);
    }
    heap.setUserRoot(heap.addBTree(records, 2, 6));
    m_content.blocks = heap.blocks();
    return std::move(m_content);
}

} // namespace storegen
