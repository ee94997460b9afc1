#include "app/termination.h"

#include "platform/jobprogress.h"

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace kolva {

namespace {

// How long a job has to stop after the first signal before the program
// ends anyway (a job waiting for another program's lock does not look).
constexpr unsigned graceSeconds = 10;

extern "C" void onTermination(int signal)
{
    noteTermination(signal);
    ::alarm(graceSeconds);
}

extern "C" void onGraceOver(int)
{
    const int signal = terminationSignal();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

} // namespace

void installTerminationHandlers()
{
    struct sigaction action {};
    action.sa_handler = onTermination;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND; // a second signal ends the program at once
    for (const int signal : {SIGTERM, SIGINT})
        sigaction(signal, &action, nullptr);
    struct sigaction grace {};
    grace.sa_handler = onGraceOver;
    sigemptyset(&grace.sa_mask);
    sigaction(SIGALRM, &grace, nullptr);
}

void endAsTerminated()
{
    const int signal = terminationSignal();
    if (signal == 0)
        return;
    std::fflush(nullptr);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

} // namespace kolva
