#pragma once

#include "store/Item.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace scan {

// Property reads for the exports, where a value that cannot be read counts as absent: missing
// values never fail an item. Texts arrive as UTF-8 and lose the terminating zero the library
// keeps. Engine-internal.
class PropertyReads
{
public:
    static std::optional<QString> text(const store::Item& item, std::uint32_t tag, int recordSet = 0);
    // A message's own text property (8-bit strings in the message's code page).
    static std::optional<QString> messageText(const store::Item& item, std::uint32_t tag);
    static std::optional<std::size_t> textSize(const store::Item& item, std::uint32_t tag, int recordSet = 0);
    static std::optional<std::uint32_t> integer32(const store::Item& item, std::uint32_t tag);
    static std::optional<std::uint64_t> fileTime(const store::Item& item, std::uint32_t tag);
    // An 8-byte floating-point property (PT_DOUBLE); none when absent or of another size.
    static std::optional<double> floating64(const store::Item& item, std::uint32_t tag);
    // A FILETIME property as the date-time text, or none when absent or out of range.
    static std::optional<QString> dateTimeText(const store::Item& item, std::uint32_t tag);

    // The plain-text body; empty when the item has none or it cannot be read.
    static QString plainBody(const store::Item& item);

    // Bytes without the terminating zeros the library counts.
    static QByteArray withoutTerminator(QByteArray bytes);
    static QString fromUtf8(const QByteArray& bytes);
    // The item's subject or display name, for reports.
    static QString description(const store::Item& item);
};

} // namespace scan
