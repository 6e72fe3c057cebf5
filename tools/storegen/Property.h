#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <cstdint>
#include <vector>

namespace storegen {

// MAPI property value types the writer knows how to lay out.
enum class PropertyType : std::uint16_t
{
    Integer16 = 0x0002,
    Integer32 = 0x0003,
    Floating32 = 0x0004,
    Floating64 = 0x0005,
    Currency = 0x0006,
    FloatingTime = 0x0007,
    ErrorCode = 0x000A,
    Boolean = 0x000B,
    Object = 0x000D,
    Integer64 = 0x0014,
    String8 = 0x001E,
    Unicode = 0x001F,
    Time = 0x0040,
    Guid = 0x0048,
    Binary = 0x0102,
    MultipleString8 = 0x101E, // multiple values: count, 32-bit offsets, then the values
    MultipleUnicode = 0x101F,
    MultipleBinary = 0x1102,
};

// One property of an item: a MAPI id (or a named property: property set and numeric id) with a
// type and its value encoded as the store keeps it (little-endian numbers, UTF-16LE text without
// terminator, raw bytes).
struct Property
{
    std::uint16_t id = 0;
    PropertyType type = PropertyType::Integer32;
    QByteArray value;
    bool named = false;
    QUuid propertySet;
    std::uint32_t lid = 0;
    QString name; // a string name instead of the numeric lid
    // Set for a text given as characters: the value holds them as UTF-16LE and the writer decides
    // the stored form. An 8-bit string is written in the store's code page; a text of the store's
    // string type (see text()) is PT_STRING8 in ANSI stores and stays PT_UNICODE otherwise.
    bool encodeOnWrite = false;
    // Not written at all, and no default written in its place (an ANSI message without
    // PR_MESSAGE_CODEPAGE).
    bool absent = false;

    static Property absentAs(std::uint16_t id);
    static Property integer16(std::uint16_t id, std::uint16_t v);
    static Property integer32(std::uint16_t id, std::uint32_t v);
    static Property integer64(std::uint16_t id, std::uint64_t v);
    static Property floating64(std::uint16_t id, double v);
    static Property boolean(std::uint16_t id, bool v);
    static Property fileTime(std::uint16_t id, std::uint64_t v);
    // A PT_UNICODE text in every store.
    static Property unicode(std::uint16_t id, const QString& text);
    // A text in the store's string type: PT_UNICODE, or in ANSI stores PT_STRING8 in the store's
    // code page. The builders write names, subjects, bodies and the like this way.
    static Property text(std::uint16_t id, const QString& text);
    // A PT_STRING8 value: these bytes, or these characters in the store's code page.
    static Property string8(std::uint16_t id, const QByteArray& bytes);
    static Property string8(std::uint16_t id, const QString& text);
    static Property binary(std::uint16_t id, const QByteArray& bytes);
    static Property guid(std::uint16_t id, const QUuid& uuid);
    // The same value under a named property instead of a fixed id.
    static Property namedAs(const QUuid& propertySet, std::uint32_t lid, Property value);
    static Property namedAs(const QUuid& propertySet, const QString& name, Property value);
    // Multiple PT_UNICODE texts, such as a message's categories.
    static Property unicodes(std::uint16_t id, const QStringList& texts);
    // Multiple values in the stored layout.
    static Property multiple(std::uint16_t id, PropertyType type, const std::vector<QByteArray>& values);

    // Size of the value when it is stored inline; 0 for variable-size types.
    static std::size_t fixedSize(PropertyType type);
    std::uint32_t tag() const { return (std::uint32_t(id) << 16) | std::uint16_t(type); }
    bool isText() const { return type == PropertyType::Unicode || type == PropertyType::String8; }
    // The characters of a text given as characters or as PT_UNICODE.
    QString characters() const;
};

// Well-known property sets.
namespace propertyset {
QUuid appointment();
QUuid address();
QUuid common();
QUuid task();
QUuid note();
QUuid log();           // PSETID_Log, the journal entries' set
QUuid publicStrings(); // PS_PUBLIC_STRINGS, home of "Keywords" (categories)
} // namespace propertyset

// Wraps RTF text into the compressed-RTF container (PR_RTF_COMPRESSED).
QByteArray compressedRtf(const QByteArray& rtf);

// UTF-16LE bytes of a text.
QByteArray utf16le(const QString& text);

} // namespace storegen
