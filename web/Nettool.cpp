#include "web/Nettool.h"

#include "platform/File.h"

#include <array>
#include <cctype>
#include <cstring>
#include <memory>
#include <string_view>

namespace {

struct CodeText {
    int code;
    const char* text;
};

constexpr CodeText kErrorTexts[] = {
    {10004, "Interrupted system call."},
    {10009, "Bad file number."},
    {10013, "Permission Denied."},
    {10014, "Bad Address."},
    {10022, "Invalid Argument."},
    {10024, "Too many open files."},
    {10035, "Operation would block."},
    {10036, "Operation now in progress."},
    {10037, "Operation already in progress."},
    {10038, "Socket operation on nonsocket."},
    {10039, "Destination address required."},
    {10040, "Message too long."},
    {10041, "Protocol wrong type for socket."},
    {10042, "Protocol not available."},
    {10043, "Protocol not supported."},
    {10044, "Socket type not supported."},
    {10045, "Operation not supported on socket."},
    {10046, "Protocol family not supported."},
    {10047, "Address family not supported by protocol family."},
    {10048, "Address already in use."},
    {10049, "Can not assign requested address."},
    {10050, "Network is down."},
    {10051, "Network is unreachable."},
    {10052, "Network dropped connection."},
    {10053, "Software caused connection abort."},
    {10054, "Connection reset by peer."},
    {10055, "No buffer space available."},
    {10056, "Socket is already connected."},
    {10057, "Socket is not connected."},
    {10058, "Can not send after socket shutdown."},
    {10059, "Too many references: can not splice."},
    {10060, "Connection timed out."},
    {10061, "Connection refused."},
    {10062, "Too many levels of symbolic links."},
    {10063, "File name too long."},
    {10064, "Host is down."},
    {10065, "No route to host."},
    {10066, "Directory not empty."},
    {10067, "Too many processes."},
    {10068, "Too many users."},
    {10069, "Disk quota exceeded."},
    {10070, "Stale NFS file handle."},
    {10071, "Too many levels of remote in path."},
    {10091, "Network subsystem is unusable."},
    {10092, "Winsock DLL cannot support this application."},
    {10093, "Winsock not initialized."},
    {10101, "Disconnect."},
    {11001, "Host not found."},
    {11002, "Nonauthoritative host not found."},
    {11003, "Nonrecoverable error."},
    {11004, "Valid name, no data record of requested type."},
};

// The one socket of the program's one live client: the device web access never holds two
// connections at once.
std::unique_ptr<fw::TcpSocket> s_socketSlot;

// The text of a buffer up to its first zero byte, as the reply scans read it.
std::string_view zeroTerminated(const char* buffer, std::size_t size)
{
    return {buffer, ::strnlen(buffer, size)};
}

// The Content-Length a reply header gives, or -1.
std::int64_t contentLengthOf(std::string_view header)
{
    std::string lower{header};
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::size_t at = lower.find("\ncontent-length:");
    if (at == std::string::npos) return -1;
    std::size_t i = at + 16;
    while (i < lower.size() && (lower[i] == ' ' || lower[i] == '\t')) ++i;
    std::int64_t value = 0;
    std::size_t digits = 0;
    for (; i < lower.size() && lower[i] >= '0' && lower[i] <= '9' && digits < 18; ++i, ++digits)
        value = value * 10 + (lower[i] - '0');
    return digits > 0 ? value : -1;
}

} // namespace

std::string SocketErrorText(int code)
{
    for (const CodeText& row : kErrorTexts)
        if (row.code == code) return row.text;
    return "unknown error code : " + std::to_string(code);
}

int StartSockets()
{
    return 1;
}

int StopSockets()
{
    return 1;
}

SendPKT::SendPKT()
{
    StartSockets();
}

SendPKT::~SendPKT()
{
    if (s_socketSlot) {
        s_socketSlot->shutdownBoth();
        s_socketSlot.reset();
    }
    StopSockets();
}

std::string SendPKT::codeText(int code) const
{
    return std::to_string(code) + " " + SocketErrorText(code);
}

int SendPKT::Open()
{
    if (StopSockets() < 0) {
        errorText = "Windows Sockets Close Error.";
        return -1;
    }
    if (StartSockets() < 0) {
        errorText = "Windows Sockets is not available.";
        return -1;
    }
    int error = 0;
    s_socketSlot = fw::createTcpSocket(error);
    if (!s_socketSlot) {
        errorText = "Socket Error: " + codeText(error);
        return -1;
    }
    // The stream needs no option of its own on this sockets layer.
    return 1;
}

int SendPKT::Connect(const std::string& address, std::uint16_t port)
{
    const int error = s_socketSlot ? s_socketSlot->connect(address, port, m_stallBoundMs, m_stop) : 10038;
    if (error != 0) {
        errorText = "Failed to connect socket to IP : " + address + " and port : " + std::to_string(port);
        return -1;
    }
    m_peerAddress = address;
    m_peerPort = port;
    return 1;
}

bool SendPKT::waitReady(bool forSending)
{
    const int ms = static_cast<int>(timeOutSeconds * 1000 + timeOutMicroseconds / 1000);
    int error = 0;
    const fw::SocketWait wait = forSending ? s_socketSlot->waitWritable(ms, m_stop, error)
                                           : s_socketSlot->waitReadable(ms, m_stop, error);
    switch (wait) {
    case fw::SocketWait::Failed:
        errorText = "Socket Error: " + codeText(error);
        return false;
    case fw::SocketWait::Stopped:
        errorText = "Socket Error: " + codeText(fw::kSocketInterrupted);
        return false;
    case fw::SocketWait::Exceptional:
        errorText = forSending ? "Unexcept condition to send data " : "Unexcept condition to receive data ";
        return false;
    case fw::SocketWait::NotReady:
        errorText = forSending ? "Unexcept condition in send data " : "Unexcept condition in receive data ";
        return false;
    case fw::SocketWait::Ready:
    case fw::SocketWait::TimedOut: // the send or read goes on all the same, within the stall bound
        return true;
    }
    return false;
}

int SendPKT::Send(const void* data, int length, fw::ProgressBar* progress)
{
    if (!s_socketSlot) {
        errorText = "Send Socket Error: " + codeText(10038);
        return -1;
    }
    if (length <= 0) return 0;
    const auto* bytes = static_cast<const std::byte*>(data);
    int total = 0;
    while (total < length) {
        if (!waitReady(true)) return -1;
        int error = 0;
        const long sent = s_socketSlot->sendSome({bytes + total, static_cast<std::size_t>(length - total)},
                                                 m_stallBoundMs, m_stop, error);
        if (sent < 0) {
            errorText = "Send Data Error: " + codeText(error);
            return -1;
        }
        total += static_cast<int>(sent);
        if (progress) progress->setPosition(progress->position() + static_cast<int>(sent));
    }
    return total;
}

long SendPKT::readSegment(char* segment, bool first)
{
    if (!waitReady(false)) return -1;
    int error = 0;
    const long n = s_socketSlot->receiveSome({reinterpret_cast<std::byte*>(segment), kSegment},
                                             m_stallBoundMs, m_stop, error);
    if (n < 0 && (error == fw::kSocketTimedOut || error == fw::kSocketInterrupted)) {
        // A device that keeps the connection open without sending ends the exchange here.
        errorText = error == fw::kSocketTimedOut
                        ? "No data from the device for " + std::to_string((m_stallBoundMs + 999) / 1000) +
                              " seconds: " + codeText(error)
                        : "Socket Error: " + codeText(error);
        return -1;
    }
    if (n <= 0) {
        if (first) {
            errorText = "Read Data error!";
            return -1;
        }
        return 0; // the device has closed the connection: the reply is complete
    }
    segment[n] = '\0';
    return n;
}

Peer_sock_info SendPKT::ReceiveToBuffer(char* buffer, int bufferSize)
{
    Peer_sock_info info;
    if (bufferSize > 0) buffer[0] = '\0';
    if (!s_socketSlot) {
        errorText = "INVALID_SOCKET in receive data.";
        return info;
    }
    std::array<char, kSegment + 1> segment{};
    std::int32_t total = 0;
    for (;;) {
        const long n = readSegment(segment.data(), total == 0);
        if (n < 0) return info;
        if (n == 0) break;
        // The segment and its zero byte go in at the end of the reply so far, as far as the buffer goes.
        const long room = bufferSize - total;
        if (room > 0)
            std::memcpy(buffer + total, segment.data(), static_cast<std::size_t>(std::min(n + 1, room)));
        if (total + n + 1 >= bufferSize) {
            errorText = "Read Data grater than receive buffer!";
            return info;
        }
        total += static_cast<std::int32_t>(n);
    }
    info.peerAddress = m_peerAddress;
    info.peerPort = m_peerPort;
    info.length = total;
    return info;
}

Peer_sock_info SendPKT::ReceiveToFile(const std::string& fileName, fw::ProgressBar* progress)
{
    Peer_sock_info info;
    if (!s_socketSlot) {
        errorText = "INVALID_SOCKET in receive data.";
        return info;
    }
    // The caller writes to a file of its own and keeps any earlier one itself.
    fw::File file = fw::File::createTruncated(fileName);
    if (!file) {
        errorText = "ROM file create error";
        return info;
    }
    std::array<char, kSegment + 1> segment{};
    std::int32_t total = 0;
    m_contentLength = -1;
    m_bodyLength = 0;
    for (bool first = true;; first = false) {
        const long n = readSegment(segment.data(), first);
        if (n < 0) return info;
        if (n == 0) break;
        long bodyStart = 0;
        if (first) {
            const std::string_view text = zeroTerminated(segment.data(), segment.size());
            if (text.find(" 200 OK") != std::string_view::npos) {
                bodyStart = -1;
                for (int i = 0; i < kSegment; ++i) {
                    if (segment[i] == '\n' && segment[i + 1] == '\r') {
                        bodyStart = i + 3;
                        break;
                    }
                }
                if (bodyStart < 0 || bodyStart >= kSegment) {
                    errorText = "HTTP header parse error !";
                    return info;
                }
                if (bodyStart >= n) {
                    errorText = "HTTP header parse length error !";
                    return info;
                }
                m_contentLength = contentLengthOf({segment.data(), static_cast<std::size_t>(bodyStart)});
            } else if (text.find(" 400 ") != std::string_view::npos) {
                if (m_dialogs) m_dialogs->messageBox("error 03", "File Error", fw::BoxButtons::OkCancel);
                errorText = "Bad Request !";
                return info;
            } else {
                errorText = "unknown response error code !";
                return info;
            }
        }
        if (!file.write({reinterpret_cast<const std::byte*>(segment.data()) + bodyStart,
                         static_cast<std::size_t>(n - bodyStart)})) {
            errorText = "ROM file create error";
            return info;
        }
        if (progress) progress->setPosition(progress->position() + static_cast<int>(n));
        total += static_cast<std::int32_t>(n);
        m_bodyLength += n - bodyStart;
    }
    info.peerAddress = m_peerAddress;
    info.peerPort = m_peerPort;
    info.length = total;
    return info;
}
