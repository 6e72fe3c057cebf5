#pragma once

#include <array>
#include <cstddef>

namespace app {

// The commands whose availability changes while the program runs. File > Exit and the Help
// menu are always available.
enum class Command
{
    BrowseButton,
    ScanButton,
    StopButton,
    ConvertButton,
    FileOpen,
    FileScan,
    FileConvert,
    Tree,
};

// What happens to the program that changes which commands are available.
enum class CommandEvent
{
    DialogInitialised,
    FileChosen,
    FileDialogCancelled,
    ScanStarted,
    ScanCompleted,
    ScanFailed,
    StopConfirmed,
    StopDeclined,
    StopWithoutScan,
};

// Which commands of the main window are enabled, driven by the program's events. Each event
// switches some commands on, some off and leaves the rest as they were. Widget-free; the main
// window applies the result to its buttons, menu items and tree. GUI thread.
class CommandState
{
public:
    static constexpr std::size_t CommandCount = 8;

    CommandState();

    void apply(CommandEvent event);
    bool isEnabled(Command command) const { return m_enabled[index(command)]; }
    void setEnabled(Command command, bool enabled) { m_enabled[index(command)] = enabled; }

private:
    static std::size_t index(Command command) { return static_cast<std::size_t>(command); }

    std::array<bool, CommandCount> m_enabled{};
};

} // namespace app
