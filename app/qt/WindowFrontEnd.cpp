#include "app/qt/WindowFrontEnd.h"

#include "app/Entry.h"
#include "app/qt/MainWindowQt.h"
#include "discovery/qt/SearchWindowQt.h"
#include "messages/qt/MessageWindowQt.h"
#include "platform/curl/CurlFtpClient.h"
#include "platform/posix/UdpDatagramSocket.h"
#include "platform/qt/QtEventLoop.h"

#include <QApplication>

namespace {

class WindowFrontEnd final : public FrontEnd {
public:
    explicit WindowFrontEnd(MainWindowQt& window) : m_window{window} {}
    int run(TUpgradeForm1& form) override
    {
        m_window.show();
        QApplication::exec();
        return form.exitStatus();
    }

private:
    MainWindowQt& m_window;
};

} // namespace

int runWindow(int& argc, char** argv, const NetworkParts& network, StartContext context)
{
    QApplication app{argc, argv};
    fw::QtEventLoop loop;
    MainWindowQt window;
    SearchWindowQt searchWindow{&window};
    QtMessageWindows messageWindows;
    fw::UdpDatagramSocket tftpSocket{loop};
    fw::CurlFtpClient ftpClient{loop};
    WindowFrontEnd frontEnd{window};
    return runEntry({window, loop, searchWindow, network.probeSocket, network.echo, messageWindows,
                     tftpSocket, ftpClient},
                    frontEnd, std::move(context));
}
