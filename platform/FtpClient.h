#pragma once
// The FTP client component: one control connection to a device's FTP server, the login made at
// Connect, files stored and fetched in the login directory, the server opening each data connection
// to the program (active mode). While an operation waits for the network the window thread goes on
// handling its events (timers, repaint), so the watchdog keeps ticking.
//
// A failed operation throws FtpError. When the server refused, the message begins with the server's
// three-digit reply code ("530 Login incorrect.", "550 Permission denied."); otherwise it says what
// failed. A final reply of 429 to an upload is not an error: it reaches OnStatus like every reply line.
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

namespace fw {

struct FtpError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class FtpClient {
public:
    virtual ~FtpClient() = default;

    // Opens the control connection to Host:Port and logs in with UserID and Password.
    virtual void Connect() = 0;
    // Stores the local file's bytes on the server under remoteName.
    virtual void Upload(const std::string& localPath, const std::string& remoteName) = 0;
    // Fetches remoteName into the local file.
    virtual void Download(const std::string& remoteName, const std::string& localPath) = 0;
    // Ends the connection; never throws, and does nothing when there is none.
    virtual void Disconnect() = 0;
    virtual bool Connected() const = 0;
    // Bytes of the last data packet received.
    virtual long GetBytesRcvd() const = 0;
    // Makes the running operation, and every later one, fail at once: the program is ending.
    virtual void Abort() = 0;

    std::string Host;
    std::uint16_t Port = 21;
    std::string UserID;
    std::string Password;
    int TimeOut = 1000; // milliseconds a command reply may take; data transfers are not limited by it
    bool Passive = false;
    int ReportLevel = 2;

    std::function<void()> OnConnect;
    std::function<void(const std::string& replyLine)> OnStatus;
    std::function<void()> OnPacketSent;
    std::function<void()> OnPacketRecvd;
    std::function<void(int number, const std::string& text)> OnError;
};

} // namespace fw
