#include "ContactRecord.h"

#include <algorithm>

namespace catalog {

bool ContactRecord::isListedSlot(int number)
{
    // Full name, first and last name, company, business phone and fax, home and mobile phone.
    static constexpr std::array<int, 8> Listed{1, 6, 8, 12, 13, 15, 16, 17};
    return std::find(Listed.begin(), Listed.end(), number) != Listed.end();
}

std::optional<QString> ContactRecord::slot(int number) const
{
    const auto found =
        std::lower_bound(m_slots.cbegin(), m_slots.cend(), number,
                         [](const std::pair<int, QString>& entry, int n) { return entry.first < n; });
    if (found == m_slots.cend() || found->first != number)
        return std::nullopt;
    return found->second;
}

void ContactRecord::setSlot(int number, std::optional<QString> text)
{
    if (number < 1 || number > SlotCount)
        return;
    const auto found =
        std::lower_bound(m_slots.begin(), m_slots.end(), number,
                         [](const std::pair<int, QString>& entry, int n) { return entry.first < n; });
    const bool exists = found != m_slots.end() && found->first == number;
    if (!text) {
        if (exists)
            m_slots.erase(found);
        return;
    }
    if (exists)
        found->second = std::move(*text);
    else
        m_slots.insert(found, {number, std::move(*text)});
}

} // namespace catalog
