// tools/routersim/WebService.cpp: the listeners, and the connections' lifetimes.
#include "tools/routersim/WebService.h"

#include "tools/routersim/Log.h"

namespace routersim {

WebService::WebService(const std::vector<Device>& devices, const WebSettings& settings, std::string storeDir,
                       EventLoop& loop)
    : m_environment{loop, settings, std::move(storeDir)}
{
    m_environment.onClosed = [this](WebConnection* connection) {
        // Its own handler is running: it goes once this turn of the loop is over.
        m_environment.loop.after(std::chrono::milliseconds{0},
                                 [this, connection] { m_connections.erase(connection); });
    };
    for (const Device& device : devices) {
        if (!device.web) continue;
        m_interfaces.push_back(std::make_unique<WebInterface>(settings, device.addressText, device.module));
        for (std::uint16_t port : settings.ports())
            m_listening.push_back(
                {m_interfaces.back().get(), std::make_unique<TcpListener>(device.address, port)});
    }
}

WebService::~WebService()
{
    m_connections.clear();
    for (Listening& listening : m_listening) {
        if (listening.listener->fd() >= 0) m_environment.loop.unwatch(listening.listener->fd());
    }
}

std::string WebService::open()
{
    for (Listening& listening : m_listening) {
        if (std::string error = listening.listener->open(); !error.empty()) return error;
        Listening* l = &listening;
        m_environment.loop.watch(l->listener->fd(), [this, l] { acceptAll(*l); });
    }
    return {};
}

void WebService::acceptAll(Listening& listening)
{
    while (true) {
        std::string error;
        std::optional<AcceptedConnection> accepted = listening.listener->accept(error);
        if (!accepted) {
            if (!error.empty()) logLine("web: " + error);
            return;
        }
        auto connection = std::make_shared<WebConnection>(m_environment, *listening.web, *accepted);
        m_connections.emplace(connection.get(), connection);
        connection->start();
    }
}

} // namespace routersim
