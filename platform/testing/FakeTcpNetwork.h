#pragma once
// Device web servers in memory for logic tests: while a FakeTcpNetwork lives, every socket the
// program makes talks to the devices given here and nothing else. A device reads the whole request
// (the client starts reading only once it has sent it) and answers it; unknown addresses refuse.
#include "platform/TcpSocket.h"

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace fw {

class FakeTcpNetwork {
public:
    struct Reply {
        std::string text;
        bool keepOpen = false; // the connection stays open after the reply: the read's bound passes
    };
    using Device = std::function<Reply(const std::string& request)>;
    struct Exchange {
        std::string address;
        std::uint16_t port;
        std::string request;
    };

    FakeTcpNetwork();
    ~FakeTcpNetwork();
    FakeTcpNetwork(const FakeTcpNetwork&) = delete;
    FakeTcpNetwork& operator=(const FakeTcpNetwork&) = delete;

    void device(const std::string& address, std::uint16_t port, Device answer);
    // Forgets every device and exchange.
    void clear();
    // Once a request begins with prefix, its device takes nothing more until the sender is asked to stop.
    void stallRequestsBeginning(std::string prefix);
    std::vector<Exchange> exchanges() const;

    class Socket;

private:
    mutable std::mutex m_mutex;
    std::map<std::pair<std::string, std::uint16_t>, Device> m_devices;
    std::vector<Exchange> m_exchanges;
    std::string m_stallPrefix;
    TcpSocketMaker m_previous;
};

// The maker a test binary installs for good, so no test can reach a network by mistake: every
// socket is refused with "No route to host".
TcpSocketMaker refusingTcpSocketMaker();

} // namespace fw
