#include "NameMap.h"

#include "Bytes.h"
#include "Checksum.h"
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
    const std::uint16_t id = add(Entry{lid, g});
    m_ids.emplace(key, id);
    return id;
}

std::uint16_t NameMap::idFor(const QUuid& propertySet, const QString& name)
{
    const std::uint16_t g = guidIndex(propertySet);
    const auto key = std::make_pair(g, name);
    const auto it = m_stringIds.find(key);
    if (it != m_stringIds.end())
        return it->second;
    // The string stream: a byte count, the UTF-16LE characters, padding to 4 bytes.
    const QByteArray characters = utf16le(name);
    Entry entry{static_cast<std::uint32_t>(m_strings.size()), g, true,
                Checksum::crc(characters.constData(), static_cast<std::size_t>(characters.size()))};
    append32(m_strings, static_cast<std::uint32_t>(characters.size()));
    m_strings.append(characters);
    while (m_strings.size() % 4 != 0)
        m_strings.append('\0');
    const std::uint16_t id = add(entry);
    m_stringIds.emplace(key, id);
    return id;
}

std::uint16_t NameMap::add(const Entry& entry)
{
    if (m_entries.size() >= 0x7FFF)
        throw std::runtime_error("too many named properties");
    m_entries.push_back(entry);
    return static_cast<std::uint16_t>(0x8000 + m_entries.size() - 1);
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
        // The low bit of the GUID field flags a string name.
        const auto guidField = static_cast<std::uint16_t>((e.guidIndex << 1) | (e.isString ? 1 : 0));
        QByteArray record;
        append32(record, e.lid);
        append16(record, guidField);
        append16(record, static_cast<std::uint16_t>(i));
        entries.append(record);
        // The buckets hold string names by their hash rather than their offset.
        QByteArray bucketRecord;
        append32(bucketRecord, e.isString ? e.hash : e.lid);
        append16(bucketRecord, guidField);
        append16(bucketRecord, static_cast<std::uint16_t>(i));
        const std::uint32_t hash = (e.isString ? e.hash : e.lid) ^ guidField;
        buckets[hash % kBucketCount].append(bucketRecord);
    }
    PropertyContextBuilder pc(maxBlockData);
    pc.addInteger32(0x0001, kBucketCount);
    pc.add(0x0002, PropertyType::Binary, guids);
    pc.add(0x0003, PropertyType::Binary, entries);
    pc.add(0x0004, PropertyType::Binary, m_strings);
    for (std::uint32_t b = 0; b < kBucketCount; ++b) {
        if (!buckets[b].isEmpty())
            pc.add(static_cast<std::uint16_t>(0x1000 + b), PropertyType::Binary, buckets[b]);
    }
    return pc.build();
}

} // namespace storegen
