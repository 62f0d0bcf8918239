#pragma once
// The TCP socket on POSIX: a non-blocking socket whose every wait is a poll in slices of at most
// 100 ms, so a stop request is seen quickly; the bounds of the interface are kept on the way.
#include "platform/TcpSocket.h"

namespace fw {

// The sockets layer's number for a POSIX errno value; 0 stays 0, a value without counterpart gives
// 10000 + errno, which the device web access reports as an unknown error code.
int socketErrorNumber(int posixErrno);

class TcpStreamSocket final : public TcpSocket {
public:
    explicit TcpStreamSocket(int fd) : m_fd{fd} {}
    ~TcpStreamSocket() override;
    TcpStreamSocket(const TcpStreamSocket&) = delete;
    TcpStreamSocket& operator=(const TcpStreamSocket&) = delete;

    int connect(const std::string& dotted, std::uint16_t port, int boundMs, const StopFlag* stop) override;
    SocketWait waitWritable(int ms, const StopFlag* stop, int& error) override;
    SocketWait waitReadable(int ms, const StopFlag* stop, int& error) override;
    long sendSome(std::span<const std::byte> bytes, int boundMs, const StopFlag* stop, int& error) override;
    long receiveSome(std::span<std::byte> buffer, int boundMs, const StopFlag* stop, int& error) override;
    void shutdownBoth() override;

private:
    SocketWait wait(short events, int ms, const StopFlag* stop, int& error);
    bool waitOn(short events, int leftMs, const StopFlag* stop, int& error);

    int m_fd;
};

} // namespace fw
