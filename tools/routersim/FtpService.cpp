// tools/routersim/FtpService.cpp: starts, watches and ends the FTP server children of the devices.
#include "tools/routersim/FtpService.h"

#include "tools/routersim/DataImage.h"
#include "tools/routersim/Log.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#ifndef ROUTERSIM_PYTHON3
#define ROUTERSIM_PYTHON3 "python3"
#endif

namespace routersim {

namespace {

constexpr char kScriptName[] = "ftp_device.py";
constexpr char kReadyLine[] = "ftp_device: ready";
constexpr auto kTermBound = std::chrono::milliseconds(2000);

// The script lies next to the routersim binary (the build copies it there).
std::string scriptPath(std::string& error)
{
    std::error_code code;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", code);
    if (code) {
        error = "cannot find routersim's own path: " + code.message();
        return {};
    }
    const std::filesystem::path script = self.parent_path() / kScriptName;
    if (!std::filesystem::is_regular_file(script, code)) {
        error = "the FTP server script " + script.string() + " is missing (it is built next to routersim)";
        return {};
    }
    return script.string();
}

} // namespace

std::string exitText(int status)
{
    if (WIFEXITED(status)) return "status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) {
        const char* name = sigabbrev_np(WTERMSIG(status));
        return name != nullptr ? std::string("signal SIG") + name
                               : "signal " + std::to_string(WTERMSIG(status));
    }
    return "wait status " + std::to_string(status);
}

FtpService::FtpService(const std::vector<Device>& devices, const FtpSettings& settings, std::string password,
                       std::string storeDir, EventLoop& loop)
    : m_settings{settings}, m_password{std::move(password)}, m_storeDir{std::move(storeDir)}, m_loop{loop}
{
    for (const Device& device : devices)
        if (device.ftp) m_devices.push_back(device);
}

FtpService::~FtpService()
{
    for (const auto& child : m_children) stop(*child);
    if (!m_imageDir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_imageDir, ignored);
    }
}

std::string FtpService::imageFile(std::string& path)
{
    if (!m_settings.dataImagePath.empty()) {
        path = m_settings.dataImagePath;
        return {};
    }
    std::string dir = (std::filesystem::temp_directory_path() / "routersim-image-XXXXXX").string();
    if (mkdtemp(dir.data()) == nullptr)
        return "cannot make a folder for the data image: " + std::string(std::strerror(errno));
    m_imageDir = dir;
    path = (std::filesystem::path(dir) / "image.bin").string();
    const std::string image = builtinDataImage();
    std::ofstream out(path, std::ios::binary);
    out.write(image.data(), static_cast<std::streamsize>(image.size()));
    out.close();
    if (!out) return "cannot write the data image to " + path;
    return {};
}

std::string FtpService::spawn(const Device& device, const std::string& script, const std::string& image,
                              Child& child)
{
    std::vector<std::string> args{ROUTERSIM_PYTHON3,
                                  script,
                                  "--address=" + device.addressText,
                                  "--port=" + std::to_string(kFtpPort),
                                  std::string("--user=") + kFtpUser,
                                  "--password=" + m_password,
                                  "--home=" + m_storeDir,
                                  "--data-image=" + image};
    if (m_settings.refuseLogin) args.emplace_back("--refuse-login");
    if (m_settings.refuseName) args.push_back("--refuse-name=" + *m_settings.refuseName);
    if (m_settings.reply429Name) args.push_back("--reply-429=" + *m_settings.reply429Name);
    if (m_settings.getRefuse) args.emplace_back("--get-refuse");
    if (m_settings.getError) args.emplace_back("--get-error");
    if (m_settings.stallAfter) args.push_back("--stall-after=" + std::to_string(*m_settings.stallAfter));
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return std::string("cannot make a pipe: ") + std::strerror(errno);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        const int saved = errno;
        close(ends[0]);
        close(ends[1]);
        return std::string("cannot fork: ") + std::strerror(saved);
    }
    if (pid == 0) {
        // Only async-signal-safe calls from here on. The child dies with routersim whichever way it ends.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(127);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr); // routersim blocks SIGTERM and SIGINT for its signalfd
        signal(SIGPIPE, SIG_DFL);
        const int devNull = open("/dev/null", O_RDONLY);
        if (devNull >= 0) dup2(devNull, 0);
        dup2(ends[1], 1);
        dup2(ends[1], 2);
        close_range(3, UINT_MAX, 0);
        execv(argv[0], argv.data());
        static constexpr char kFailed[] = "cannot run " ROUTERSIM_PYTHON3 "\n";
        [[maybe_unused]] const ssize_t ignored = write(2, kFailed, sizeof kFailed - 1);
        _exit(127);
    }
    close(ends[1]);
    fcntl(ends[0], F_SETFL, fcntl(ends[0], F_GETFL) | O_NONBLOCK);
    child.address = device.addressText;
    child.pid = pid;
    child.fd = ends[0];
    logLine("ftp: started the FTP server of " + device.addressText + " as pid " + std::to_string(pid));
    return {};
}

bool FtpService::readLines(Child& child)
{
    char buffer[4096];
    while (true) {
        const ssize_t got = read(child.fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && errno == EAGAIN) return true;
        if (got <= 0) break;
        child.partial.append(buffer, static_cast<std::size_t>(got));
        std::size_t start = 0;
        for (std::size_t end; (end = child.partial.find('\n', start)) != std::string::npos; start = end + 1) {
            const std::string line = child.partial.substr(start, end - start);
            if (!child.ready && line == kReadyLine)
                child.ready = true;
            else
                logLine("ftp: " + line);
        }
        child.partial.erase(0, start);
    }
    if (!child.partial.empty()) logLine("ftp: " + child.partial);
    child.partial.clear();
    return false;
}

std::string FtpService::start(std::chrono::milliseconds readyBound)
{
    if (m_devices.empty()) return {};
    std::string error;
    const std::string script = scriptPath(error);
    if (!error.empty()) return error;
    std::string image;
    if (error = imageFile(image); !error.empty()) return error;
    for (const Device& device : m_devices) {
        m_children.push_back(std::make_unique<Child>());
        if (error = spawn(device, script, image, *m_children.back()); !error.empty()) {
            m_children.pop_back();
            return error;
        }
    }

    const auto deadline = std::chrono::steady_clock::now() + readyBound;
    while (true) {
        std::vector<pollfd> waiting;
        std::vector<Child*> owners;
        for (const auto& child : m_children) {
            if (child->ready) continue;
            waiting.push_back({child->fd, POLLIN, 0});
            owners.push_back(child.get());
        }
        if (waiting.empty()) break;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return "the FTP server of " + owners.front()->address + " was not ready within " +
                   std::to_string(readyBound.count()) + " ms";
        }
        const int polled = poll(waiting.data(), waiting.size(), static_cast<int>(left.count()));
        if (polled < 0 && errno != EINTR)
            return std::string("cannot poll the FTP servers: ") + std::strerror(errno);
        for (std::size_t i = 0; i < waiting.size(); ++i) {
            if (waiting[i].revents == 0) continue;
            Child& child = *owners[i];
            if (readLines(child) || child.ready) continue;
            int status = 0;
            waitpid(child.pid, &status, 0);
            child.pid = -1;
            return "the FTP server of " + child.address + " ended before it was ready, with " +
                   exitText(status);
        }
    }
    for (const auto& child : m_children) {
        Child* owner = child.get();
        m_loop.watch(owner->fd, [this, owner] { onReadable(*owner); });
    }
    return {};
}

void FtpService::onReadable(Child& child)
{
    if (readLines(child)) return;
    m_loop.unwatch(child.fd);
    close(child.fd);
    child.fd = -1;
    int status = 0;
    if (waitpid(child.pid, &status, 0) == child.pid)
        logLine("ftp: the FTP server of " + child.address + " ended early, with " + exitText(status));
    child.pid = -1;
}

void FtpService::stop(Child& child)
{
    if (child.pid > 0) {
        kill(child.pid, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + kTermBound;
        int status = 0;
        pid_t done = 0;
        while ((done = waitpid(child.pid, &status, WNOHANG)) == 0 &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (done == 0) {
            logLine("ftp: the FTP server of " + child.address + " outlived SIGTERM; sending SIGKILL");
            kill(child.pid, SIGKILL);
            waitpid(child.pid, &status, 0);
        }
        if (child.fd >= 0) readLines(child); // its last words
        logLine("ftp: ended the FTP server of " + child.address + ": " + exitText(status));
        child.pid = -1;
    }
    if (child.fd >= 0) {
        m_loop.unwatch(child.fd);
        close(child.fd);
        child.fd = -1;
    }
}

} // namespace routersim
