#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace scan {

// The word texts of a mail's header values as the list and the preview show them. A value that
// is absent gives the text the header rules name for it (a single space for "no value").
class MessageTexts
{
public:
    // PR_MESSAGE_FLAGS: the label of the highest set bit among 0x002..0x200, else "Read" or
    // "Unread" by bit 0x001; " " when absent.
    static QString flags(std::optional<std::uint32_t> value);
    // PR_PRIORITY: -1 "Non Urgent", 0 "Normal", 1 "Urgent", anything else or absent "None".
    static QString priority(std::optional<std::uint32_t> value);
    // PR_SENSITIVITY: 0 "None", 1 "Personal", 2 "Private", 3 "Confidential", else "None".
    static QString sensitivity(std::optional<std::uint32_t> value);
    // PR_IMPORTANCE: 0 "Low", 1 "Normal", 2 "High", else " ".
    static QString importance(std::optional<std::uint32_t> value);
    // PR_MESSAGE_SIZE: signed decimal followed by "  Bytes"; " " when absent.
    static QString size(std::optional<std::uint32_t> value);
    // PR_MESSAGE_DELIVERY_TIME (a FILETIME) as the list writes dates; absent when the value is
    // absent or beyond what a date can show.
    static std::optional<QString> deliveryTime(std::optional<std::uint64_t> fileTime);
    // A subject as the catalogs keep it: as the item has it, without Outlook's prefix marker.
    static QString subject(const QString& text);
    // The subject slot of a record: absent when the item has no subject or its subject is a lone
    // space; an empty subject (only the prefix marker) stays an empty text, so that it is not
    // mistaken for a missing one.
    static std::optional<QString> subjectSlot(const std::optional<QString>& text);
};

} // namespace scan
