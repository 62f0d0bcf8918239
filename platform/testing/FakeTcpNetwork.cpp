#include "platform/testing/FakeTcpNetwork.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace fw {

namespace {
constexpr int kConnectionRefused = 10061, kNoRoute = 10065, kNotConnected = 10057;
} // namespace

class FakeTcpNetwork::Socket final : public TcpSocket {
public:
    explicit Socket(FakeTcpNetwork& network) : m_network{network} {}

    int connect(const std::string& dotted, std::uint16_t port, int, const StopFlag*) override
    {
        std::lock_guard lock{m_network.m_mutex};
        const auto device = m_network.m_devices.find({dotted, port});
        if (device == m_network.m_devices.end()) return kConnectionRefused;
        m_device = device->second;
        m_index = m_network.m_exchanges.size();
        m_network.m_exchanges.push_back({dotted, port, {}});
        return 0;
    }
    SocketWait waitWritable(int, const StopFlag*, int&) override { return SocketWait::Ready; }
    SocketWait waitReadable(int, const StopFlag*, int&) override { return SocketWait::Ready; }
    long sendSome(std::span<const std::byte> bytes, int, const StopFlag* stop, int& error) override
    {
        if (!m_device) {
            error = kNotConnected;
            return -1;
        }
        std::unique_lock lock{m_network.m_mutex};
        const std::string& prefix = m_network.m_stallPrefix;
        while (!prefix.empty() && m_network.m_exchanges[m_index].request.starts_with(prefix)) {
            if (stop && *stop) {
                error = kSocketInterrupted;
                return -1;
            }
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            lock.lock();
        }
        m_network.m_exchanges[m_index].request.append(reinterpret_cast<const char*>(bytes.data()),
                                                      bytes.size());
        return static_cast<long>(bytes.size());
    }
    long receiveSome(std::span<std::byte> buffer, int, const StopFlag*, int& error) override
    {
        if (!m_device) {
            error = kNotConnected;
            return -1;
        }
        if (!m_replied) {
            std::string request;
            {
                std::lock_guard lock{m_network.m_mutex};
                request = m_network.m_exchanges[m_index].request;
            }
            m_reply = m_device(request);
            m_replied = true;
        }
        if (m_read == m_reply.text.size()) {
            if (!m_reply.keepOpen) return 0;
            error = kSocketTimedOut;
            return -1;
        }
        const std::size_t n = std::min(buffer.size(), m_reply.text.size() - m_read);
        std::memcpy(buffer.data(), m_reply.text.data() + m_read, n);
        m_read += n;
        return static_cast<long>(n);
    }
    void shutdownBoth() override {}

private:
    FakeTcpNetwork& m_network;
    Device m_device;
    std::size_t m_index = 0;
    bool m_replied = false;
    Reply m_reply;
    std::size_t m_read = 0;
};

FakeTcpNetwork::FakeTcpNetwork()
{
    m_previous = setTcpSocketMaker([this](int& error) -> std::unique_ptr<TcpSocket> {
        error = 0;
        return std::make_unique<Socket>(*this);
    });
}

FakeTcpNetwork::~FakeTcpNetwork()
{
    setTcpSocketMaker(std::move(m_previous));
}

void FakeTcpNetwork::device(const std::string& address, std::uint16_t port, Device answer)
{
    std::lock_guard lock{m_mutex};
    m_devices[{address, port}] = std::move(answer);
}

void FakeTcpNetwork::stallRequestsBeginning(std::string prefix)
{
    std::lock_guard lock{m_mutex};
    m_stallPrefix = std::move(prefix);
}

void FakeTcpNetwork::clear()
{
    std::lock_guard lock{m_mutex};
    m_devices.clear();
    m_exchanges.clear();
}

std::vector<FakeTcpNetwork::Exchange> FakeTcpNetwork::exchanges() const
{
    std::lock_guard lock{m_mutex};
    return m_exchanges;
}

TcpSocketMaker refusingTcpSocketMaker()
{
    return [](int& error) -> std::unique_ptr<TcpSocket> {
        error = kNoRoute;
        return nullptr;
    };
}

} // namespace fw
