#pragma once
// A device web server on 127.0.0.1 that plays a script: one answer for each connection, in order.
// It reads each request whole, records it, and answers with the pieces of its reply.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace webtest {

struct Answer {
    std::vector<std::string> pieces; // sent one after another, 100 ms apart
    enum class End { Close, KeepOpen } end = End::Close;
    std::size_t readLimit = SIZE_MAX; // stop reading the request after this many bytes (a stall)
};

// An answer of one piece that closes the connection after it.
Answer reply(std::string text);

class FakeDevice {
public:
    explicit FakeDevice(std::vector<Answer> script);
    ~FakeDevice();
    FakeDevice(const FakeDevice&) = delete;
    FakeDevice& operator=(const FakeDevice&) = delete;

    std::uint16_t port() const { return m_port; }
    // The requests received so far, one for each connection.
    std::vector<std::string> requests() const;
    // Waits until the script is played to its end (at most a few seconds).
    void waitDone() const;

private:
    void serve();
    std::string readRequest(int fd, std::size_t limit);

    std::vector<Answer> m_script;
    int m_listener = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_done{false};
    mutable std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::vector<int> m_held; // connections kept open until the end
    std::thread m_thread;
};

} // namespace webtest
