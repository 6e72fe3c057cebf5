#include "CommandState.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using app::Command;
using app::CommandEvent;
using app::CommandState;

namespace {

// "11000001": Browse, Scan, Stop, Convert buttons; File > Open, Scan, Convert; tree.
std::string states(const CommandState& s)
{
    std::string out;
    for (std::size_t i = 0; i < CommandState::CommandCount; ++i)
        out += s.isEnabled(static_cast<Command>(i)) ? '1' : '0';
    return out;
}

CommandState allIn(bool enabled)
{
    CommandState s;
    for (std::size_t i = 0; i < CommandState::CommandCount; ++i)
        s.setEnabled(static_cast<Command>(i), enabled);
    return s;
}

} // namespace

TEST(CommandState, StartsWithOnlyBrowseOpenAndTheTree)
{
    EXPECT_EQ(states(CommandState()), "10001001");
}

// Each event applied once to a state with everything on and once to one with everything off:
// what it switches shows in both, what it leaves shows as the starting value.
TEST(CommandState, EveryEventSwitchesItsRow)
{
    struct Row
    {
        CommandEvent event;
        const char* fromAllOn;
        const char* fromAllOff;
    };
    const Row rows[] = {
        {CommandEvent::DialogInitialised, "10001001", "10001001"},
        {CommandEvent::FileChosen, "11101111", "01000100"},
        {CommandEvent::FileDialogCancelled, "11011111", "10000010"},
        {CommandEvent::ScanStarted, "00110011", "00100000"},
        {CommandEvent::ScanCompleted, "11011111", "10011011"},
        {CommandEvent::ScanFailed, "11011111", "11001100"},
        {CommandEvent::StopConfirmed, "11011111", "10001000"},
        {CommandEvent::StopDeclined, "11111111", "00000000"},
        {CommandEvent::StopWithoutScan, "11011111", "10000000"},
    };
    for (const auto& row : rows) {
        CommandState on = allIn(true);
        on.apply(row.event);
        EXPECT_EQ(states(on), row.fromAllOn) << static_cast<int>(row.event);
        CommandState off = allIn(false);
        off.apply(row.event);
        EXPECT_EQ(states(off), row.fromAllOff) << static_cast<int>(row.event);
    }
}

TEST(CommandState, TypicalRuns)
{
    struct Step
    {
        CommandEvent event;
        const char* expected;
    };
    const std::vector<std::vector<Step>> runs = {
        // Choose, scan to the end, then Stop without a scan: only Browse changes.
        {{CommandEvent::FileChosen, "11001101"},
         {CommandEvent::ScanStarted, "00100001"},
         {CommandEvent::ScanCompleted, "10011011"},
         {CommandEvent::StopWithoutScan, "10011011"}},
        // Cancelling the first file dialog enables File > Convert with nothing scanned.
        {{CommandEvent::FileDialogCancelled, "10001011"}},
        // A stopped scan: Scan stays off until a new file is chosen.
        {{CommandEvent::FileChosen, "11001101"},
         {CommandEvent::ScanStarted, "00100001"},
         {CommandEvent::StopDeclined, "00100001"},
         {CommandEvent::StopConfirmed, "10001001"},
         {CommandEvent::FileChosen, "11001101"}},
        // After a failed scan the user may choose another file or try again.
        {{CommandEvent::FileChosen, "11001101"},
         {CommandEvent::ScanStarted, "00100001"},
         {CommandEvent::ScanFailed, "11001101"}},
    };
    for (std::size_t r = 0; r < runs.size(); ++r) {
        CommandState t;
        for (std::size_t i = 0; i < runs[r].size(); ++i) {
            t.apply(runs[r][i].event);
            EXPECT_EQ(states(t), runs[r][i].expected) << "run " << r << " step " << i;
        }
    }
}
