#include "ItemFields.h"

#include "MailMapper.h"
#include "store/MapiTags.h"
#include "store/CodePage.h"
#include "store/StoreError.h"

#include <QStringDecoder>
#include <QTimeZone>
#include <QtEndian>
#include <cstring>

namespace convert {

namespace mapi = store::mapi;

namespace {

QByteArray withoutTrailingZeros(QByteArray bytes)
{
    while (bytes.endsWith('\0'))
        bytes.chop(1);
    return bytes;
}

} // namespace

template <typename Read> auto ItemFields::tryRead(const char* what, Read read) const -> decltype(read())
{
    try {
        return read();
    } catch (const store::StoreError& error) {
        m_problems << QStringLiteral("%1 cannot be read: %2")
                          .arg(QLatin1String(what),
                               QString::fromUtf8(error.what()).section(QLatin1Char('\n'), 0, 0));
        return {};
    }
}

QString ItemFields::text(std::uint32_t tag) const
{
    const auto value = tryRead("a text", [&] { return m_item.messageUtf8String(tag); });
    return value ? QString::fromUtf8(withoutTrailingZeros(*value)) : QString();
}

QString ItemFields::subject() const
{
    return mapi::withoutSubjectMarker(text(mapi::PrSubject));
}

std::optional<QByteArray> ItemFields::binaryOfType(std::uint32_t tag) const
{
    const auto type = tryRead("a binary value", [&] { return m_item.valueType(tag); });
    if (!type || *type != store::valuetype::Binary)
        return std::nullopt;
    return binary(tag);
}

std::optional<std::uint32_t> ItemFields::integer(std::uint32_t tag) const
{
    return tryRead("a number", [&] { return m_item.integer32(tag); });
}

std::optional<bool> ItemFields::boolean(std::uint32_t tag) const
{
    return tryRead("a flag", [&] { return m_item.boolean(tag); });
}

std::optional<double> ItemFields::floating(std::uint32_t tag) const
{
    const auto bytes = binary(tag);
    if (!bytes || bytes->size() != 8)
        return std::nullopt;
    double value = 0;
    const auto bits = qFromLittleEndian<std::uint64_t>(bytes->constData());
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::optional<QByteArray> ItemFields::binary(std::uint32_t tag) const
{
    return tryRead("a binary value", [&] { return m_item.binary(tag); });
}

QDateTime ItemFields::fromFileTime(std::uint64_t value)
{
    // 1601-01-01 to 1970-01-01 in 100-ns ticks; 0x0CB34557A3DD4000 is the "no date" value (4501-01-01).
    constexpr std::uint64_t kEpoch = 116444736000000000ULL;
    if (value == 0 || value >= 0x0CB34557A3DD4000ULL)
        return {};
    const qint64 milliseconds = (static_cast<qint64>(value / 10000)) - static_cast<qint64>(kEpoch / 10000);
    return QDateTime::fromMSecsSinceEpoch(milliseconds, QTimeZone::utc());
}

std::optional<QDateTime> ItemFields::time(std::uint32_t tag) const
{
    const auto value = tryRead("a date", [&] { return m_item.fileTime(tag); });
    if (!value)
        return std::nullopt;
    const QDateTime dateTime = fromFileTime(*value);
    if (!dateTime.isValid())
        return std::nullopt;
    return dateTime;
}

std::vector<QByteArray> ItemFields::binaries(std::uint32_t tag) const
{
    const auto data = binary(tag);
    return data ? store::multipleValues(*data) : std::vector<QByteArray>{};
}

QStringList ItemFields::categories() const
{
    static const store::PropertyName kKeywords{QUuid(0x00020329, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46),
                                               QStringLiteral("Keywords")};
    constexpr std::uint32_t kMultipleString8 = 0x101E;
    constexpr std::uint32_t kMultipleUnicode = 0x101F;
    const auto value = tryRead("the categories", [&] { return m_item.namedValue(kKeywords); });
    QStringList categories;
    if (!value || (value->type != kMultipleString8 && value->type != kMultipleUnicode))
        return categories;
    for (const QByteArray& bytes : store::multipleValues(value->bytes)) {
        QString category;
        if (value->type == kMultipleUnicode)
            category =
                QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
        else
            category = store::decodeCodePage(bytes, codePage());
        while (category.endsWith(QChar(0)))
            category.chop(1);
        if (!category.trimmed().isEmpty())
            categories << category;
    }
    return categories;
}

QString ItemFields::plainBody() const
{
    const auto body = tryRead("the plain-text body", [&] { return m_item.plainTextBody(); });
    return body ? QString::fromUtf8(withoutTrailingZeros(*body)) : QString();
}

QString ItemFields::htmlBody() const
{
    const auto html = tryRead("the HTML body", [&] { return m_item.htmlBody(); });
    if (!html)
        return {};
    const auto type = tryRead("the HTML body", [&] { return m_item.valueType(mapi::PrHtml); });
    if (type && *type == store::valuetype::Unicode) {
        QStringDecoder utf16(QStringDecoder::Utf16LE);
        QString text = utf16.decode(*html);
        while (text.endsWith(QChar(0)))
            text.chop(1);
        return text;
    }
    const auto internet = integer(mapi::PrInternetCodePage);
    return store::decodeCodePage(withoutTrailingZeros(*html),
                                 internet && *internet > 0 ? int(*internet) : codePage());
}

int ItemFields::codePage() const
{
    const auto value = integer(mapi::PrMessageCodePage);
    return value && *value > 0 && *value < 65536 ? static_cast<int>(*value) : store::kDefaultCodePage;
}

} // namespace convert
