#pragma once

namespace cli {

// The program's exit codes, the same for every command.
enum ExitCode : int
{
    ExitSuccess = 0, // all done
    ExitFatal = 1,   // nothing (more) could be done: bad arguments, a store that cannot be opened
    ExitPartial = 2, // done, with items that failed (listed in the output)
};

} // namespace cli
