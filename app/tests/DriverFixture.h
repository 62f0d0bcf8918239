#pragma once
// The main window state with a TFTP holder on a simulated boot loader, device web servers in memory,
// and a device at 192.168.0.1 for the driver's tests.
#include "app/HttpThread.h"
#include "app/tests/AppFixture.h"
#include "ftp/Ftpunit.h"
#include "platform/testing/FakeFtpClient.h"
#include "platform/testing/FakeTcpNetwork.h"
#include "tftp/Tftpunit.h"
#include "tftp/testing/SimulatedBootLoader.h"
#include "web/PasswordCheck.h"

#include <chrono>
#include <memory>
#include <thread>

namespace app::testing {

class Driver : public AppFixture {
protected:
    fw::FakeTcpNetwork web;
    ~Driver() override { form.reset(); } // the HTTP worker ends before the network it talks to

    tftp::testing::SimulatedBootLoader device{loop};
    std::optional<TTFTPForm> tftpForm;
    fw::FakeFtpClient ftpServer; // the device's FTP server: user root, the password "secret"
    std::optional<TmyFTPForm> ftpForm;

    void start(std::vector<std::string> args, std::span<const std::byte> program)
    {
        create(std::move(args), program);
        tftpForm.emplace(loop, device, nullptr);
        form->TFTPForm = &*tftpForm;
        ftpServer.acceptedPassword = "secret";
        ftpForm.emplace(ftpServer, nullptr);
        form->FTPForm = &*ftpForm;
    }
    void start(std::vector<std::string> args = {})
    {
        start(std::move(args), bundle::testing::bytesOf("plain"));
    }
    // A device at 192.168.0.1 in the list, with the method the selection would give it.
    void device1(int state, std::uint16_t method, bool answersEcho = true)
    {
        addRows({{state, "192.168.0.1", "XY", "1.0"}});
        if (answersEcho) echo.answering.insert("192.168.0.1");
        window.setText(MainControl::IPComBox, "192.168.0.1");
        form->upgradeMethod = method;
    }
    void files()
    {
        const std::string path =
            bundle::testing::writeFile(*inputs, "main.bin", bundle::testing::filled(1500));
        form->fileList.clear();
        form->fileList.add(path, 0x080D, 1);
        form->filesPreset = 1;
    }

    // The web interface of the device at 192.168.0.1: the login, the index page with the result tag
    // for the password (none on an older device), Basic authorization when it asks for it, and the
    // verdict on an upload.
    struct WebDevice {
        std::string password = "secret";
        bool older = false;
        bool asksForUser = false;
        std::string user = "admin";
        std::string verdict = "<!--CAS:8000-->";
    };
    void webDevice(WebDevice d)
    {
        auto loginOk = std::make_shared<bool>(false);
        web.device("192.168.0.1", 80, [d, loginOk](const std::string& request) -> fw::FakeTcpNetwork::Reply {
            const std::string ok = "HTTP/1.1 200 OK\r\n\r\n";
            if (request.starts_with("GET /cgi-bin/logi?rc=@&PSW=")) {
                *loginOk = request.starts_with("GET /cgi-bin/logi?rc=@&PSW=" + d.password + "&rd=menu ");
                return {ok + (d.older && !*loginOk ? "<script>alert(\"Wrong password\")</script>" : "")};
            }
            if (request.starts_with("GET / ")) {
                if (d.asksForUser) {
                    const bool right =
                        request.find("Authorization: Basic " + EncodeBase64(d.user + ":" + d.password) +
                                     "\r\n") != std::string::npos;
                    return {right ? ok : "HTTP/1.1 401 Unauthorized\r\n\r\n"};
                }
                if (d.older) return {ok + "<html>index</html>"};
                return {ok + (*loginOk ? "<!--CAS:8003-->" : "<!--CAS:0003-->")};
            }
            if (request.starts_with("POST /upg ")) return {ok + d.verdict};
            return {"HTTP/1.1 404 Not Found\r\n\r\n"};
        });
    }
    // The uploads the device received.
    std::vector<std::string> uploads() const
    {
        std::vector<std::string> out;
        for (const auto& e : web.exchanges())
            if (e.request.starts_with("POST /upg ")) out.push_back(e.request);
        return out;
    }

    // Handles the window thread's events until the HTTP worker is done (a few seconds at most).
    void waitForWorker()
    {
        for (int i = 0; i < 5000 && form->stopCounter != THTTPThread::kDone; ++i) {
            loop.processPendingEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        loop.processPendingEvents();
    }
};

} // namespace app::testing
