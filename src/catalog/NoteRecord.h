#pragma once

#include "NodeId.h"
#include "TextFile.h"

#include <QString>
#include <optional>

namespace catalog {

// One note item (a sticky note): what its list row and preview show, as stored.
struct NoteRecord
{
    static constexpr int Kind = 17;

    NodeId node = NoNode;
    int kind = Kind;
    std::optional<QString> subject;
    std::optional<quint32> color;            // PidLidNoteColor: 0 blue .. 4 white
    std::optional<quint64> modificationTime; // PR_LAST_MODIFICATION_TIME, a FILETIME
    qint64 time = -1;                        // the last change in ms since 1970 (UTC); -1 when unknown
    int serial = 0;
    // Where the catalogs keep the note's text; set by the append.
    TextRef body;
};

} // namespace catalog
