#include "NameToIdMap.h"

#include "Bytes.h"

#include <QByteArray>

namespace store::native {

namespace {
constexpr std::uint32_t kFirstNamedId = 0x8000;
constexpr std::size_t kRecordSize = 8;
} // namespace

NameToIdMap::NameToIdMap(const QByteArray& entryStream)
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
        if (!name.known)
            name = Name{true, isString, number};
    }
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
