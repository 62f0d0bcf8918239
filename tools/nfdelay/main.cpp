// tools/nfdelay/main.cpp: binds a netfilter queue and holds each of its packets for the delay given, until
// SIGTERM or SIGINT.
#include "tools/nfdelay/HoldQueue.h"
#include "tools/nfdelay/Options.h"
#include "tools/nfdelay/PacketQueue.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sys/prctl.h>

namespace {

volatile std::sig_atomic_t g_stopSignal = 0;

void onStopSignal(int signal)
{
    g_stopSignal = signal;
}

void say(const std::string& text)
{
    std::fprintf(stderr, "nfdelay: %s\n", text.c_str());
}

// The stop signals are blocked except inside ppoll, so one that comes between two waits is not lost: it
// ends the next wait at once. Returns the mask to wait with.
sigset_t catchStopSignals()
{
    sigset_t stops, waitMask;
    sigemptyset(&stops);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGINT);
    sigprocmask(SIG_BLOCK, &stops, &waitMask);
    sigdelset(&waitMask, SIGTERM);
    sigdelset(&waitMask, SIGINT);
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    return waitMask;
}

timespec untilRelease(nfdelay::Clock::time_point release)
{
    const auto wait = std::max(release - nfdelay::Clock::now(), nfdelay::Clock::duration::zero());
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
    return {static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

} // namespace

int main(int argc, char** argv)
{
    using namespace nfdelay;
    const ParsedOptions parsed = parseOptions(argc, argv);
    if (parsed.options.help) {
        std::fputs(usageText(), stdout);
        return 0;
    }
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "nfdelay: %s\nTry 'nfdelay --help'.\n", parsed.error.c_str());
        return 2;
    }
    const Options& options = parsed.options;
    // A hold of a millisecond would otherwise grow by the default 50 us of timer slack at every wait.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    const sigset_t waitMask = catchStopSignals();

    PacketQueue queue;
    if (std::string error = queue.open(options.queue); !error.empty()) {
        say(error);
        return 1;
    }
    HoldQueue held{options.delay};
    std::uint64_t packets = 0;
    const auto onPacket = [&](std::uint32_t id) {
        held.hold(id, Clock::now());
        ++packets;
    };
    std::fputs("nfdelay: ready\n", stdout);
    std::fflush(stdout);

    std::string error;
    while (error.empty() && !g_stopSignal) {
        pollfd watched{queue.fd(), POLLIN, 0};
        timespec timeout{};
        const std::optional<Clock::time_point> next = held.nextRelease();
        if (next) timeout = untilRelease(*next);
        const int ready = ppoll(&watched, 1, next ? &timeout : nullptr, &waitMask);
        if (ready < 0 && errno != EINTR) {
            error = std::string("cannot wait for queue ") + std::to_string(options.queue) + ": " +
                    std::strerror(errno);
            break;
        }
        if (ready > 0) error = queue.readWaiting(onPacket);
        if (const std::optional<std::uint32_t> last = held.takeDue(Clock::now()); last && error.empty())
            error = queue.acceptThrough(*last);
    }
    // No packet is left without a verdict: what is still held goes out now.
    if (const std::optional<std::uint32_t> last = held.takeAll()) {
        if (std::string text = queue.acceptThrough(*last); error.empty()) error = text;
    }
    if (!error.empty()) {
        say(error);
        return 1;
    }
    say(std::string("ending on SIG") + sigabbrev_np(g_stopSignal) + "; " + std::to_string(packets) +
        " packets held " + std::to_string(options.delay.count()) + " ms each on queue " +
        std::to_string(options.queue) +
        (queue.lostMessages() ? ", " + std::to_string(queue.lostMessages()) + " messages lost" : ""));
    return 0;
}
