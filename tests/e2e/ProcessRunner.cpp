#include "tests/e2e/ProcessRunner.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace e2e {

std::string binary(const std::string& name)
{
    return std::string{FW_BIN_DIR} + "/" + name;
}

std::string sourcePath(const std::string& relative)
{
    return std::string{FW_SOURCE_DIR} + "/" + relative;
}

Outcome packShipped(const std::string& output, const std::string& manifest)
{
    RunSpec pack;
    pack.argv = {binary("fwbundle"), "pack", "-o", output, binary("fwupgrade"), "--manifest", manifest};
    pack.env = {{"PATH", "/usr/sbin:/usr/bin:/sbin:/bin"}};
    return runIsolated(pack);
}

Outcome runIsolated(const RunSpec& run)
{
    RunSpec isolated = run;
    isolated.argv.insert(isolated.argv.begin(), sourcePath("scripts/isolated.sh"));
    return runCommand(isolated);
}

Outcome runCommand(const RunSpec& run)
{
    std::vector<std::string> argv = run.argv;
    std::vector<char*> cargv;
    for (auto& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);
    std::vector<std::string> envText;
    for (const auto& [k, v] : run.env) envText.push_back(k + "=" + v);
    std::vector<char*> cenv;
    for (auto& e : envText) cenv.push_back(e.data());
    cenv.push_back(nullptr);

    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(outPipe[1], 1);
        ::dup2(errPipe[1], 2);
        const int devnull = ::open("/dev/null", O_RDONLY);
        ::dup2(devnull, 0);
        // The test runner may block signals; the program starts with none blocked.
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::execve(cargv[0], cargv.data(), cenv.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);

    Outcome outcome;
    const auto deadline = std::chrono::steady_clock::now() + run.limit;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&outcome.out, &outcome.err};
    int open = 2;
    while (open > 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            outcome.timedOut = true;
            ::kill(pid, SIGKILL);
            break;
        }
        if (run.whileRunning) run.whileRunning(pid);
        if (::poll(fds, 2, 20) < 0 && errno != EINTR) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (const pollfd& fd : fds) {
        if (fd.fd >= 0) ::close(fd.fd);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return outcome;
}

} // namespace e2e
