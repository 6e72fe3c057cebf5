#pragma once

#include "store/Item.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

namespace convert {

// Reads of one item's properties for the contact and calendar writers, where a value that
// cannot be read counts as absent (and is noted in problems()), and texts come trimmed of the
// terminating zeros. Engine-internal; one item, one thread.
class ItemFields
{
public:
    explicit ItemFields(const store::Item& item) : m_item(item) {}

    QString text(std::uint32_t tag) const;
    // The subject without Outlook's prefix marker.
    QString subject() const;
    std::optional<std::uint32_t> integer(std::uint32_t tag) const;
    std::optional<bool> boolean(std::uint32_t tag) const;
    std::optional<double> floating(std::uint32_t tag) const;
    std::optional<QByteArray> binary(std::uint32_t tag) const;
    // A binary value only when the property is of binary type: the named properties' numbers
    // below 0x8000 are also the ids of other properties.
    std::optional<QByteArray> binaryOfType(std::uint32_t tag) const;
    // A FILETIME property as a UTC date-time; none when absent, zero or the "no date" value.
    std::optional<QDateTime> time(std::uint32_t tag) const;
    // The values of a multi-valued binary property.
    std::vector<QByteArray> binaries(std::uint32_t tag) const;
    // The categories the item is filed under (the "Keywords" named property), in stored order.
    QStringList categories() const;
    QString plainBody() const;
    QString htmlBody() const;
    int codePage() const;

    const store::Item& item() const { return m_item; }
    const QStringList& problems() const { return m_problems; }
    void addProblem(const QString& problem) const { m_problems << problem; }

    // A FILETIME as a UTC date-time (invalid for zero and out-of-range values).
    static QDateTime fromFileTime(std::uint64_t value);

private:
    template <typename Read> auto tryRead(const char* what, Read read) const -> decltype(read());

    const store::Item& m_item;
    mutable QStringList m_problems;
};

} // namespace convert
