// tools/nfdelay/Options.cpp: parses the command line of the delayer.
#include "tools/nfdelay/Options.h"

#include <charconv>
#include <string_view>

namespace nfdelay {

namespace {

constexpr std::uint32_t kMaxQueue = 65535; // queue numbers are 16 bits
constexpr std::uint32_t kMaxDelayMs = 60000;

std::string parseNumber(std::string_view option, std::string_view value, std::uint32_t high,
                        std::uint32_t& number)
{
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (value.empty() || error != std::errc{} || end != value.data() + value.size() || number > high)
        return std::string(option) + " " + std::string(value) + " is not a number from 0 to " +
               std::to_string(high);
    return {};
}

} // namespace

ParsedOptions parseOptions(int argc, const char* const* argv)
{
    ParsedOptions parsed;
    bool queueGiven = false, delayGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            parsed.options.help = true;
            return parsed;
        }
        if (arg != "--queue" && arg != "--delay-ms") {
            parsed.error = "unknown argument '" + std::string(arg) + "'";
            return parsed;
        }
        if (i + 1 >= argc) {
            parsed.error = std::string(arg) + " needs a value";
            return parsed;
        }
        std::uint32_t number = 0;
        if (arg == "--queue") {
            parsed.error = parseNumber(arg, argv[++i], kMaxQueue, number);
            parsed.options.queue = static_cast<std::uint16_t>(number);
            queueGiven = true;
        } else {
            parsed.error = parseNumber(arg, argv[++i], kMaxDelayMs, number);
            parsed.options.delay = std::chrono::milliseconds{number};
            delayGiven = true;
        }
        if (!parsed.error.empty()) return parsed;
    }
    if (!queueGiven)
        parsed.error = "no queue given (use --queue N)";
    else if (!delayGiven)
        parsed.error = "no delay given (use --delay-ms MS)";
    return parsed;
}

const char* usageText()
{
    return R"(Usage: nfdelay --queue N --delay-ms MS

Holds every packet that an iptables NFQUEUE rule hands to queue N for MS
milliseconds, then accepts it, in the order the packets came. It stands in for
a slow link where the kernel has no netem: it belongs inside the router
namespace of the test LAN (tests/lan/testlan.sh --delay-ms), with rules such as
  iptables -t mangle -A PREROUTING -i rt0 -j NFQUEUE --queue-num N
  iptables -t mangle -A POSTROUTING -o rt0 -j NFQUEUE --queue-num N
It needs CAP_NET_ADMIN in its network namespace and the kernel's nfnetlink_queue.

Options:
  --queue N       the netfilter queue to bind, 0 to 65535 (required)
  --delay-ms MS   how long each packet is held, 0 to 60000 (required)
  -h, --help      show this text

Prints "nfdelay: ready" on stdout once the queue is bound: rules added after
that never meet an unbound queue. Ends on SIGTERM or SIGINT: the packets still
held are accepted at once, and a summary line goes to stderr.

Exit status: 0 ended by a signal, 1 runtime failure (the queue cannot be bound
or read), 2 bad command line.
)";
}

} // namespace nfdelay
