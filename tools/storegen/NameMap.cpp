#include "NameMap.h"

#include "Bytes.h"
#include "Property.h"
#include "PropertyContextBuilder.h"

#include <stdexcept>

namespace storegen {

using namespace bytes;

namespace {

constexpr std::uint32_t kBucketCount = 251;

QUuid psMapi()
{
    return QUuid(0x00020328, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);
}

QUuid psPublicStrings()
{
    return QUuid(0x00020329, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);
}

} // namespace

NameMap::NameMap()
{
    // Every store has named properties; readers refuse a map without entries, so a store starts
    // with the common reminder and message-type names that mail clients register first.
    idFor(propertyset::common(), 0x8501); // reminder delta
    idFor(propertyset::common(), 0x8503); // reminder set
    idFor(propertyset::common(), 0x8506); // private
    idFor(propertyset::common(), 0x8510); // side effects
}

std::uint16_t NameMap::guidIndex(const QUuid& propertySet)
{
    // 1 and 2 name the two well-known sets; the stream of other sets starts at 3.
    if (propertySet == psMapi())
        return 1;
    if (propertySet == psPublicStrings())
        return 2;
    for (std::size_t i = 0; i < m_guids.size(); ++i) {
        if (m_guids[i] == propertySet)
            return static_cast<std::uint16_t>(i + 3);
    }
    m_guids.push_back(propertySet);
    return static_cast<std::uint16_t>(m_guids.size() + 2);
}

std::uint16_t NameMap::idFor(const QUuid& propertySet, std::uint32_t lid)
{
    const std::uint16_t g = guidIndex(propertySet);
    const auto key = std::make_pair(g, lid);
    const auto it = m_ids.find(key);
    if (it != m_ids.end())
        return it->second;
    if (m_entries.size() >= 0x7FFF)
        throw std::runtime_error("too many named properties");
    const auto id = static_cast<std::uint16_t>(0x8000 + m_entries.size());
    m_entries.push_back(Entry{lid, g});
    m_ids.emplace(key, id);
    return id;
}

NodeContent NameMap::build(std::size_t maxBlockData) const
{
    QByteArray guids;
    for (const QUuid& g : m_guids)
        guids.append(Property::guid(0, g).value);
    QByteArray entries;
    std::vector<QByteArray> buckets(kBucketCount);
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const Entry& e = m_entries[i];
        QByteArray record;
        append32(record, e.lid);
        // Numeric names: the low bit (string flag) stays clear.
        append16(record, static_cast<std::uint16_t>(e.guidIndex << 1));
        append16(record, static_cast<std::uint16_t>(i));
        entries.append(record);
        const std::uint32_t hash = e.lid ^ (std::uint32_t(e.guidIndex) << 1);
        buckets[hash % kBucketCount].append(record);
    }
    PropertyContextBuilder pc(maxBlockData);
    pc.addInteger32(0x0001, kBucketCount);
    pc.add(0x0002, PropertyType::Binary, guids);
    pc.add(0x0003, PropertyType::Binary, entries);
    pc.add(0x0004, PropertyType::Binary, QByteArray());
    for (std::uint32_t b = 0; b < kBucketCount; ++b) {
        if (!buckets[b].isEmpty())
            pc.add(static_cast<std::uint16_t>(0x1000 + b), PropertyType::Binary, buckets[b]);
    }
    return pc.build();
}

} // namespace storegen
