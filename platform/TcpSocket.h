#pragma once
// One IPv4 stream socket to a device's web server, as the device web access uses it: a connect, waits
// for readiness, sends and receives. Every wait is bounded and gives way to a stop request, so no
// caller can hang on a device that stops talking. Failures carry the sockets layer's error number
// (the 10000-based numbering the device web access reports).
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace fw {

// Error numbers of the sockets layer used by name.
inline constexpr int kSocketInterrupted = 10004; // also: the caller asked the transfer to stop
inline constexpr int kSocketTimedOut = 10060;

// What a readiness wait saw.
enum class SocketWait { Ready, Exceptional, NotReady, TimedOut, Failed, Stopped };

// A request to give up, set from another thread; the socket looks at it at least every 100 ms.
using StopFlag = std::atomic<bool>;

class TcpSocket {
public:
    virtual ~TcpSocket() = default; // closes the socket

    // Connects to a dotted IPv4 address (no name lookup). Waits at most boundMs. 0 or the error number.
    virtual int connect(const std::string& dotted, std::uint16_t port, int boundMs, const StopFlag* stop) = 0;
    // Waits up to ms for room to send (or for data, below) or an exceptional condition. On Failed the
    // error number is in error.
    virtual SocketWait waitWritable(int ms, const StopFlag* stop, int& error) = 0;
    virtual SocketWait waitReadable(int ms, const StopFlag* stop, int& error) = 0;
    // Sends what the peer takes of bytes, waiting at most boundMs for it to take anything. The count
    // sent (at least 1), or -1 with the error number (kSocketTimedOut after the bound,
    // kSocketInterrupted on a stop request).
    virtual long sendSome(std::span<const std::byte> bytes, int boundMs, const StopFlag* stop,
                          int& error) = 0;
    // Reads what has arrived into buffer, waiting at most boundMs for a byte. The count, 0 when the
    // peer has closed its side, or -1 with the error number as for sendSome.
    virtual long receiveSome(std::span<std::byte> buffer, int boundMs, const StopFlag* stop, int& error) = 0;
    // Shuts the connection down in both directions.
    virtual void shutdownBoth() = 0;
};

// A new unconnected socket, or nullptr with the error number.
std::unique_ptr<TcpSocket> createTcpSocket(int& error);

// How sockets are made: the system's by default; tests play devices in memory instead, so they
// never reach a network. Returns the maker it replaces; an empty maker restores the system's.
using TcpSocketMaker = std::function<std::unique_ptr<TcpSocket>(int& error)>;
TcpSocketMaker setTcpSocketMaker(TcpSocketMaker maker);

} // namespace fw
