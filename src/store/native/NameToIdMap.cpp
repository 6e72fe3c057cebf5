#include "NameToIdMap.h"

#include "Bytes.h"

#include <QByteArray>

namespace store::native {

namespace {
constexpr std::uint32_t kFirstNamedId = 0x8000;
constexpr std::size_t kRecordSize = 8;
constexpr qsizetype kGuidSize = 16;

// Property sets by the records' GUID index: 1 and 2 are the two well-known sets, 3 and up index
// the GUID stream.
std::optional<QUuid> propertySet(std::uint16_t index, const QByteArray& guids)
{
    if (index == 1)
        return QUuid(0x00020328, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46); // PS_MAPI
    if (index == 2)
        return QUuid(0x00020329, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46); // PS_PUBLIC_STRINGS
    const qsizetype at = (qsizetype(index) - 3) * kGuidSize;
    if (index < 3 || at + kGuidSize > guids.size())
        return std::nullopt;
    const auto* g = reinterpret_cast<const unsigned char*>(guids.constData() + at);
    return QUuid(get32(guids.constData() + at), get16(guids.constData() + at + 4),
                 get16(guids.constData() + at + 6), g[8], g[9], g[10], g[11], g[12], g[13], g[14], g[15]);
}

std::optional<QString> stringName(std::uint32_t offset, const QByteArray& strings)
{
    if (qsizetype(offset) + 4 > strings.size())
        return std::nullopt;
    const std::uint32_t size = get32(strings.constData() + offset);
    if (size % 2 != 0 || qsizetype(offset) + 4 + qsizetype(size) > strings.size())
        return std::nullopt;
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(strings.constData() + offset + 4), size / 2);
}

} // namespace

NameToIdMap::NameToIdMap(const QByteArray& entryStream, const QByteArray& guidStream,
                         const QByteArray& stringStream)
{
    const auto records = static_cast<std::size_t>(entryStream.size()) / kRecordSize;
    for (std::size_t i = 0; i < records; ++i) {
        const char* r = entryStream.constData() + i * kRecordSize;
        const std::uint32_t number = get32(r);
        const bool isString = (get16(r + 4) & 1) != 0;
        const std::uint16_t index = get16(r + 6);
        if (index >= m_names.size())
            m_names.resize(static_cast<std::size_t>(index) + 1);
        Name& name = m_names[index];
        if (name.known)
            continue;
        name = Name{true, isString, number};
        if (!isString)
            continue;
        const auto set = propertySet(static_cast<std::uint16_t>(get16(r + 4) >> 1), guidStream);
        const auto text = stringName(number, stringStream);
        if (set && text)
            m_stringNames.insert({*set, *text}, static_cast<std::uint16_t>(kFirstNamedId + index));
    }
}

std::optional<std::uint16_t> NameToIdMap::storedIdOf(const QUuid& propertySet, const QString& name) const
{
    const auto it = m_stringNames.constFind({propertySet, name});
    if (it == m_stringNames.cend())
        return std::nullopt;
    return *it;
}

void NameToIdMap::apply(PropertyEntry& entry) const
{
    if (entry.storedId < kFirstNamedId)
        return;
    const std::size_t index = entry.storedId - kFirstNamedId;
    if (index >= m_names.size() || !m_names[index].known)
        return;
    const Name& name = m_names[index];
    if (name.isString) {
        entry.findable = false;
        return;
    }
    entry.id = name.number;
}

} // namespace store::native
