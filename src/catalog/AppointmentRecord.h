#pragma once

#include "NodeId.h"

#include <QString>
#include <optional>

namespace catalog {

// The texts of one appointment item that the list and the preview show.
struct AppointmentRecord
{
    static constexpr int Kind = 2;

    // Absent on append means "the name of the record appended before" (as for mail).
    std::optional<QString> name;
    int kind = Kind;
    std::optional<QString> end;
    NodeId node = NoNode;
    std::optional<QString> location;
    std::optional<QString> recurrence;
    std::optional<QString> start;
    std::optional<QString> placeholder1;
    std::optional<QString> placeholder2;
    std::optional<QString> folderPath;
    // The subject as the mail list shows subjects; absent when the item has none.
    std::optional<QString> subject;
    // The start in ms since 1970 (UTC); -1 when unknown.
    qint64 time = -1;
    int serial = 0;
};

// What a search looks into besides an appointment's record: its attendees and its text.
struct AppointmentTexts
{
    QString attendees;
    QString description;
    bool descriptionIsHtml = false;
};

} // namespace catalog
