#include "app/console/ConsoleFrontEnd.h"

#include "app/Entry.h"
#include "app/console/ConsoleMessageWindows.h"
#include "app/console/ConsoleWindow.h"
#include "discovery/QuietSearchWindow.h"
#include "platform/curl/CurlFtpClient.h"
#include "platform/posix/UdpDatagramSocket.h"
#include "platform/qt/QtEventLoop.h"

#include <QCoreApplication>
#include <iostream>

namespace {

class ConsoleFrontEnd final : public FrontEnd {
public:
    ConsoleFrontEnd(ConsoleWindow& window, fw::QtEventLoop& loop) : m_window{window}, m_loop{loop} {}

    int run(TUpgradeForm1& form) override
    {
        m_window.setOnEnd([this, &form] { finish(form.exitStatus()); });
        m_loop.post([this, &form] {
            m_window.markShown();
            form.FormActivate();
            m_activated = true;
        });
        // Nothing runs and nothing but a click could move the program on: it ends here.
        m_loop.setIdleHandler([this, &form] {
            if (!m_activated || m_finished) return;
            if (!form.runStarted()) m_window.note("[needs a person]");
            form.FormClose();
            finish(form.exitStatus());
        });
        const int status = QCoreApplication::exec();
        m_loop.setIdleHandler({});
        m_window.setOnEnd({});
        return m_finished ? m_status : status;
    }

private:
    void finish(int status)
    {
        if (m_finished) return;
        m_finished = true;
        m_status = status;
        m_loop.abandonModalWaits();
        QCoreApplication::exit(status);
    }

    ConsoleWindow& m_window;
    fw::QtEventLoop& m_loop;
    bool m_activated = false;
    bool m_finished = false;
    int m_status = 0;
};

} // namespace

int runConsole(int& argc, char** argv, const NetworkParts& network, StartContext context)
{
    QCoreApplication app{argc, argv};
    fw::QtEventLoop loop;
    ConsoleWindow window{std::cout, std::cerr};
    QuietSearchWindow searchWindow;
    ConsoleMessageWindows messageWindows{window};
    fw::UdpDatagramSocket tftpSocket{loop};
    fw::CurlFtpClient ftpClient{loop};
    ConsoleFrontEnd frontEnd{window, loop};
    return runEntry({window, loop, searchWindow, network.probeSocket, network.echo, messageWindows,
                     tftpSocket, ftpClient},
                    frontEnd, std::move(context));
}
