#include "cli/StopSignals.h"

#include "platform/ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace PrintCommand {

namespace {

int s_pipe[2] = {-1, -1};
volatile std::sig_atomic_t s_signals = 0;

// Only what is safe in a handler: counters, an atomic flag and a write.
void onSignal(int number)
{
    const int saved = errno;
    s_signals = s_signals + 1;
    if (s_signals == 1) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(s_pipe[1], &byte, 1);
    } else {
        Platform::abortHelperPrograms();
        // The next one is the system's own: the program ends.
        ::signal(number, SIG_DFL);
    }
    errno = saved;
}

} // namespace

void installStopSignals()
{
    if (s_pipe[0] < 0 && ::pipe2(s_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction action{};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (const int number : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(number, &action, nullptr);
}

bool stopRequested()
{
    return s_signals > 0;
}

int stopNotifier()
{
    return s_pipe[0];
}

} // namespace PrintCommand
