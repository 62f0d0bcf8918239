// tools/routersim/Options.cpp: parses the command line into the devices to stage.
#include "tools/routersim/Options.h"

#include <arpa/inet.h>
#include <charconv>
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
    if (parsed.options.devices.empty()) parsed.error = "no device given (use --device SPEC)";
    return parsed;
}

const char* usageText()
{
    return R"(Usage: routersim --device SPEC [--device SPEC...]

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

Probes answered (to the device's address or to 255.255.255.255):
  normal   port 9   51 44 00 00         -> 68 bytes, detail at 12, module at 44
  boot     port 67  548 bytes C0 01 01  -> 548 bytes C1, module at 108, detail at 140
  crash    port 69  TFTP read of "VN"   -> 00 03 00 01 "$Brisel" module 00
  default  port 9   51 51 00            -> 64 bytes (unicast to the device only)

Prints one line per datagram received and sent on stderr, "routersim: ready"
on stdout once its sockets are bound, and ends with status 0 on SIGTERM or SIGINT.

Example:
  routersim --device addr=192.168.0.1,module=XY,detail=1.0,answers=normal+boot

Exit status: 0 ended by a signal, 1 runtime failure, 2 bad command line.
)";
}

} // namespace routersim
