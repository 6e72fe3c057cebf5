#pragma once

#include "NodeId.h"
#include "TextFile.h"

#include <QList>
#include <QString>
#include <array>
#include <optional>
#include <utility>

namespace catalog {

// One contact item: its folder name, node, serial and 67 numbered value slots (1-based). Only
// present slots are stored, so a contact costs memory for the values it has, not for all 67.
class ContactRecord
{
public:
    static constexpr int Kind = 7;
    static constexpr int SlotCount = 67;
    // Slots the append never fills, whatever the caller passes in those positions.
    static constexpr std::array<int, 3> IgnoredSlots{11, 29, 30};

    // The values as the contact export passes them: index 0 holds slot 1.
    using SlotValues = std::array<std::optional<QString>, SlotCount>;

    QString name;
    NodeId node = NoNode;
    int kind = Kind;
    int serial = 0;

    // The text of slot `number` (1..67); nullopt when absent or out of range.
    std::optional<QString> slot(int number) const;
    // Sets or (with nullopt) removes slot `number`; out-of-range numbers are ignored.
    void setSlot(int number, std::optional<QString> text);
    // Every present slot as (number, text), by number.
    const QList<std::pair<int, QString>>& presentSlots() const { return m_slots; }

    // Whether the item list shows slot `number`: the catalogs keep those in memory and the
    // others in their text file (Catalogs::fullContact reads them back).
    static bool isListedSlot(int number);

    // Where the catalogs keep the slots the list does not show; set by the append.
    TextRef texts;

private:
    QList<std::pair<int, QString>> m_slots;
};

} // namespace catalog
