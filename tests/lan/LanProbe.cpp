// tests/lan/LanProbe.cpp: lan_probe, which sends one probe of the device search from the PC side of the
// test LAN and prints every reply that comes within the wait; it also plays fwupgrade's TFTP sender and
// sends one HTTP request as its web client does.
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kMaxWaitMs = 5000;
constexpr std::size_t kBootLength = 548;
constexpr std::size_t kRomIdOffset = 108;

const char kUsage[] = R"(Usage: lan_probe [--wait MS] [--port N] [--bytes HEX] KIND ADDRESS
       lan_probe [--wait MS] [--mode TEXT] [--skip-block N] [--short-block N] [--repeat-block N]
                 tftp-put FILE NAME ADDRESS
       lan_probe rr ADDRESS
       lan_probe [--wait MS] [--split-at N] [--pause MS] http ADDRESS PORT REQUEST-FILE

Sends one probe to ADDRESS (255.255.255.255 or a unicast address) and prints each
reply that arrives within MS milliseconds (default 300, at most 5000) as
  reply from A.B.C.D:PORT LENGTH bytes: HEX
then "replies: N". It belongs on the PC side of the test LAN (tests/lan/testlan.sh).

KIND   port  datagram
normal    9  51 44 00 00
boot     67  548 bytes C0 01 01, ROM ID text at 108; sent from port 68
crash    69  TFTP read request of "VN" in mode "octet"
default   9  51 51 00
raw       -  the bytes of --bytes to the port of --port
--port and --bytes also replace the port and the datagram of the other kinds.

tftp-put writes FILE as NAME to ADDRESS in lock-step TFTP as fwupgrade does: the
write request and every DATA block go to port 69, whatever port the ACKs come
from; each ACK is awaited MS milliseconds. It prints "ack 0 from A.B.C.D:PORT",
then "put NAME: N bytes in B blocks, last ack from A.B.C.D:PORT", or "error
from ...: CODE TEXT" or "no ack of block N within MS ms". To try the loader's
checks it can break the protocol: --mode sends another mode, --skip-block N
numbers block N as N+1, --short-block N sends only 100 bytes in block N,
--repeat-block N sends block N again once it is acknowledged.
rr sends the reboot request, a read request of "R!" to port 69, and waits for
nothing.

http connects to ADDRESS:PORT over TCP, sends the bytes of REQUEST-FILE as they
are, shuts down nothing, and reads until the device closes the connection, as
fwupgrade's web client does. With --split-at N it sends the first N bytes, waits
--pause MS (default 200) and sends the rest. It prints "sent N bytes" (or "sent
only N of M bytes: ..." when the send makes no progress for the wait), then
"reply N bytes:", the reply's bytes as they came and a line end, and then
"closed by the device", "reset by the device" or "still open after MS ms
without a byte". MS (default 3000 for http) bounds each wait for progress.

Exit status: 0 a reply came (tftp-put: the file was acknowledged, rr: sent, http:
the whole request went out and the device closed), 1 none came (tftp-put: an
error or no ack; http: otherwise), 2 bad command line, 3 socket or file failure.
)";

int usageError(const std::string& text)
{
    std::fprintf(stderr, "lan_probe: %s\nTry 'lan_probe --help'.\n", text.c_str());
    return 2;
}

bool parseNumber(std::string_view text, int low, int high, int& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc{} && end == text.data() + text.size() && value >= low &&
           value <= high;
}

bool parseHex(std::string_view text, std::vector<unsigned char>& bytes)
{
    bytes.clear();
    if (text.size() % 2 != 0) return false;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        int value = 0;
        const auto [end, error] = std::from_chars(text.data() + i, text.data() + i + 2, value, 16);
        if (error != std::errc{} || end != text.data() + i + 2) return false;
        bytes.push_back(static_cast<unsigned char>(value));
    }
    return true;
}

std::string hex(const unsigned char* bytes, std::size_t size)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0xF];
    }
    return text;
}

int socketFailure(const char* what)
{
    std::fprintf(stderr, "lan_probe: %s: %s\n", what, std::strerror(errno));
    return 3;
}

std::string endpointText(const sockaddr_in& endpoint)
{
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &endpoint.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(endpoint.sin_port));
}

// Bytes of a TFTP request: opcode, name, 0, mode, 0.
std::vector<unsigned char> tftpRequest(unsigned char opcode, const std::string& name, const std::string& mode)
{
    std::vector<unsigned char> bytes{0, opcode};
    bytes.insert(bytes.end(), name.begin(), name.end());
    bytes.push_back(0);
    bytes.insert(bytes.end(), mode.begin(), mode.end());
    bytes.push_back(0);
    return bytes;
}

struct PutFaults {
    std::string mode = "octet";
    int skipBlock = -1;   // this block goes out numbered one higher
    int shortBlock = -1;  // this block carries only kShortBlockBytes
    int repeatBlock = -1; // this block goes out again once it is acknowledged
};
constexpr std::size_t kTftpBlock = 512;
constexpr std::size_t kShortBlockBytes = 100;

int tftpPut(const std::string& path, const std::string& name, const sockaddr_in& to, int waitMs,
            const PutFaults& faults)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return socketFailure(path.c_str());
    std::vector<unsigned char> content;
    unsigned char chunk[4096];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
        content.insert(content.end(), chunk, chunk + got);
    std::fclose(file);

    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return socketFailure("socket");
    const auto sendDatagram = [&](const std::vector<unsigned char>& bytes) {
        return sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) >=
               0;
    };
    // Waits for the ACK of block; returns 0 on it, else the exit status, having said why.
    std::vector<unsigned char> buffer(65536);
    sockaddr_in ackFrom{};
    const auto awaitAck = [&](std::uint16_t block) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        while (true) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now())
                                  .count();
            if (left <= 0) {
                std::printf("no ack of block %u within %d ms\n", block, waitMs);
                return 1;
            }
            pollfd p{fd, POLLIN, 0};
            const int ready = poll(&p, 1, static_cast<int>(left));
            if (ready < 0 && errno != EINTR) return socketFailure("poll");
            if (ready <= 0) continue;
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            const ssize_t size = recvfrom(fd, buffer.data(), buffer.size(), 0,
                                          reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (size < 0) {
                if (errno == EINTR) continue;
                return socketFailure("recvfrom");
            }
            if (size >= 4 && buffer[1] == 5) {
                const std::string text(reinterpret_cast<const char*>(buffer.data()) + 4,
                                       strnlen(reinterpret_cast<const char*>(buffer.data()) + 4,
                                               static_cast<std::size_t>(size) - 4));
                std::printf("error from %s: %u %s\n", endpointText(from).c_str(),
                            (buffer[2] << 8) | buffer[3], text.c_str());
                return 1;
            }
            if (size == 4 && buffer[1] == 4 && ((buffer[2] << 8) | buffer[3]) == block) {
                ackFrom = from;
                return 0;
            }
            // Anything else, e.g. a repeated ACK, is passed over as a lock-step sender does.
        }
    };

    if (!sendDatagram(tftpRequest(2, name, faults.mode))) return socketFailure("sendto");
    if (int status = awaitAck(0); status != 0) return status;
    std::printf("ack 0 from %s\n", endpointText(ackFrom).c_str());
    // A file ends with its first block shorter than 512 bytes: one of 0 bytes after a whole last block.
    const std::size_t blocks = content.size() / kTftpBlock + 1;
    for (std::size_t i = 0; i < blocks; ++i) {
        const auto number = static_cast<std::uint16_t>(i + 1);
        const std::size_t offset = i * kTftpBlock;
        std::size_t size = std::min(kTftpBlock, content.size() - offset);
        if (static_cast<int>(number) == faults.shortBlock) size = std::min(size, kShortBlockBytes);
        const auto sent =
            static_cast<std::uint16_t>(static_cast<int>(number) == faults.skipBlock ? number + 1 : number);
        std::vector<unsigned char> data{0, 3, static_cast<unsigned char>(sent >> 8),
                                        static_cast<unsigned char>(sent & 0xFF)};
        data.insert(data.end(), content.begin() + static_cast<std::ptrdiff_t>(offset),
                    content.begin() + static_cast<std::ptrdiff_t>(offset + size));
        const int sends = static_cast<int>(number) == faults.repeatBlock ? 2 : 1;
        for (int n = 0; n < sends; ++n) {
            if (!sendDatagram(data)) return socketFailure("sendto");
            if (int status = awaitAck(sent); status != 0) return status;
        }
    }
    std::printf("put %s: %zu bytes in %zu blocks, last ack from %s\n", name.c_str(), content.size(), blocks,
                endpointText(ackFrom).c_str());
    close(fd);
    return 0;
}

int rebootRequest(const sockaddr_in& to)
{
    const std::vector<unsigned char> request = tftpRequest(1, "R!", "octet");
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return socketFailure("socket");
    if (sendto(fd, request.data(), request.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) < 0)
        return socketFailure("sendto");
    close(fd);
    std::printf("reboot request sent\n");
    return 0;
}

// Waits up to waitMs for events on fd; 0 on none, the revents otherwise, -1 on a failure of poll.
int awaitEvents(int fd, short events, int waitMs)
{
    while (true) {
        pollfd p{fd, events, 0};
        const int ready = poll(&p, 1, waitMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return -1;
        return ready == 0 ? 0 : p.revents;
    }
}

struct HttpOptions {
    int waitMs = 3000;
    long splitAt = -1;
    int pauseMs = 200;
};

int httpExchange(const sockaddr_in& to, const std::string& path, const HttpOptions& options)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return socketFailure(path.c_str());
    std::string request;
    char chunk[65536];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) request.append(chunk, got);
    std::fclose(file);

    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return socketFailure("socket");
    if (connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0 && errno != EINPROGRESS)
        return socketFailure("connect");
    const int connected = awaitEvents(fd, POLLOUT, options.waitMs);
    int soError = 0;
    socklen_t length = sizeof soError;
    getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &length);
    if (connected <= 0 || soError != 0) {
        errno = connected == 0 ? ETIMEDOUT : soError;
        return socketFailure("connect");
    }
    std::printf("connected to %s\n", endpointText(to).c_str());

    std::string reply;
    bool closed = false, reset = false;
    // Reads what is there; false once the device closed or reset the connection.
    const auto readSome = [&] {
        while (true) {
            const ssize_t got = recv(fd, chunk, sizeof chunk, 0);
            if (got > 0) {
                reply.append(chunk, static_cast<std::size_t>(got));
                continue;
            }
            if (got == 0)
                closed = true;
            else if (errno == ECONNRESET)
                reset = true;
            else if (errno == EINTR)
                continue;
            return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        }
    };
    std::size_t sent = 0;
    bool sendStuck = false;
    const auto sendUpTo = [&](std::size_t end) {
        while (sent < end && !closed && !reset) {
            const ssize_t n = send(fd, request.data() + sent, end - sent, MSG_NOSIGNAL);
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                std::printf("send failed after %zu of %zu bytes: %s\n", sent, request.size(),
                            std::strerror(errno));
                sendStuck = true;
                return;
            }
            const int events = awaitEvents(fd, POLLIN | POLLOUT, options.waitMs);
            if (events < 0) return;
            if (events == 0) {
                std::printf("sent only %zu of %zu bytes: no progress within %d ms\n", sent, request.size(),
                            options.waitMs);
                sendStuck = true;
                return;
            }
            if (events & (POLLIN | POLLHUP | POLLERR)) readSome(); // an early reply is kept, not lost
        }
    };
    if (options.splitAt >= 0 && static_cast<std::size_t>(options.splitAt) < request.size()) {
        sendUpTo(static_cast<std::size_t>(options.splitAt));
        std::this_thread::sleep_for(std::chrono::milliseconds(options.pauseMs));
    }
    if (!sendStuck) sendUpTo(request.size());
    if (!sendStuck && sent == request.size()) std::printf("sent %zu bytes\n", sent);
    bool quiet = false;
    while (!closed && !reset) {
        const int events = awaitEvents(fd, POLLIN, options.waitMs);
        if (events < 0) return socketFailure("poll");
        if (events == 0) {
            quiet = true;
            break;
        }
        readSome();
    }
    std::printf("reply %zu bytes:\n", reply.size());
    std::fwrite(reply.data(), 1, reply.size(), stdout);
    std::printf("\n");
    if (closed) std::printf("closed by the device\n");
    if (reset) std::printf("reset by the device\n");
    if (quiet) std::printf("still open after %d ms without a byte\n", options.waitMs);
    close(fd);
    return closed && sent == request.size() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    int waitMs = 300;
    bool waitGiven = false;
    HttpOptions http;
    int port = -1;
    bool haveBytes = false;
    std::vector<unsigned char> bytes;
    PutFaults putFaults;
    std::vector<std::string_view> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--wait") {
            if (!hasValue || !parseNumber(argv[++i], 0, kMaxWaitMs, waitMs))
                return usageError("--wait wants milliseconds from 0 to " + std::to_string(kMaxWaitMs));
            waitGiven = true;
        } else if (arg == "--split-at") {
            int at = 0;
            if (!hasValue || !parseNumber(argv[++i], 0, INT32_MAX, at))
                return usageError("--split-at wants a byte count");
            http.splitAt = at;
        } else if (arg == "--pause") {
            if (!hasValue || !parseNumber(argv[++i], 0, kMaxWaitMs, http.pauseMs))
                return usageError("--pause wants milliseconds from 0 to " + std::to_string(kMaxWaitMs));
        } else if (arg == "--port") {
            if (!hasValue || !parseNumber(argv[++i], 1, 65535, port))
                return usageError("--port wants a port from 1 to 65535");
        } else if (arg == "--bytes") {
            if (!hasValue || !parseHex(argv[++i], bytes)) return usageError("--bytes wants hex digit pairs");
            haveBytes = true;
        } else if (arg == "--mode") {
            if (!hasValue) return usageError("--mode wants a text");
            putFaults.mode = argv[++i];
        } else if (arg == "--skip-block" || arg == "--short-block" || arg == "--repeat-block") {
            int& block = arg == "--skip-block"    ? putFaults.skipBlock
                         : arg == "--short-block" ? putFaults.shortBlock
                                                  : putFaults.repeatBlock;
            if (!hasValue || !parseNumber(argv[++i], 1, 65534, block))
                return usageError(std::string(arg) + " wants a block number from 1 to 65534");
        } else if (arg.starts_with("-")) {
            return usageError("unknown option '" + std::string(arg) + "'");
        } else {
            positional.push_back(arg);
        }
    }
    if (!positional.empty() && positional[0] == "http") {
        int httpPort = 0;
        if (positional.size() != 4 || !parseNumber(positional[2], 1, 65535, httpPort))
            return usageError("http wants ADDRESS PORT REQUEST-FILE");
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<std::uint16_t>(httpPort));
        const std::string address(positional[1]);
        if (inet_pton(AF_INET, address.c_str(), &to.sin_addr) != 1)
            return usageError("'" + address + "' is not an IPv4 address");
        if (waitGiven) http.waitMs = waitMs;
        return httpExchange(to, std::string(positional[3]), http);
    }
    if (!positional.empty() && (positional[0] == "tftp-put" || positional[0] == "rr")) {
        const bool put = positional[0] == "tftp-put";
        if (positional.size() != (put ? 4u : 2u))
            return usageError(put ? "tftp-put wants FILE NAME ADDRESS" : "rr wants ADDRESS");
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(69);
        const std::string address(positional.back());
        if (inet_pton(AF_INET, address.c_str(), &to.sin_addr) != 1)
            return usageError("'" + address + "' is not an IPv4 address");
        if (!put) return rebootRequest(to);
        return tftpPut(std::string(positional[1]), std::string(positional[2]), to, waitMs, putFaults);
    }
    if (positional.size() != 2) return usageError("want KIND and ADDRESS");
    const std::string_view kind = positional[0];
    const std::string address(positional[1]);

    std::vector<unsigned char> probe;
    int probePort = -1;
    int localPort = 0;
    if (kind == "normal") {
        probe = {0x51, 0x44, 0x00, 0x00};
        probePort = 9;
    } else if (kind == "default") {
        probe = {0x51, 0x51, 0x00};
        probePort = 9;
    } else if (kind == "crash") {
        probe = {0x00, 0x01, 'V', 'N', 0x00, 'o', 'c', 't', 'e', 't', 0x00};
        probePort = 69;
    } else if (kind == "boot") {
        probe.assign(kBootLength, 0);
        probe[0] = 0xC0;
        probe[1] = 0x01;
        probe[2] = 0x01;
        const char romId[] = "LANPROBE";
        std::memcpy(probe.data() + kRomIdOffset, romId, sizeof romId);
        probePort = 67;
        localPort = 68; // the device answers the boot request to port 68
    } else if (kind != "raw") {
        return usageError("unknown KIND '" + std::string(kind) + "'");
    }
    if (haveBytes) probe = bytes;
    if (port > 0) probePort = port;
    if (kind == "raw" && (!haveBytes || probePort < 0)) return usageError("raw wants --bytes and --port");

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(probePort));
    if (inet_pton(AF_INET, address.c_str(), &to.sin_addr) != 1)
        return usageError("'" + address + "' is not an IPv4 address");

    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return socketFailure("socket");
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<std::uint16_t>(localPort));
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) return socketFailure("bind");
    if (sendto(fd, probe.data(), probe.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) < 0)
        return socketFailure("sendto");

    int replies = 0;
    std::vector<unsigned char> buffer(65536);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (true) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count();
        if (left <= 0) break;
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno != EINTR) return socketFailure("poll");
        if (ready <= 0) continue;
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t size =
            recvfrom(fd, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (size < 0) {
            if (errno == EINTR) continue;
            return socketFailure("recvfrom");
        }
        char fromText[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &from.sin_addr, fromText, sizeof fromText);
        std::printf("reply from %s:%u %zd bytes: %s\n", fromText, ntohs(from.sin_port), size,
                    hex(buffer.data(), static_cast<std::size_t>(size)).c_str());
        ++replies;
    }
    std::printf("replies: %d\n", replies);
    close(fd);
    return replies > 0 ? 0 : 1;
}
