#include "platform/posix/TcpStreamSocket.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace fw {

namespace {

constexpr int kSliceMs = 100;

struct ErrnoNumber {
    int posix;
    int number;
};

// errno values and their numbers in the sockets layer, by meaning.
constexpr ErrnoNumber kNumbers[] = {
    {EINTR, 10004},           {EBADF, 10009},           {EACCES, 10013},        {EPERM, 10013},
    {EFAULT, 10014},          {EINVAL, 10022},          {EMFILE, 10024},        {ENFILE, 10024},
    {EAGAIN, 10035},          {EINPROGRESS, 10036},     {EALREADY, 10037},      {ENOTSOCK, 10038},
    {EDESTADDRREQ, 10039},    {EMSGSIZE, 10040},        {EPROTOTYPE, 10041},    {ENOPROTOOPT, 10042},
    {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045},    {EPFNOSUPPORT, 10046},
    {EAFNOSUPPORT, 10047},    {EADDRINUSE, 10048},      {EADDRNOTAVAIL, 10049}, {ENETDOWN, 10050},
    {ENETUNREACH, 10051},     {ENETRESET, 10052},       {ECONNABORTED, 10053},  {ECONNRESET, 10054},
    {EPIPE, 10054},           {ENOBUFS, 10055},         {EISCONN, 10056},       {ENOTCONN, 10057},
    {ESHUTDOWN, 10058},       {ETOOMANYREFS, 10059},    {ETIMEDOUT, 10060},     {ECONNREFUSED, 10061},
    {ELOOP, 10062},           {ENAMETOOLONG, 10063},    {EHOSTDOWN, 10064},     {EHOSTUNREACH, 10065},
    {ENOTEMPTY, 10066},       {EUSERS, 10068},          {EDQUOT, 10069},        {ESTALE, 10070},
    {EREMOTE, 10071},
};

using SteadyClock = std::chrono::steady_clock;

int elapsedMs(SteadyClock::time_point since)
{
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - since).count());
}

bool stopped(const StopFlag* stop)
{
    return stop && stop->load();
}

} // namespace

int socketErrorNumber(int posixErrno)
{
    if (posixErrno == 0) return 0;
    for (const ErrnoNumber& row : kNumbers)
        if (row.posix == posixErrno) return row.number;
    return 10000 + posixErrno;
}

namespace {
TcpSocketMaker& socketMaker()
{
    static TcpSocketMaker maker;
    return maker;
}
} // namespace

TcpSocketMaker setTcpSocketMaker(TcpSocketMaker maker)
{
    return std::exchange(socketMaker(), std::move(maker));
}

std::unique_ptr<TcpSocket> createTcpSocket(int& error)
{
    if (const TcpSocketMaker& maker = socketMaker()) return maker(error);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        error = socketErrorNumber(errno);
        return nullptr;
    }
    error = 0;
    return std::make_unique<TcpStreamSocket>(fd);
}

TcpStreamSocket::~TcpStreamSocket()
{
    ::close(m_fd);
}

SocketWait TcpStreamSocket::wait(short events, int ms, const StopFlag* stop, int& error)
{
    const auto start = SteadyClock::now();
    for (;;) {
        if (stopped(stop)) return SocketWait::Stopped;
        const int left = ms - elapsedMs(start);
        pollfd fd{m_fd, static_cast<short>(events | POLLPRI), 0};
        const int n = ::poll(&fd, 1, std::clamp(left, 0, kSliceMs));
        if (n < 0) {
            if (errno == EINTR) continue;
            error = socketErrorNumber(errno);
            return SocketWait::Failed;
        }
        if (n == 1) {
            if (fd.revents & POLLPRI) return SocketWait::Exceptional;
            // An error or a hang-up is reported by the send or read that follows.
            if (fd.revents & (events | POLLERR | POLLHUP)) return SocketWait::Ready;
        }
        if (left <= 0) return SocketWait::TimedOut;
    }
}

SocketWait TcpStreamSocket::waitWritable(int ms, const StopFlag* stop, int& error)
{
    return wait(POLLOUT, ms, stop, error);
}

SocketWait TcpStreamSocket::waitReadable(int ms, const StopFlag* stop, int& error)
{
    return wait(POLLIN, ms, stop, error);
}

int TcpStreamSocket::connect(const std::string& dotted, std::uint16_t port, int boundMs, const StopFlag* stop)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    if (::inet_pton(AF_INET, dotted.c_str(), &to.sin_addr) != 1) return socketErrorNumber(EINVAL);
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return 0;
    if (errno != EINPROGRESS) return socketErrorNumber(errno);
    int error = 0;
    if (!waitOn(POLLOUT, boundMs, stop, error)) return error;
    int result = 0;
    socklen_t length = sizeof result;
    if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &result, &length) != 0) return socketErrorNumber(errno);
    return socketErrorNumber(result);
}

// After a call that would block: waits for the socket within what is left of the bound. False with the
// error number when the wait ends the call.
bool TcpStreamSocket::waitOn(short events, int leftMs, const StopFlag* stop, int& error)
{
    switch (wait(events, leftMs, stop, error)) {
    case SocketWait::Failed:
        return false;
    case SocketWait::TimedOut:
        error = kSocketTimedOut;
        return false;
    case SocketWait::Stopped:
        error = kSocketInterrupted;
        return false;
    default:
        return true;
    }
}

long TcpStreamSocket::sendSome(std::span<const std::byte> bytes, int boundMs, const StopFlag* stop,
                               int& error)
{
    const auto start = SteadyClock::now();
    for (;;) {
        const ssize_t n = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n >= 0) return static_cast<long>(n);
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            error = socketErrorNumber(errno);
            return -1;
        }
        if (!waitOn(POLLOUT, boundMs - elapsedMs(start), stop, error)) return -1;
    }
}

long TcpStreamSocket::receiveSome(std::span<std::byte> buffer, int boundMs, const StopFlag* stop, int& error)
{
    const auto start = SteadyClock::now();
    for (;;) {
        const ssize_t n = ::recv(m_fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (n >= 0) return static_cast<long>(n);
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            error = socketErrorNumber(errno);
            return -1;
        }
        if (!waitOn(POLLIN, boundMs - elapsedMs(start), stop, error)) return -1;
    }
}

void TcpStreamSocket::shutdownBoth()
{
    ::shutdown(m_fd, SHUT_RDWR);
}

} // namespace fw
