// tools/routersim/Options.cpp: parses the command line into the devices to stage.
#include "tools/routersim/Options.h"

#include "tools/routersim/DataImage.h"
#include "tools/routersim/WebOptions.h"

#include <algorithm>
#include <arpa/inet.h>
#include <charconv>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
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

// One option of the FTP servers, with its value (empty for the flag). Returns the error text, empty on
// success.
std::string parseFtpOption(std::string_view option, std::string_view value, FtpSettings& ftp)
{
    if (option == "--ftp-refuse-login") {
        ftp.refuseLogin = true;
        return {};
    }
    if (option == "--ftp-get-refuse" || option == "--ftp-get-error") {
        (option == "--ftp-get-refuse" ? ftp.getRefuse : ftp.getError) = true;
        return {};
    }
    if (option == "--ftp-stall-after") {
        std::uint64_t bytes = 0;
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), bytes);
        if (value.empty() || error != std::errc{} || end != value.data() + value.size())
            return "--ftp-stall-after " + std::string(value) + " is not a number of bytes";
        ftp.stallAfter = bytes;
        return {};
    }
    if (value.empty() || value == "." || value == ".." || value.find('/') != std::string_view::npos)
        return std::string(option) + " wants a file name without '/'";
    if (option == "--ftp-refuse-name")
        ftp.refuseName = std::string(value);
    else
        ftp.reply429Name = std::string(value);
    return {};
}

constexpr std::string_view kFtpOptions[] = {"--ftp-refuse-name", "--ftp-429", "--ftp-stall-after"};
constexpr std::string_view kFtpFlags[] = {"--ftp-refuse-login", "--ftp-get-refuse", "--ftp-get-error"};

// The bytes of the --data-image file. Returns the error text, empty on success.
std::string readDataImage(const std::string& path, std::string& image)
{
    if (path.empty()) return "--data-image wants a file";
    std::error_code code;
    if (!std::filesystem::is_regular_file(path, code)) return "--data-image " + path + " is not a file";
    std::ifstream in(path, std::ios::binary);
    image.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) return "--data-image " + path + " cannot be read";
    return {};
}

template <std::size_t N>
bool isOneOf(std::string_view arg, const std::string_view (&options)[N])
{
    return std::find(std::begin(options), std::end(options), arg) != std::end(options);
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
        else if (key == "web" && (value == "on" || value == "off"))
            device.web = value == "on";
        else if (key == "web")
            error = "web=" + std::string(value) + " is not on or off";
        else if (key == "ftp" && (value == "on" || value == "off"))
            device.ftp = value == "on";
        else if (key == "ftp")
            error = "ftp=" + std::string(value) + " is not on or off";
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
    if (device.web && device.bootLoader) return "web=on and tftp=on: a crashed device has no web interface";
    if (device.ftp && device.bootLoader) return "ftp=on and tftp=on: a crashed device has no FTP server";
    return {};
}

ParsedOptions parseOptions(int argc, char** argv)
{
    ParsedOptions parsed;
    std::string
        webOption; // the first web option given but --password, to tell when no device has a web interface
    bool passwordGiven = false; // --password, of the web interface and of the FTP server
    std::string ftpOption;      // the first FTP option given, to tell when no device has an FTP server
    std::optional<std::string> imagePath; // --data-image
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
        } else if (arg == "--data-image") {
            if (i + 1 >= argc) {
                parsed.error = "--data-image needs a value";
                return parsed;
            }
            imagePath = argv[++i];
            parsed.error = readDataImage(*imagePath, parsed.options.web.dataImage);
            if (!parsed.error.empty()) return parsed;
            continue;
        } else if (isWebOption(arg) || isWebFlag(arg)) {
            std::string_view value;
            if (isWebOption(arg)) {
                if (i + 1 >= argc) {
                    parsed.error = std::string(arg) + " needs a value";
                    return parsed;
                }
                value = argv[++i];
            }
            if (arg == "--password")
                passwordGiven = true;
            else if (webOption.empty())
                webOption = arg;
            parsed.error = parseWebOption(arg, value, parsed.options.web);
            if (!parsed.error.empty()) return parsed;
            continue;
        } else if (isOneOf(arg, kFtpOptions) || isOneOf(arg, kFtpFlags)) {
            std::string_view value;
            if (isOneOf(arg, kFtpOptions)) {
                if (i + 1 >= argc) {
                    parsed.error = std::string(arg) + " needs a value";
                    return parsed;
                }
                value = argv[++i];
            }
            if (ftpOption.empty()) ftpOption = arg;
            parsed.error = parseFtpOption(arg, value, parsed.options.ftp);
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
    if (!loaderAddresses.empty() && parsed.options.loader.storeDir.empty()) {
        parsed.error = "a device has tftp=on, but no --store DIR is given";
        return parsed;
    }
    std::set<std::uint32_t> webAddresses;
    for (const Device& device : parsed.options.devices) {
        if (!device.web) continue;
        if (!webAddresses.insert(device.address.s_addr).second) {
            parsed.error =
                "two devices with web=on at " + device.addressText + " (one web server an address)";
            return parsed;
        }
    }
    if (webAddresses.empty() && !webOption.empty()) {
        parsed.error = webOption + " is given, but no device has web=on";
        return parsed;
    }
    std::set<std::uint32_t> ftpAddresses;
    for (const Device& device : parsed.options.devices) {
        if (!device.ftp) continue;
        if (!ftpAddresses.insert(device.address.s_addr).second) {
            parsed.error =
                "two devices with ftp=on at " + device.addressText + " (one FTP server an address)";
            return parsed;
        }
    }
    if (!ftpAddresses.empty() && parsed.options.loader.storeDir.empty()) {
        parsed.error = "a device has ftp=on, but no --store DIR is given";
        return parsed;
    }
    if (ftpAddresses.empty() && !ftpOption.empty()) {
        parsed.error = ftpOption + " is given, but no device has ftp=on";
        return parsed;
    }
    if (webAddresses.empty() && ftpAddresses.empty() && passwordGiven) {
        parsed.error = "--password is given, but no device has web=on or ftp=on";
        return parsed;
    }
    if (webAddresses.empty() && ftpAddresses.empty() && imagePath) {
        parsed.error = "--data-image is given, but no device has web=on or ftp=on";
        return parsed;
    }
    FtpSettings& ftp = parsed.options.ftp;
    if (ftp.getRefuse && ftp.getError) {
        parsed.error = "--ftp-get-refuse and --ftp-get-error cannot both be given";
        return parsed;
    }
    if (imagePath) {
        std::error_code ignored;
        ftp.dataImagePath = std::filesystem::absolute(*imagePath, ignored).string();
    } else {
        parsed.options.web.dataImage = builtinDataImage();
    }
    if (ftp.refuseName && ftp.reply429Name && *ftp.refuseName == *ftp.reply429Name) {
        parsed.error = "--ftp-refuse-name and --ftp-429 name the same file";
        return parsed;
    }
    parsed.error = checkWebSettings(parsed.options.web);
    return parsed;
}

} // namespace routersim
