// tests/lan/LanProbe.cpp: lan_probe, which sends one probe of the device search from the PC side of the
// test LAN and prints every reply that comes within the wait.
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

Exit status: 0 a reply came (tftp-put: the file was acknowledged, rr: sent), 1 none
came (tftp-put: an error or no ack), 2 bad command line, 3 socket or file failure.
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

} // namespace

int main(int argc, char** argv)
{
    int waitMs = 300;
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
