// bench/LineStamp.cpp: copies stdin to stdout with each line prefixed by the monotonic time it was read at,
// in seconds, so that a log without times (routersim's) can be timed afterwards. It reads in large chunks
// and writes each chunk at once, so a program logging every datagram is not slowed by it. It ends when its
// input ends: a stop signal to everything around it (the test LAN's teardown) does not cut the log short.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <unistd.h>

namespace {

bool writeAll(const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string stamp()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%06ld ", static_cast<long long>(now.tv_sec), now.tv_nsec / 1000);
    return text;
}

} // namespace

int main(int argc, char**)
{
    if (argc > 1) {
        std::fputs("Usage: linestamp < LOG > STAMPED-LOG\n"
                   "Prefixes each line with the CLOCK_MONOTONIC seconds at which it was read.\n",
                   stderr);
        return 2;
    }
    std::signal(SIGTERM, SIG_IGN);
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGHUP, SIG_IGN);
    static char buffer[1 << 16];
    bool atLineStart = true;
    std::string out;
    while (true) {
        const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            std::fprintf(stderr, "linestamp: cannot read: %s\n", std::strerror(errno));
            return 1;
        }
        if (n == 0) return 0;
        const std::string now = stamp();
        out.clear();
        for (ssize_t i = 0; i < n; ++i) {
            if (atLineStart) out += now;
            out += buffer[i];
            atLineStart = buffer[i] == '\n';
        }
        if (!writeAll(out)) {
            std::fprintf(stderr, "linestamp: cannot write: %s\n", std::strerror(errno));
            return 1;
        }
    }
}
