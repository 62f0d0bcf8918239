#pragma once
// The entry sequence both front ends share: build the main window's state and run its creation
// step; when that ends the program, stop before any other window exists; else run the front end.
#include "app/Mainunit.h"
#include "discovery/Refresh.h"
#include "messages/MessageWindowOps.h"
#include "platform/FtpClient.h"
#include "platform/UdpDatagram.h"

class FrontEnd {
public:
    virtual ~FrontEnd() = default;
    // Shows the window, delivers the activation and runs the message loop until the program ends.
    // Returns the exit status.
    virtual int run(TUpgradeForm1& form) = 0;
};

// What a front end brings: its windows, its event loop and the network pieces of the device search.
struct ProgramParts {
    MainWindowOps& view;
    fw::EventLoop& loop;
    SearchWindowOps& searchWindow;
    fw::ProbeSocket& probeSocket;
    fw::IcmpEcho& echo;
    MessageWindows& messageWindows;
    fw::UdpDatagram& tftpSocket;
    fw::FtpClient& ftpClient;
};

int runEntry(const ProgramParts& parts, FrontEnd& frontEnd, StartContext context);

// The network pieces the program entry makes for either front end.
struct NetworkParts {
    fw::ProbeSocket& probeSocket;
    fw::IcmpEcho& echo;
};
