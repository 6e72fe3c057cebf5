#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringEncoder>
#include <cstdint>
#include <optional>

namespace storegen {

// Encodes text in a Windows code page (1252, 1251, 932, ...) for the 8-bit strings of a store.
// Characters the code page lacks become '?', as Windows' own conversion writes them. Not
// thread-safe: it keeps the encodings of characters it has met.
class CodePageEncoder
{
public:
    // Throws std::runtime_error when the code page is not one that Qt can encode.
    explicit CodePageEncoder(std::uint32_t codePage);

    // The IANA name Qt knows the code page by; none for a code page Qt cannot encode or one that
    // is not 8-bit (UTF-16).
    static std::optional<QByteArray> nameOf(std::uint32_t codePage);

    QByteArray encode(QStringView text);

private:
    QByteArray m_name;
    // Emplaced, never assigned: an encoder that Qt 6.4 moves into place no longer reports errors.
    std::optional<QStringEncoder> m_encoder;
    QHash<char32_t, QByteArray> m_characters;
};

} // namespace storegen
