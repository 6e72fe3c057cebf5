#pragma once

#include <functional>
#include <thread>

namespace cli {

// While it lives, Ctrl+C, a closed terminal and `kill` (SIGINT, SIGHUP, SIGTERM) call `stop`
// once, from a thread of its own, instead of ending the program in the middle of writing a file;
// a second signal ends the program as usual. Nothing on systems without these signals.
class StopOnSignals
{
public:
    explicit StopOnSignals(std::function<void()> stop);
    ~StopOnSignals();
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

    // The signal that called stop, or 0.
    int signal() const { return m_signal; }

private:
    std::function<void()> m_stop;
    std::thread m_watcher;
    int m_signal = 0;
};

} // namespace cli
