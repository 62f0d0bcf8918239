// tests/lan/Subprocess.cpp: posix_spawn with two pipes, read through poll.
#include "tests/lan/Subprocess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

Subprocess::Subprocess(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv)
{
    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0) return;
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(out[0]);
        close(out[1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<char*> env;
    for (char** e = environ; *e != nullptr; ++e) env.push_back(*e);
    for (const std::string& e : extraEnv) env.push_back(const_cast<char*>(e.c_str()));
    env.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.data()) == 0) m_pid = pid;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    m_outFd = out[0];
    m_errFd = err[0];
}

Subprocess::~Subprocess()
{
    if (m_pid > 0 && !m_status) {
        kill(m_pid, SIGKILL);
        reap(0);
    }
    if (m_outFd >= 0) close(m_outFd);
    if (m_errFd >= 0) close(m_errFd);
}

void Subprocess::sendSignal(int signal)
{
    if (m_pid > 0 && !m_status) kill(m_pid, signal);
}

void Subprocess::reap(int options)
{
    int status = 0;
    if (m_status || waitpid(m_pid, &status, options) != m_pid) return;
    m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void Subprocess::pump(int timeoutMs)
{
    pollfd fds[2] = {{m_outFd, POLLIN, 0}, {m_errFd, POLLIN, 0}};
    if (poll(fds, 2, timeoutMs) <= 0) return;
    char buffer[4096];
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        const ssize_t size = read(fds[i].fd, buffer, sizeof buffer);
        if (size > 0) {
            (i == 0 ? m_out : m_err).append(buffer, static_cast<std::size_t>(size));
        } else if (size == 0 || errno != EINTR) {
            close(fds[i].fd);
            (i == 0 ? m_outFd : m_errFd) = -1;
        }
    }
}

bool Subprocess::waitForOutput(const std::string& text, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (m_out.find(text) == std::string::npos && m_err.find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() >= deadline || (m_outFd < 0 && m_errFd < 0)) return false;
        pump(20);
    }
    return true;
}

int Subprocess::finish(std::chrono::milliseconds timeout)
{
    if (m_pid <= 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!m_status || m_outFd >= 0 || m_errFd >= 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            if (!m_status) {
                kill(m_pid, SIGKILL);
                reap(0);
            }
            return -1;
        }
        if (m_outFd >= 0 || m_errFd >= 0)
            pump(20);
        else
            usleep(20'000);
        reap(WNOHANG);
    }
    return *m_status;
}
