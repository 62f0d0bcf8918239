// tests/lan/LanProbe.cpp: lan_probe, which sends one probe of the device search from the PC side of the
// test LAN and prints every reply that comes within the wait.
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

Exit status: 0 a reply came, 1 none came, 2 bad command line, 3 socket failure.
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

} // namespace

int main(int argc, char** argv)
{
    int waitMs = 300;
    int port = -1;
    bool haveBytes = false;
    std::vector<unsigned char> bytes;
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
        } else if (arg.starts_with("-")) {
            return usageError("unknown option '" + std::string(arg) + "'");
        } else {
            positional.push_back(arg);
        }
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
