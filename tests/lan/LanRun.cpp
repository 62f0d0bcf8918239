// tests/lan/LanRun.cpp: the harness's command line, and the checks for leftovers.
#include "tests/lan/LanRun.h"

#include <stdexcept>
#include <stdlib.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <thread>
#include <unistd.h>

std::string routersimPath()
{
    return ROUTERSIM_PATH;
}
std::string lanProbePath()
{
    return LAN_PROBE_PATH;
}
std::string harnessPath()
{
    return TESTLAN_PATH;
}

std::string shellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string fileBytes(std::size_t size, std::uint32_t seed)
{
    std::string bytes(size, '\0');
    std::uint32_t state = 2463534242u + seed * 7919u;
    for (char& b : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        b = static_cast<char>(state & 0xFF);
    }
    return bytes;
}

std::string contentOf(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

namespace {

bool isRunning(pid_t pid)
{
    if (kill(pid, 0) != 0 && errno == ESRCH) return false;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z'; // a zombie ran
}

} // namespace

std::vector<std::string> harnessCommand(const Lan& lan, const std::vector<std::string>& pcCommand)
{
    std::vector<std::string> argv{"bash", harnessPath()};
    for (const std::string& addr : lan.routerAddrs) argv.insert(argv.end(), {"--router-addr", addr});
    for (const std::string& addr : lan.noEcho) argv.insert(argv.end(), {"--no-echo", addr});
    if (!lan.devices.empty()) {
        std::string router = shellQuote(routersimPath());
        for (const std::string& spec : lan.devices) router += " --device " + shellQuote(spec);
        for (const std::string& option : lan.routersimOptions) router += " " + shellQuote(option);
        argv.insert(argv.end(), {"--router", router});
    }
    argv.push_back("--");
    argv.insert(argv.end(), pcCommand.begin(), pcCommand.end());
    return argv;
}

RunResult runOnLan(const Lan& lan, const std::vector<std::string>& pcCommand, std::chrono::seconds timeout)
{
    RunResult result;
    result.marker = newRunMarker();
    Subprocess harness{harnessCommand(lan, pcCommand), {result.marker}};
    result.status = harness.finish(timeout);
    result.out = harness.out();
    result.err = harness.err();
    return result;
}

std::string newRunMarker()
{
    static int runs = 0;
    return "TESTLAN_RUN=" + std::to_string(getpid()) + "-" + std::to_string(++runs) + "-" +
           std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
}

std::vector<std::string> leftoversOf(const std::string& harnessErr, const std::string& marker)
{
    std::set<pid_t> pids;
    static const std::regex kPid(R"(testlan: (?:\w+ namespace net:\[\d+\] held by|router) pid (\d+))");
    std::istringstream lines(harnessErr);
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (std::regex_search(line, match, kPid)) pids.insert(std::stoi(match[1]));
    }
    std::vector<std::string> found;
    for (pid_t pid : pids) {
        if (isRunning(pid)) found.push_back("pid " + std::to_string(pid) + " still runs");
    }
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream environ(entry.path() / "environ", std::ios::binary);
        for (std::string variable; std::getline(environ, variable, '\0');) {
            if (variable == marker && isRunning(std::stoi(name))) {
                std::ifstream cmdline(entry.path() / "cmdline");
                std::string command;
                std::getline(cmdline, command);
                std::replace(command.begin(), command.end(), '\0', ' ');
                found.push_back("pid " + name + " of the run still runs: " + command);
                break;
            }
        }
    }
    std::ifstream devices("/proc/self/net/dev");
    for (std::string line; std::getline(devices, line);) {
        std::string name = line.substr(0, line.find(':'));
        name.erase(0, name.find_first_not_of(' '));
        if (name == "pc0" || name == "rt0")
            found.push_back("a veth end is in the launcher's namespace: " + line);
    }
    return found;
}

std::vector<std::string> leftoversAfter(const std::string& harnessErr, const std::string& marker,
                                        std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::vector<std::string> found = leftoversOf(harnessErr, marker);
    while (!found.empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        found = leftoversOf(harnessErr, marker);
    }
    return found;
}

std::size_t countLines(const std::string& text, std::string_view prefix)
{
    std::size_t count = 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with(prefix)) ++count;
    }
    return count;
}

LanWorkspace::LanWorkspace(const std::string& prefix)
{
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / (prefix + ".XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary folder");
    m_root = pattern;
    fs::create_directory(store());
    fs::permissions(m_root, fs::perms::all);
    fs::permissions(store(), fs::perms::all);
}

LanWorkspace::~LanWorkspace()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_root, ignored);
}
