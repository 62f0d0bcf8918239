#include "platform/posix/SignalCleanup.h"

#include "platform/TempDir.h"

#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace fw {

void startSignalCleanup(std::string dir)
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread([set, dir = std::move(dir)] {
        int signal = 0;
        while (sigwait(&set, &signal) != 0) {
        }
        removeFlatDirectory(dir);
        std::fflush(stdout);
        _exit(128 + signal);
    }).detach();
}

} // namespace fw
