#pragma once
// SendPKT: the plain TCP client of the device web access. One connection to a device's web server,
// whole buffers sent, and a reply read until the device closes the connection, into a buffer or, for
// an HTTP reply, into a file. Every failure leaves a one-line text in errorText.
#include "platform/TcpSocket.h"
#include "platform/WindowOps.h"

#include <cstdint>
#include <string>

// The source of the last read and the bytes received in all, -1 on failure.
struct Peer_sock_info {
    std::string peerAddress;
    std::uint16_t peerPort = 0;
    std::int32_t length = -1;
};

// Text of a sockets layer error number; any number not known gives "unknown error code : N".
std::string SocketErrorText(int code);

// The sockets layer needs no start-up or clean-up here: both always succeed.
int StartSockets();
int StopSockets();

class SendPKT {
public:
    // Reads are made in units of this many bytes.
    static constexpr int kSegment = 1465;
    // A device that sends nothing, or takes nothing, for this long fails the exchange; a stop
    // request fails it at once.
    static constexpr int kStallBoundMs = 30000;

    SendPKT();
    ~SendPKT(); // shuts the connection down and closes it
    SendPKT(const SendPKT&) = delete;
    SendPKT& operator=(const SendPKT&) = delete;

    int Open();                                                  // 1, -1, or -10 when an option is refused
    int Connect(const std::string& address, std::uint16_t port); // 1 or -1
    int Send(const void* data, int length, fw::ProgressBar* progress);
    Peer_sock_info ReceiveToFile(const std::string& fileName, fw::ProgressBar* progress);
    Peer_sock_info ReceiveToBuffer(char* buffer, int bufferSize);

    // Where the "File Error" box of an HTTP reply with a bad request status goes; none: no box.
    void setDialogs(fw::Dialogs* dialogs) { m_dialogs = dialogs; }
    // A flag another thread sets to make every wait give up.
    void setStopFlag(const fw::StopFlag* stop) { m_stop = stop; }
    // Shortens the stall bound, for tests.
    void setStallBoundMs(int ms) { m_stallBoundMs = ms; }

    // Of the last reply received to a file: the Content-Length its header gave (-1 none) and the body
    // bytes that came.
    std::int64_t lastContentLength() const { return m_contentLength; }
    std::int64_t lastBodyLength() const { return m_bodyLength; }

    long timeOutSeconds = 3;
    long timeOutMicroseconds = 0;
    std::string errorText;

private:
    // Waits for readiness as the send and both reads do; false with errorText set on a failure.
    bool waitReady(bool forSending);
    std::string codeText(int code) const;
    // One read into the segment buffer: the count, 0 at the end of the reply, -1 with errorText.
    long readSegment(char* segment, bool first);

    fw::Dialogs* m_dialogs = nullptr;
    const fw::StopFlag* m_stop = nullptr;
    int m_stallBoundMs = kStallBoundMs;
    std::string m_peerAddress;
    std::uint16_t m_peerPort = 0;
    std::int64_t m_contentLength = -1;
    std::int64_t m_bodyLength = 0;
};
