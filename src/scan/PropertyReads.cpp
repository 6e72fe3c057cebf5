#include "PropertyReads.h"

#include "store/MapiTags.h"
#include "store/FileTime.h"
#include "store/StoreError.h"

#include <QtEndian>
#include <cstring>

namespace scan {

namespace mapi = store::mapi;

std::optional<QString> PropertyReads::text(const store::Item& item, std::uint32_t tag, int recordSet)
{
    try {
        const std::optional<QByteArray> bytes = item.utf8String(tag, recordSet);
        if (!bytes)
            return std::nullopt;
        return fromUtf8(*bytes);
    } catch (const store::StoreError&) {
        return std::nullopt;
    }
}

std::optional<QString> PropertyReads::messageText(const store::Item& item, std::uint32_t tag)
{
    try {
        const std::optional<QByteArray> bytes = item.messageUtf8String(tag);
        if (!bytes)
            return std::nullopt;
        return fromUtf8(*bytes);
    } catch (const store::StoreError&) {
        return std::nullopt;
    }
}

std::optional<std::size_t> PropertyReads::textSize(const store::Item& item, std::uint32_t tag, int recordSet)
{
    try {
        return item.utf8StringSize(tag, recordSet);
    } catch (const store::StoreError&) {
        return std::nullopt;
    }
}

std::optional<std::uint32_t> PropertyReads::integer32(const store::Item& item, std::uint32_t tag)
{
    try {
        return item.integer32(tag, 0);
    } catch (const store::StoreError&) {
        return std::nullopt;
    }
}

std::optional<std::uint64_t> PropertyReads::fileTime(const store::Item& item, std::uint32_t tag)
{
    try {
        return item.fileTime(tag, 0);
    } catch (const store::StoreError&) {
        return std::nullopt;
    }
}

std::optional<double> PropertyReads::floating64(const store::Item& item, std::uint32_t tag)
{
    std::optional<QByteArray> bytes;
    try {
        bytes = item.binary(tag, 0);
    } catch (const store::StoreError&) {
        return std::nullopt;
    }
    if (!bytes || bytes->size() != 8)
        return std::nullopt;
    const auto bits = qFromLittleEndian<std::uint64_t>(bytes->constData());
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::optional<QString> PropertyReads::dateTimeText(const store::Item& item, std::uint32_t tag)
{
    const std::optional<std::uint64_t> value = fileTime(item, tag);
    if (!value)
        return std::nullopt;
    return store::fileTimeToText(*value);
}

QString PropertyReads::plainBody(const store::Item& item)
{
    try {
        if (const std::optional<QByteArray> body = item.plainTextBody())
            return fromUtf8(*body);
    } catch (const store::StoreError&) {
        // A text that cannot be read is left out, as an absent one.
    }
    return {};
}

QByteArray PropertyReads::withoutTerminator(QByteArray bytes)
{
    while (!bytes.isEmpty() && bytes.back() == '\0')
        bytes.chop(1);
    return bytes;
}

QString PropertyReads::fromUtf8(const QByteArray& bytes)
{
    return QString::fromUtf8(withoutTerminator(bytes));
}

QString PropertyReads::description(const store::Item& item)
{
    for (std::uint32_t tag : {mapi::PrSubject, mapi::PrDisplayName}) {
        const std::optional<QString> value = text(item, tag);
        if (value && !value->isEmpty())
            return *value;
    }
    return QString();
}

} // namespace scan
