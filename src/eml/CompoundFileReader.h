#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace eml {

// Reads the streams of a compound file (the storage of an OLE object): the header, the sector
// allocation tables, the directory and the streams of the root storage. The file may be hostile:
// every sector number, chain and size is checked, and a damaged file reads as none.
class CompoundFileReader
{
public:
    // None when the bytes are no compound file or its tables are damaged.
    static std::optional<CompoundFileReader> open(const QByteArray& file);

    // A stream of the root storage by name (names compare case-insensitively, as the format
    // has them); none when there is none or its sectors are damaged.
    std::optional<QByteArray> stream(const QString& name) const;

private:
    struct Entry
    {
        QString name;
        std::uint8_t type = 0;
        std::uint32_t left = 0;
        std::uint32_t right = 0;
        std::uint32_t child = 0;
        std::uint32_t start = 0;
        std::uint64_t size = 0;
    };

    CompoundFileReader() = default;
    // The bytes of a chain of sectors of the file (or of the mini stream): the first size bytes,
    // or without a size the whole chain.
    std::optional<QByteArray> readChain(std::uint32_t start, std::optional<std::uint64_t> size,
                                        bool mini) const;
    const char* sector(std::uint32_t index) const;
    std::uint32_t sectorCount() const;

    QByteArray m_file;
    std::uint32_t m_sectorSize = 512;
    std::uint32_t m_miniCutoff = 4096;
    std::vector<std::uint32_t> m_fat;
    std::vector<std::uint32_t> m_miniFat;
    QByteArray m_miniStream;
    std::vector<Entry> m_entries;
};

} // namespace eml
