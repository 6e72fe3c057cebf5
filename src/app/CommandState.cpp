#include "CommandState.h"

namespace app {

namespace {

// One row of the availability table: for each command in the order of Command, switch it on,
// off, or leave it.
enum class Change
{
    Keep,
    On,
    Off,
};

using Row = std::array<Change, CommandState::CommandCount>;

constexpr Change K = Change::Keep;
constexpr Change Y = Change::On;
constexpr Change N = Change::Off;

// Columns: Browse, Scan, Stop, Convert buttons; File > Open, Scan, Convert; the tree.
Row rowFor(CommandEvent event)
{
    switch (event) {
    case CommandEvent::DialogInitialised:
        return {Y, N, N, N, Y, N, N, Y};
    case CommandEvent::FileChosen:
        return {K, Y, K, N, K, Y, K, K};
    case CommandEvent::FileDialogCancelled:
        // File > Convert comes on here even before any scan; the Convert command copes with
        // empty catalogs.
        return {Y, K, N, K, K, K, Y, K};
    case CommandEvent::ScanStarted:
        return {N, N, Y, K, N, N, K, K};
    // Stop is on only while a scan runs: it goes off when the scan ends, however it ends.
    case CommandEvent::ScanCompleted:
        return {Y, K, N, Y, Y, K, Y, Y};
    case CommandEvent::ScanFailed:
        // The user may choose another file or try the same one again.
        return {Y, Y, N, K, Y, Y, K, K};
    case CommandEvent::StopConfirmed:
        return {Y, K, N, K, Y, K, K, K};
    case CommandEvent::StopDeclined:
        return {K, K, K, K, K, K, K, K};
    case CommandEvent::StopWithoutScan:
        return {Y, K, N, K, K, K, K, K};
    }
    return {K, K, K, K, K, K, K, K};
}

} // namespace

CommandState::CommandState()
{
    apply(CommandEvent::DialogInitialised);
}

void CommandState::apply(CommandEvent event)
{
    const Row row = rowFor(event);
    for (std::size_t i = 0; i < CommandCount; ++i) {
        if (row[i] == Change::On)
            m_enabled[i] = true;
        else if (row[i] == Change::Off)
            m_enabled[i] = false;
    }
}

} // namespace app
