// tools/routersim/Options.cpp: parses the command line into the devices to stage.
#include "tools/routersim/Options.h"

#include <algorithm>
#include <arpa/inet.h>
#include <charconv>
#include <climits>
#include <cstdint>
#include <set>
#include <string_view>

namespace routersim {

namespace {

std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

std::string parseAnswers(std::string_view value, ProbeSet& answers)
{
    answers = {};
    if (value == "none") return {};
    if (value == "all") {
        for (Probe p : {Probe::Normal, Probe::Boot, Probe::Crash, Probe::Default}) answers.add(p);
        return {};
    }
    for (std::string_view word : split(value, '+')) {
        if (word == "normal")
            answers.add(Probe::Normal);
        else if (word == "boot")
            answers.add(Probe::Boot);
        else if (word == "crash")
            answers.add(Probe::Crash);
        else if (word == "default")
            answers.add(Probe::Default);
        else
            return "unknown probe '" + std::string(word) +
                   "' in answers= (want normal, boot, crash, default joined by '+', or all, or none)";
    }
    return {};
}

std::string parseAddress(std::string_view value, Device& device)
{
    const std::string text(value);
    if (inet_pton(AF_INET, text.c_str(), &device.address) != 1)
        return "addr=" + text + " is not an IPv4 address";
    const std::uint32_t host = ntohl(device.address.s_addr);
    if (host == 0 || host == 0xFFFFFFFFu || (host >> 28) == 0xE)
        return "addr=" + text + " cannot be the address of a device";
    device.addressText = text;
    return {};
}

std::string parseReplyLength(std::string_view value, Device& device)
{
    std::size_t length = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), length);
    if (value.empty() || error != std::errc{} || end != value.data() + value.size() ||
        length > kMaxDatagramLength)
        return "reply-length=" + std::string(value) + " is not a number from 0 to " +
               std::to_string(kMaxDatagramLength);
    device.replyLength = length;
    return {};
}

constexpr std::uint32_t kMaxMilliseconds = 60000;

std::string parseNumber(std::string_view option, std::string_view value, std::uint32_t high,
                        std::uint32_t& number)
{
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (value.empty() || error != std::errc{} || end != value.data() + value.size() || number > high)
        return std::string(option) + " " + std::string(value) + " is not a number from 0 to " +
               std::to_string(high);
    return {};
}

// One option of the loaders, with its value. Returns the error text, empty on success.
std::string parseLoaderOption(std::string_view option, std::string_view value, LoaderSettings& loader)
{
    std::uint32_t number = 0;
    std::string error;
    if (option == "--store") {
        if (value.empty()) return "--store wants a folder";
        loader.storeDir = value;
    } else if (option == "--ack-from") {
        if (value != "69" && value != "transfer") return "--ack-from wants 69 or transfer";
        loader.ackFromTransferPort = value == "transfer";
    } else if (option == "--ack-delay-ms") {
        error = parseNumber(option, value, kMaxMilliseconds, number);
        loader.ackDelay = std::chrono::milliseconds{number};
    } else if (option == "--reboot-ms") {
        error = parseNumber(option, value, kMaxMilliseconds, number);
        loader.rebootTime = std::chrono::milliseconds{number};
    } else if (option == "--recovered-detail") {
        if (value.size() > kMaxDetailLength)
            return "--recovered-detail is longer than " + std::to_string(kMaxDetailLength) + " bytes";
        loader.recoveredDetail = value;
    } else if (option == "--refuse-name") {
        loader.faults.refuseName = std::string(value);
    } else if (option == "--refuse-write") {
        error = parseNumber(option, value, UINT32_MAX, number);
        if (error.empty() && number == 0) error = "--refuse-write counts write requests from 1";
        loader.faults.refuseWrite = number;
    } else if (option == "--stop-after-block") {
        error = parseNumber(option, value, UINT32_MAX, number);
        loader.faults.stopAfterBlock = number;
    } else if (option == "--drop-ack") {
        error = parseNumber(option, value, UINT32_MAX, number);
        loader.faults.dropAck = number;
    } else {
        return "unknown argument '" + std::string(option) + "'";
    }
    return error;
}

constexpr std::string_view kLoaderOptions[] = {"--store",        "--ack-from",         "--ack-delay-ms",
                                               "--reboot-ms",    "--recovered-detail", "--refuse-name",
                                               "--refuse-write", "--stop-after-block", "--drop-ack"};

} // namespace

std::string parseDeviceSpec(const std::string& spec, Device& device)
{
    device = {};
    for (Probe p : {Probe::Normal, Probe::Boot, Probe::Crash, Probe::Default}) device.answers.add(p);
    std::set<std::string_view> seen;
    for (std::string_view field : split(spec, ',')) {
        const std::size_t equals = field.find('=');
        if (equals == std::string_view::npos) return "'" + std::string(field) + "' is not KEY=VALUE";
        const std::string_view key = field.substr(0, equals);
        const std::string_view value = field.substr(equals + 1);
        if (!seen.insert(key).second) return "key '" + std::string(key) + "' given twice";
        std::string error;
        if (key == "addr")
            error = parseAddress(value, device);
        else if (key == "module")
            device.module = value;
        else if (key == "detail")
            device.detail = value;
        else if (key == "answers")
            error = parseAnswers(value, device.answers);
        else if (key == "reply-length")
            error = parseReplyLength(value, device);
        else if (key == "tftp" && (value == "on" || value == "off"))
            device.bootLoader = value == "on";
        else if (key == "tftp")
            error = "tftp=" + std::string(value) + " is not on or off";
        else
            error = "unknown key '" + std::string(key) + "'";
        if (!error.empty()) return error;
    }
    if (!seen.contains("addr")) return "addr= is missing";
    if (!seen.contains("module")) return "module= is missing";
    if (device.module.size() > kMaxModuleLength)
        return "module text is longer than " + std::to_string(kMaxModuleLength) + " bytes";
    if (device.detail.size() > kMaxDetailLength)
        return "detail text is longer than " + std::to_string(kMaxDetailLength) + " bytes";
    return {};
}

ParsedOptions parseOptions(int argc, char** argv)
{
    ParsedOptions parsed;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        std::string spec;
        if (arg == "--help" || arg == "-h") {
            parsed.options.help = true;
            return parsed;
        } else if (arg == "--device") {
            if (i + 1 >= argc) {
                parsed.error = "--device needs a SPEC";
                return parsed;
            }
            spec = argv[++i];
        } else if (arg.starts_with("--device=")) {
            spec = arg.substr(9);
        } else if (std::find(std::begin(kLoaderOptions), std::end(kLoaderOptions), arg) !=
                   std::end(kLoaderOptions)) {
            if (i + 1 >= argc) {
                parsed.error = std::string(arg) + " needs a value";
                return parsed;
            }
            parsed.error = parseLoaderOption(arg, argv[++i], parsed.options.loader);
            if (!parsed.error.empty()) return parsed;
            continue;
        } else {
            parsed.error = "unknown argument '" + std::string(arg) + "'";
            return parsed;
        }
        Device device;
        if (std::string error = parseDeviceSpec(spec, device); !error.empty()) {
            parsed.error = "--device " + spec + ": " + error;
            return parsed;
        }
        parsed.options.devices.push_back(std::move(device));
    }
    if (parsed.options.devices.empty()) {
        parsed.error = "no device given (use --device SPEC)";
        return parsed;
    }
    std::set<std::uint32_t> loaderAddresses;
    for (const Device& device : parsed.options.devices) {
        if (!device.bootLoader) continue;
        if (!loaderAddresses.insert(device.address.s_addr).second) {
            parsed.error = "two devices with tftp=on at " + device.addressText + " (one loader an address)";
            return parsed;
        }
    }
    if (!loaderAddresses.empty() && parsed.options.loader.storeDir.empty())
        parsed.error = "a device has tftp=on, but no --store DIR is given";
    return parsed;
}

const char* usageText()
{
    return R"(Usage: routersim --device SPEC [--device SPEC...] [LOADER OPTIONS]

Simulates small routers on the LAN for the device search of fwupgrade. It binds
UDP ports 9, 67 and 69 on all addresses, so it runs as root, and it belongs only
inside the router namespace of the test LAN (tests/lan/testlan.sh).

SPEC is a comma-separated list of KEY=VALUE (values cannot hold a comma):
  addr=A.B.C.D      the device's address; it must be an address of this host
                    (required). Several devices may share one address: each answers.
  module=TEXT       module name, at most 23 bytes (required)
  detail=TEXT       detail text, at most 31 bytes (default empty)
  answers=LIST      the probes answered, joined by '+': normal, boot, crash,
                    default; or all, or none (default all)
  reply-length=N    cut every reply of this device to its first N bytes
                    (a shorter reply is sent whole)
  tftp=on|off       on: the device is crashed and its TFTP loader takes files
                    on port 69 (default off); at most one such device an address

Probes answered (to the device's address or to 255.255.255.255):
  normal   port 9   51 44 00 00         -> 68 bytes, detail at 12, module at 44
  boot     port 67  548 bytes C0 01 01  -> 548 bytes C1, module at 108, detail at 140
  crash    port 69  TFTP read of "VN"   -> 00 03 00 01 "$Brisel" module 00
  default  port 9   51 51 00            -> 64 bytes (unicast to the device only)

TFTP loader (a device with tftp=on; writes to its own address only):
  Takes lock-step write requests (00 02 NAME 00 "octet" 00) and the DATA blocks
  of each on port 69, acknowledges each, and stores the file in the --store
  folder under NAME once its last (short) block came. A read request of "R!"
  reboots the device: it answers nothing for --reboot-ms, then only the normal
  probe, with the --recovered-detail text; its loader is gone.
  Every breach it sees (block repeated or skipped, DATA after the last block or
  for no transfer, more than 512 data bytes, a mode other than octet, ...) is
  logged as "routersim: protocol error: TEXT".
LOADER OPTIONS (for every loader):
  --store DIR           the folder the files go to (required with tftp=on)
  --ack-from 69|transfer  replies leave from port 69 (default) or from a new
                        port of each transfer; DATA is taken on both
  --ack-delay-ms D      send each ACK D ms late (default 0)
  --reboot-ms N         how long a reboot is silent (default 1500)
  --recovered-detail T  the detail text after the reboot (default "recovered")
  --refuse-write N      answer the Nth write request (from 1) with an ERROR
  --refuse-name NAME    answer each write request of NAME with an ERROR
  --stop-after-block N  answer nothing at all after the ACK of block N
                        (block 0: the write request)
  --drop-ack N          leave out the ACK of block N, once

Prints one line per datagram received and sent on stderr, "routersim: ready"
on stdout once its sockets are bound, and ends with status 0 on SIGTERM or SIGINT.

Example:
  routersim --device addr=192.168.0.1,module=XY,detail=1.0,answers=normal+boot

Exit status: 0 ended by a signal, 1 runtime failure, 2 bad command line.
)";
}

} // namespace routersim
