#pragma once

#include "NodeId.h"
#include "TextFile.h"

#include <QString>
#include <optional>

namespace catalog {

// One journal entry (an activity such as a phone call): what its list row and preview show.
struct JournalRecord
{
    static constexpr int Kind = 1;

    NodeId node = NoNode;
    int kind = Kind;
    std::optional<QString> subject;
    std::optional<QString> entryType; // PidLidLogType, free text such as "Phone call"
    std::optional<quint64> start;     // PidLidLogStart, a FILETIME
    qint64 time = -1;                 // the start in ms since 1970 (UTC); -1 when unknown
    int serial = 0;
    // Where the catalogs keep the entry's text; set by the append.
    TextRef body;
};

} // namespace catalog
