#include "Property.h"

#include "Bytes.h"
#include "Checksum.h"

#include <cstring>

namespace storegen {

using namespace bytes;

namespace {

Property make(std::uint16_t id, PropertyType type, QByteArray value)
{
    Property p;
    p.id = id;
    p.type = type;
    p.value = std::move(value);
    return p;
}

} // namespace

QByteArray utf16le(const QString& text)
{
    QByteArray out;
    out.reserve(text.size() * 2);
    for (QChar c : text)
        append16(out, c.unicode());
    return out;
}

Property Property::absentAs(std::uint16_t id)
{
    Property p;
    p.id = id;
    p.absent = true;
    return p;
}

Property Property::integer16(std::uint16_t id, std::uint16_t v)
{
    QByteArray b;
    append16(b, v);
    return make(id, PropertyType::Integer16, b);
}

Property Property::integer32(std::uint16_t id, std::uint32_t v)
{
    QByteArray b;
    append32(b, v);
    return make(id, PropertyType::Integer32, b);
}

Property Property::integer64(std::uint16_t id, std::uint64_t v)
{
    QByteArray b;
    append64(b, v);
    return make(id, PropertyType::Integer64, b);
}

Property Property::floating64(std::uint16_t id, double v)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    QByteArray b;
    append64(b, bits);
    return make(id, PropertyType::Floating64, b);
}

Property Property::boolean(std::uint16_t id, bool v)
{
    return make(id, PropertyType::Boolean, QByteArray(1, v ? '\1' : '\0'));
}

Property Property::fileTime(std::uint16_t id, std::uint64_t v)
{
    QByteArray b;
    append64(b, v);
    return make(id, PropertyType::Time, b);
}

Property Property::unicode(std::uint16_t id, const QString& text)
{
    return make(id, PropertyType::Unicode, utf16le(text));
}

Property Property::text(std::uint16_t id, const QString& text)
{
    Property p = make(id, PropertyType::Unicode, utf16le(text));
    p.encodeOnWrite = true;
    return p;
}

Property Property::string8(std::uint16_t id, const QByteArray& bytes)
{
    return make(id, PropertyType::String8, bytes);
}

Property Property::string8(std::uint16_t id, const QString& text)
{
    Property p = make(id, PropertyType::String8, utf16le(text));
    p.encodeOnWrite = true;
    return p;
}

QString Property::characters() const
{
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(value.constData()), value.size() / 2);
}

Property Property::binary(std::uint16_t id, const QByteArray& bytes)
{
    return make(id, PropertyType::Binary, bytes);
}

Property Property::guid(std::uint16_t id, const QUuid& uuid)
{
    // GUIDs are stored with their first three fields little-endian.
    QByteArray b;
    append32(b, uuid.data1);
    append16(b, uuid.data2);
    append16(b, uuid.data3);
    b.append(reinterpret_cast<const char*>(uuid.data4), 8);
    return make(id, PropertyType::Guid, b);
}

Property Property::namedAs(const QUuid& propertySet, std::uint32_t lid, Property value)
{
    value.named = true;
    value.propertySet = propertySet;
    value.lid = lid;
    value.id = 0;
    return value;
}

Property Property::namedAs(const QUuid& propertySet, const QString& name, Property value)
{
    value = namedAs(propertySet, 0, std::move(value));
    value.name = name;
    return value;
}

Property Property::multiple(std::uint16_t id, PropertyType type, const std::vector<QByteArray>& values)
{
    QByteArray offsets;
    QByteArray data;
    append32(offsets, static_cast<std::uint32_t>(values.size()));
    const auto start = static_cast<std::uint32_t>(4 + 4 * values.size());
    for (const QByteArray& value : values) {
        append32(offsets, start + static_cast<std::uint32_t>(data.size()));
        data.append(value);
    }
    return make(id, type, offsets + data);
}

Property Property::unicodes(std::uint16_t id, const QStringList& texts)
{
    std::vector<QByteArray> values;
    for (const QString& text : texts)
        values.push_back(utf16le(text));
    return multiple(id, PropertyType::MultipleUnicode, values);
}

std::size_t Property::fixedSize(PropertyType type)
{
    switch (type) {
    case PropertyType::Integer16:
        return 2;
    case PropertyType::Integer32:
    case PropertyType::Floating32:
    case PropertyType::ErrorCode:
        return 4;
    case PropertyType::Boolean:
        return 1;
    case PropertyType::Floating64:
    case PropertyType::Currency:
    case PropertyType::FloatingTime:
    case PropertyType::Integer64:
    case PropertyType::Time:
        return 8;
    default:
        return 0;
    }
}

namespace propertyset {
QUuid appointment()
{
    return QUuid(0x00062002, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);
}
QUuid address()
{
    return QUuid(0x00062004, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);
}
QUuid common()
{
    return QUuid(0x00062008, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);
}
QUuid task()
{
    return QUuid(0x00062003, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);
}
QUuid note()
{
    return QUuid(0x0006200E, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);
}
QUuid log()
{
    return QUuid(0x0006200A, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);
}

QUuid publicStrings()
{
    return QUuid(0x00020329, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);
}
} // namespace propertyset

QByteArray compressedRtf(const QByteArray& rtf)
{
    // libpff decompresses every RTF body as LZFu, whatever its header says, so the text goes into
    // an LZFu stream made of literals only: each control byte announces eight literal bytes, and a
    // dictionary reference to the current write position ends the stream.
    constexpr std::uint32_t kDictionaryPrefix = 207;
    QByteArray stream;
    stream.reserve(rtf.size() + rtf.size() / 8 + 4);
    qsizetype control = -1;
    int used = 8;
    auto token = [&](bool reference) {
        if (used == 8) {
            control = stream.size();
            stream.append('\0');
            used = 0;
        }
        if (reference)
            stream[control] = static_cast<char>(stream.at(control) | (1 << used));
        ++used;
    };
    for (char c : rtf) {
        token(false);
        stream.append(c);
    }
    token(true);
    const std::uint32_t end = (kDictionaryPrefix + static_cast<std::uint32_t>(rtf.size())) % 4096;
    stream.append(static_cast<char>(end >> 4));
    stream.append(static_cast<char>((end & 0x0F) << 4));

    QByteArray out;
    append32(out, static_cast<std::uint32_t>(stream.size() + 12));
    append32(out, static_cast<std::uint32_t>(rtf.size()));
    out.append("LZFu", 4);
    append32(out, Checksum::crc(stream.constData(), static_cast<std::size_t>(stream.size())));
    out.append(stream);
    return out;
}

} // namespace storegen
