#pragma once

#include "NodeId.h"
#include "TextFile.h"

#include <QString>
#include <optional>

namespace catalog {

// One task item: what its list row and preview show, as stored (the views put the codes into
// words). An absent value is std::nullopt.
struct TaskRecord
{
    static constexpr int Kind = 26;

    NodeId node = NoNode;
    int kind = Kind;
    std::optional<QString> subject;
    std::optional<quint64> dueDate;        // PidLidTaskDueDate, a FILETIME
    std::optional<quint32> status;         // PidLidTaskStatus: 0 not started .. 4 deferred
    std::optional<double> percentComplete; // PidLidPercentComplete, 0.0 to 1.0
    std::optional<quint32> importance;     // PR_IMPORTANCE: 0 low, 1 normal, 2 high
    // The due date in ms since 1970 (UTC); -1 when unknown. What a search's date range looks at.
    qint64 time = -1;
    int serial = 0;
    // Where the catalogs keep the task's text; set by the append.
    TextRef body;
};

} // namespace catalog
