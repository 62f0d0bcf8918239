// tests/lan/Subprocess.h: a child process whose stdout and stderr a test reads, every wait bounded.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

class Subprocess {
public:
    // stdin is /dev/null; extraEnv ("NAME=value") is added to this process's environment.
    explicit Subprocess(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv = {});
    Subprocess(const Subprocess&) = delete;
    Subprocess& operator=(const Subprocess&) = delete;
    ~Subprocess(); // a child still running is killed and reaped

    bool started() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }
    void sendSignal(int signal);
    // True once text has appeared on stdout or stderr; false when the time ran out first.
    bool waitForOutput(const std::string& text, std::chrono::milliseconds timeout);
    // Waits for the exit and for the end of both outputs (nothing it left behind may hold them). Returns
    // the exit status, 128 + N for an end by signal N as a shell shows it, or -1 when the time ran out
    // (the child is then killed).
    int finish(std::chrono::milliseconds timeout);
    const std::string& out() const { return m_out; }
    const std::string& err() const { return m_err; }

private:
    void pump(int timeoutMs);
    void reap(int options);

    pid_t m_pid = -1;
    int m_outFd = -1;
    int m_errFd = -1;
    std::string m_out;
    std::string m_err;
    std::optional<int> m_status;
};
