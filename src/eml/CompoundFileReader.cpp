#include "CompoundFileReader.h"

#include <QtEndian>

namespace eml {

namespace {

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
constexpr std::uint32_t kMaxRegularSector = 0xFFFFFFFA;
constexpr std::uint32_t kMiniSectorSize = 64;
constexpr int kHeaderFatEntries = 109;
constexpr std::uint8_t kStream = 2;
constexpr std::uint8_t kRoot = 5;

std::uint16_t get16(const char* p)
{
    return qFromLittleEndian<std::uint16_t>(p);
}

std::uint32_t get32(const char* p)
{
    return qFromLittleEndian<std::uint32_t>(p);
}

} // namespace

std::optional<CompoundFileReader> CompoundFileReader::open(const QByteArray& file)
{
    if (file.size() < 512 || !file.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
        return std::nullopt;
    const char* h = file.constData();
    const std::uint16_t major = get16(h + 26);
    const std::uint16_t sectorShift = get16(h + 30);
    if (get16(h + 28) != 0xFFFE || get16(h + 32) != 6 ||
        !((major == 3 && sectorShift == 9) || (major == 4 && sectorShift == 12)))
        return std::nullopt;
    CompoundFileReader reader;
    reader.m_file = file;
    reader.m_sectorSize = 1u << sectorShift;
    reader.m_miniCutoff = get32(h + 56);
    const std::uint32_t sectors = reader.sectorCount();
    const std::uint32_t perSector = reader.m_sectorSize / 4;

    // The sectors of the allocation table: 109 in the header, the rest in a chain of DIFAT sectors.
    const std::uint32_t fatSectors = get32(h + 44);
    if (fatSectors > sectors)
        return std::nullopt;
    std::vector<std::uint32_t> fatList;
    for (int i = 0; i < kHeaderFatEntries && fatList.size() < fatSectors; ++i)
        fatList.push_back(get32(h + 76 + 4 * i));
    std::uint32_t difat = get32(h + 68);
    for (std::uint32_t hops = 0; fatList.size() < fatSectors; ++hops) {
        const char* s = hops <= sectors ? reader.sector(difat) : nullptr;
        if (!s)
            return std::nullopt;
        for (std::uint32_t i = 0; i + 1 < perSector && fatList.size() < fatSectors; ++i)
            fatList.push_back(get32(s + 4 * i));
        difat = get32(s + 4 * (perSector - 1));
    }
    for (std::uint32_t index : fatList) {
        const char* s = reader.sector(index);
        if (!s)
            return std::nullopt;
        for (std::uint32_t i = 0; i < perSector; ++i)
            reader.m_fat.push_back(get32(s + 4 * i));
    }

    const std::optional<QByteArray> directory = reader.readChain(get32(h + 48), std::nullopt, false);
    if (!directory || directory->size() < 128)
        return std::nullopt;
    for (qsizetype at = 0; at + 128 <= directory->size(); at += 128) {
        const char* e = directory->constData() + at;
        Entry entry;
        const std::uint16_t nameBytes = std::min<std::uint16_t>(get16(e + 64), 64);
        for (int i = 0; i + 1 < nameBytes; i += 2) {
            const char16_t c = get16(e + i);
            if (c == 0)
                break;
            entry.name.append(QChar(c));
        }
        entry.type = static_cast<std::uint8_t>(e[66]);
        entry.left = get32(e + 68);
        entry.right = get32(e + 72);
        entry.child = get32(e + 76);
        entry.start = get32(e + 116);
        // Version 3 files may leave garbage in the high half of the size.
        entry.size = major == 3 ? get32(e + 120) : qFromLittleEndian<std::uint64_t>(e + 120);
        reader.m_entries.push_back(entry);
    }
    if (reader.m_entries.front().type != kRoot)
        return std::nullopt;

    // The mini stream is the root entry's stream; the mini allocation table has a chain of its own.
    const std::uint32_t miniFatSectors = get32(h + 64);
    if (miniFatSectors > 0) {
        const std::optional<QByteArray> miniFat = reader.readChain(
            get32(h + 60), static_cast<std::uint64_t>(miniFatSectors) * reader.m_sectorSize, false);
        const Entry& root = reader.m_entries.front();
        const std::optional<QByteArray> miniStream = reader.readChain(root.start, root.size, false);
        if (!miniFat || !miniStream)
            return std::nullopt;
        for (qsizetype at = 0; at + 4 <= miniFat->size(); at += 4)
            reader.m_miniFat.push_back(get32(miniFat->constData() + at));
        reader.m_miniStream = *miniStream;
        // A last mini sector cut short by the root's size still reads whole.
        reader.m_miniStream.append(QByteArray(
            (kMiniSectorSize - reader.m_miniStream.size() % kMiniSectorSize) % kMiniSectorSize, '\0'));
    }
    return reader;
}

std::uint32_t CompoundFileReader::sectorCount() const
{
    return static_cast<std::uint32_t>((m_file.size() - 512 + m_sectorSize - 1) / m_sectorSize);
}

const char* CompoundFileReader::sector(std::uint32_t index) const
{
    // Version 4 headers take a whole 4,096-byte sector; sector 0 follows it.
    const std::uint64_t offset = (static_cast<std::uint64_t>(index) + 1) * m_sectorSize;
    if (index > kMaxRegularSector || offset + m_sectorSize > static_cast<std::uint64_t>(m_file.size()))
        return nullptr;
    return m_file.constData() + offset;
}

std::optional<QByteArray> CompoundFileReader::readChain(std::uint32_t start,
                                                        std::optional<std::uint64_t> size, bool mini) const
{
    const std::vector<std::uint32_t>& table = mini ? m_miniFat : m_fat;
    const std::uint32_t unit = mini ? kMiniSectorSize : m_sectorSize;
    QByteArray out;
    std::uint32_t at = start;
    // A sector met twice is a cycle.
    std::vector<bool> seen(table.size(), false);
    while (at != kEndOfChain && (!size || static_cast<std::uint64_t>(out.size()) < *size)) {
        if (at >= table.size() || seen[at])
            return std::nullopt;
        seen[at] = true;
        if (mini) {
            const std::uint64_t offset = static_cast<std::uint64_t>(at) * unit;
            if (offset + unit > static_cast<std::uint64_t>(m_miniStream.size()))
                return std::nullopt;
            out.append(m_miniStream.constData() + offset, unit);
        } else {
            const char* s = sector(at);
            if (!s)
                return std::nullopt;
            out.append(s, unit);
        }
        at = table[at];
    }
    if (size) {
        if (static_cast<std::uint64_t>(out.size()) < *size)
            return std::nullopt;
        out.truncate(static_cast<qsizetype>(*size));
    }
    return out;
}

std::optional<QByteArray> CompoundFileReader::stream(const QString& name) const
{
    // The root's children form a binary tree through their left and right siblings.
    std::vector<std::uint32_t> pending{m_entries.front().child};
    std::vector<bool> seen(m_entries.size(), false);
    while (!pending.empty()) {
        const std::uint32_t id = pending.back();
        pending.pop_back();
        if (id == kNoStream || id >= m_entries.size() || seen[id])
            continue;
        seen[id] = true;
        const Entry& e = m_entries[id];
        if (e.type == kStream && e.name.compare(name, Qt::CaseInsensitive) == 0) {
            if (e.size == 0)
                return QByteArray();
            if (e.size > static_cast<std::uint64_t>(m_file.size()))
                return std::nullopt;
            return readChain(e.start, e.size, e.size < m_miniCutoff);
        }
        pending.push_back(e.left);
        pending.push_back(e.right);
    }
    return std::nullopt;
}

} // namespace eml
