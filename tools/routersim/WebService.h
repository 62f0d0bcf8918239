// tools/routersim/WebService.h: the web interfaces of the devices with web=on: a listener on port 80 of each
// device's address and on its redirect ports, and the connections they accept.
#pragma once

#include "tools/routersim/Device.h"
#include "tools/routersim/EventLoop.h"
#include "tools/routersim/TcpListener.h"
#include "tools/routersim/WebConnection.h"
#include "tools/routersim/WebInterface.h"
#include "tools/routersim/WebSettings.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace routersim {

class WebService {
public:
    // storeDir: where uploads go, empty for nowhere.
    WebService(const std::vector<Device>& devices, const WebSettings& settings, std::string storeDir,
               EventLoop& loop);
    WebService(const WebService&) = delete;
    WebService& operator=(const WebService&) = delete;
    ~WebService();

    std::string open(); // binds every listener; the error text, empty on success

private:
    struct Listening {
        WebInterface* web;
        std::unique_ptr<TcpListener> listener;
    };

    void acceptAll(Listening& listening);

    WebEnvironment m_environment;
    std::vector<std::unique_ptr<WebInterface>> m_interfaces;
    std::vector<Listening> m_listening;
    std::map<WebConnection*, std::shared_ptr<WebConnection>> m_connections; // last: they go first
};

} // namespace routersim
