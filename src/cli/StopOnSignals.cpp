#include "StopOnSignals.h"

#ifdef __unix__
#include <csignal>
#include <unistd.h>
#endif

namespace cli {

#ifdef __unix__
namespace {

constexpr int kSignals[] = {SIGINT, SIGHUP, SIGTERM};
// The handler only writes the signal's number into a pipe, which the watcher thread reads.
int g_pipe[2] = {-1, -1};

void onSignal(int number)
{
    const auto byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
}

void setHandler(void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : kSignals)
        ::sigaction(number, &action, nullptr);
}

} // namespace

StopOnSignals::StopOnSignals(std::function<void()> stop) : m_stop(std::move(stop))
{
    if (g_pipe[0] >= 0 || ::pipe(g_pipe) != 0)
        return;
    m_watcher = std::thread([this] {
        unsigned char number = 0;
        while (::read(g_pipe[0], &number, 1) < 0) {
        }
        if (number == 0)
            return; // the end of the watch
        // A second signal ends the program.
        setHandler(SIG_DFL);
        m_signal = number;
        m_stop();
    });
    setHandler(onSignal);
}

StopOnSignals::~StopOnSignals()
{
    if (!m_watcher.joinable())
        return;
    setHandler(SIG_DFL);
    const unsigned char end = 0;
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &end, 1);
    m_watcher.join();
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}
#else
StopOnSignals::StopOnSignals(std::function<void()> stop) : m_stop(std::move(stop)) {}
StopOnSignals::~StopOnSignals() = default;
#endif

} // namespace cli
