// The libcurl FTP client against a real FTP server (pyftpdlib) on 127.0.0.1, with the window's real
// event loop: logins, uploads and downloads byte for byte, the server's refusals and its 429 reply,
// and the loop's timers running (and aborting) while a transfer waits.
#include "platform/curl/CurlFtpClient.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/testing/FakeFtpClient.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using testing::HasSubstr;
using testing::StartsWith;

namespace {

constexpr const char* kPassword = "admin";

std::string readFile(const fs::path& path)
{
    std::ifstream in{path, std::ios::binary};
    return {std::istreambuf_iterator<char>{in}, {}};
}

void writeFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream out{path, std::ios::binary | std::ios::trunc};
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string randomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 random{seed};
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    return bytes;
}

bool pyftpdlibInstalled()
{
    const std::string command = std::string{FW_PYTHON3} + " -c 'import pyftpdlib' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// A port on 127.0.0.1 where nothing listens: bound for a moment, then freed.
std::uint16_t freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// ftp_server.py in a child process, serving a fresh directory, logging every command it receives.
class FtpServer {
public:
    explicit FtpServer(const fs::path& workDir) : root{workDir / "root"}, commandLog{workDir / "commands.log"}
    {
        fs::create_directories(root);
        int out[2];
        if (::pipe(out) != 0) return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::close(out[0]);
            ::close(out[1]);
            ::execl(FW_PYTHON3, FW_PYTHON3, FW_FTP_SERVER_SCRIPT, root.c_str(), kPassword, commandLog.c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(out[1]);
        // The port line, or nothing if the server did not start within ten seconds.
        std::string line;
        pollfd watch{out[0], POLLIN, 0};
        while (line.find('\n') == std::string::npos && ::poll(&watch, 1, 10000) > 0) {
            char buffer[64];
            const ssize_t n = ::read(out[0], buffer, sizeof buffer);
            if (n <= 0) break;
            line.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(out[0]);
        if (line.find('\n') != std::string::npos) port = static_cast<std::uint16_t>(std::stoi(line));
    }
    ~FtpServer()
    {
        if (m_pid <= 0) return;
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
    FtpServer(const FtpServer&) = delete;
    FtpServer& operator=(const FtpServer&) = delete;

    // The command lines received so far whose verb is verb.
    std::vector<std::string> commands(const std::string& verb) const
    {
        std::vector<std::string> found;
        std::istringstream log{readFile(commandLog)};
        for (std::string line; std::getline(log, line);)
            if (line == verb || line.rfind(verb + " ", 0) == 0) found.push_back(line);
        return found;
    }

    const fs::path root;
    const fs::path commandLog;
    std::uint16_t port = 0;

private:
    pid_t m_pid = -1;
};

class CurlFtpClientTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (!pyftpdlibInstalled()) {
            const char* ci = std::getenv("CI");
            if (ci && std::string{ci} == "true") FAIL() << "python3-pyftpdlib is missing (scripts/deps.sh)";
            GTEST_SKIP() << "python3-pyftpdlib is missing; scripts/deps.sh installs it";
        }
        char pattern[] = "/tmp/ftp-client-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_workDir = pattern;
        server = std::make_unique<FtpServer>(m_workDir / "server");
        ASSERT_NE(server->port, 0) << "the FTP server did not start";
        client.Host = "127.0.0.1";
        client.Port = server->port;
        client.UserID = "root";
        client.Password = kPassword;
        client.OnStatus = [this](const std::string& line) { replies.push_back(line); };
        client.OnConnect = [this] { ++connects; };
        client.OnPacketSent = [this] { ++packetsSent; };
        client.OnError = [this](int number, const std::string& text) { errors.push_back({number, text}); };
    }
    void TearDown() override
    {
        client.Disconnect();
        server.reset();
        if (!m_workDir.empty()) fs::remove_all(m_workDir);
    }

    fs::path localFile(const std::string& name, const std::string& bytes)
    {
        const fs::path path = m_workDir / name;
        writeFile(path, bytes);
        return path;
    }
    fs::path localPath(const std::string& name) const { return m_workDir / name; }

    // The message of the FtpError fn throws; fails the test when it throws none.
    template <typename Fn>
    std::string failureOf(Fn fn)
    {
        try {
            fn();
        } catch (const fw::FtpError& error) {
            return error.what();
        }
        ADD_FAILURE() << "no FtpError was thrown";
        return {};
    }

    fw::QtEventLoop loop;
    fw::CurlFtpClient client{loop};
    std::unique_ptr<FtpServer> server;
    std::vector<std::string> replies;
    struct Error {
        int number;
        std::string text;
    };
    std::vector<Error> errors;
    int connects = 0;
    int packetsSent = 0;

private:
    fs::path m_workDir;
};

TEST_F(CurlFtpClientTest, LogsInOnceAndPassesEveryReplyLineToOnStatus)
{
    client.Connect();
    EXPECT_TRUE(client.Connected());
    EXPECT_EQ(connects, 1);
    EXPECT_THAT(replies, testing::IsSupersetOf({"220 FTP server ready.", "331 Username ok, send password.",
                                                "230 Login successful."}));
    for (const std::string& line : replies) EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
    EXPECT_EQ(server->commands("USER"), std::vector<std::string>{"USER root"});
    EXPECT_EQ(server->commands("PASS").size(), 1u);
    EXPECT_TRUE(errors.empty());
    client.Disconnect();
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(server->commands("QUIT").size(), 1u);
}

TEST_F(CurlFtpClientTest, AWrongPasswordThrowsTheServersReply)
{
    client.Password = "wrong";
    EXPECT_EQ(failureOf([&] { client.Connect(); }), "530 Login incorrect.");
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(connects, 0);
    EXPECT_THAT(replies, testing::Contains("530 Login incorrect."));
}

TEST_F(CurlFtpClientTest, NothingListeningThrowsATextWithoutAReplyCode)
{
    client.Port = freePort();
    const std::string message = failureOf([&] { client.Connect(); });
    EXPECT_THAT(message, testing::Not(testing::MatchesRegex("^[0-9][0-9][0-9].*")));
    EXPECT_THAT(message, HasSubstr("127.0.0.1:" + std::to_string(client.Port)));
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(connects, 0);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].number, 0);
    EXPECT_THAT(message, HasSubstr(errors[0].text));
}

struct UploadCase {
    const char* label;
    std::size_t size;
    const char* remoteName;
};

class UploadStoresTheBytes : public CurlFtpClientTest, public testing::WithParamInterface<UploadCase> {};

TEST_P(UploadStoresTheBytes, UnderItsNameInTheLoginDirectory)
{
    const UploadCase& c = GetParam();
    const std::string bytes = randomBytes(c.size, static_cast<unsigned>(c.size));
    client.Connect();
    client.Upload(localFile("image", bytes).string(), c.remoteName);
    ASSERT_TRUE(fs::exists(server->root / c.remoteName));
    EXPECT_TRUE(readFile(server->root / c.remoteName) == bytes) << "stored bytes differ";
    EXPECT_EQ(server->commands("STOR"), std::vector<std::string>{std::string{"STOR "} + c.remoteName});
    EXPECT_TRUE(server->commands("CWD").empty());
    EXPECT_THAT(replies, testing::Contains(StartsWith("226 ")));
    EXPECT_EQ(packetsSent > 0, c.size > 0);
    EXPECT_TRUE(client.Connected());
}

INSTANTIATE_TEST_SUITE_P(Sizes, UploadStoresTheBytes,
                         testing::Values(UploadCase{"Empty", 0, "empty.bin"},
                                         UploadCase{"ThousandBytes", 1000, "small.bin"},
                                         UploadCase{"OneMebibyte", 1048576, "main.bin"},
                                         UploadCase{"NameWithSpaceAndPercent", 1000, "fw 100%.bin"}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(CurlFtpClientTest, TwoUploadsShareOneLogin)
{
    const std::string first = randomBytes(5000, 1), second = randomBytes(70000, 2);
    client.Connect();
    client.Upload(localFile("one", first).string(), "one.bin");
    client.Upload(localFile("two", second).string(), "two.bin");
    EXPECT_TRUE(readFile(server->root / "one.bin") == first);
    EXPECT_TRUE(readFile(server->root / "two.bin") == second);
    EXPECT_EQ(server->commands("USER").size(), 1u);
    EXPECT_EQ(server->commands("PASS").size(), 1u);
    EXPECT_EQ(connects, 1);
}

struct RefusalCase {
    const char* label;
    bool upload;
    const char* remoteName;
    const char* want; // the whole message, or its beginning when it ends in "..."
};

class ARefusal : public CurlFtpClientTest, public testing::WithParamInterface<RefusalCase> {};

TEST_P(ARefusal, ThrowsTheReplyLineAndKeepsTheLogin)
{
    const RefusalCase& c = GetParam();
    if (!c.upload) writeFile(server->root / "refused.bin", "kept");
    client.Connect();
    const std::string local = c.upload ? localFile("image", "bytes").string() : localPath("fetched").string();
    const std::string message = failureOf([&] {
        if (c.upload)
            client.Upload(local, c.remoteName);
        else
            client.Download(c.remoteName, local);
    });
    const std::string want = c.want;
    if (want.ends_with("...")) {
        EXPECT_THAT(message, StartsWith(want.substr(0, want.size() - 3)));
    } else {
        EXPECT_EQ(message, want);
    }
    EXPECT_THAT(replies, testing::Contains(message));
    EXPECT_TRUE(errors.empty());

    // The control connection goes on: the next upload is stored without another login.
    client.Upload(localFile("next", "next").string(), "next.bin");
    EXPECT_EQ(readFile(server->root / "next.bin"), "next");
    EXPECT_EQ(server->commands("USER").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, ARefusal,
    testing::Values(RefusalCase{"UploadRefused", true, "refused.bin", "550 refused.bin: Permission denied."},
                    RefusalCase{"DownloadRefused", false, "refused.bin",
                                "550 refused.bin: Permission denied."},
                    RefusalCase{"DownloadOfAMissingFile", false, "missing.bin", "550 ..."}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(CurlFtpClientTest, A429FinalReplyReachesOnStatusAndUploadReturns)
{
    const std::string bytes = randomBytes(20000, 3);
    client.Connect();
    EXPECT_NO_THROW(client.Upload(localFile("image", bytes).string(), "answer429.bin"));
    EXPECT_THAT(replies, testing::Contains("429 answer429.bin: Image refused by the device."));
    EXPECT_TRUE(readFile(server->root / "answer429.bin") == bytes);
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(client.Connected());
    client.Upload(localFile("next", "next").string(), "next.bin");
    EXPECT_EQ(readFile(server->root / "next.bin"), "next");
}

TEST_F(CurlFtpClientTest, AnUnreadableLocalFileThrowsBeforeAnythingIsSent)
{
    client.Connect();
    const std::string message = failureOf([&] { client.Upload(localPath("absent").string(), "x.bin"); });
    EXPECT_THAT(message, HasSubstr("absent"));
    EXPECT_THAT(message, testing::Not(testing::MatchesRegex("^[0-9][0-9][0-9].*")));
    EXPECT_TRUE(server->commands("STOR").empty());
}

TEST_F(CurlFtpClientTest, DownloadWritesTheBytesAndReportsEachPacket)
{
    const std::string bytes = randomBytes(300000, 4);
    writeFile(server->root / "config.bin", bytes);
    long received = 0;
    int packets = 0;
    client.OnPacketRecvd = [&] {
        ++packets;
        received += client.GetBytesRcvd();
    };
    client.Connect();
    client.Download("config.bin", localPath("config.bin").string());
    EXPECT_TRUE(readFile(localPath("config.bin")) == bytes);
    EXPECT_EQ(received, static_cast<long>(bytes.size()));
    EXPECT_GE(packets, 1);
    EXPECT_TRUE(server->commands("CWD").empty());
}

TEST_F(CurlFtpClientTest, TimersRunWhileAnUploadWaitsAndTheReplyTimeOutDoesNotLimitIt)
{
    // The server reads about 800 KB a second, so this upload outlasts the one-second reply time-out.
    const std::string bytes = randomBytes(1048576, 5);
    client.TimeOut = 1000;
    client.Connect();
    bool uploading = false;
    int ticksDuringUpload = 0;
    auto timer = loop.createTimer(20);
    timer->onTick = [&] {
        if (uploading && packetsSent > 0) ++ticksDuringUpload;
    };
    timer->start();
    uploading = true;
    client.Upload(localFile("image", bytes).string(), "slow.bin");
    uploading = false;
    EXPECT_GT(ticksDuringUpload, 0);
    EXPECT_TRUE(readFile(server->root / "slow.bin") == bytes);
}

struct AbortCase {
    const char* label;
    const char* remoteName;
    std::size_t size;
};

class AnAbortFromATimer : public CurlFtpClientTest, public testing::WithParamInterface<AbortCase> {};

TEST_P(AnAbortFromATimer, EndsTheStuckUploadAndEveryLaterOperation)
{
    // The long reply time-out leaves only the abort to end the wait.
    const AbortCase& c = GetParam();
    client.TimeOut = 120000;
    client.Connect();
    auto timer = loop.createTimer(200);
    int ticks = 0;
    timer->onTick = [&] {
        if (++ticks == 2) client.Abort();
    };
    timer->start();
    const std::string image = localFile("image", randomBytes(c.size, 6)).string();
    EXPECT_THAT(failureOf([&] { client.Upload(image, c.remoteName); }), HasSubstr("aborted"));
    EXPECT_EQ(ticks, 2);
    EXPECT_FALSE(client.Connected());
    EXPECT_THAT(failureOf([&] { client.Upload(image, "after.bin"); }), HasSubstr("aborted"));
    EXPECT_THAT(failureOf([&] { client.Connect(); }), HasSubstr("aborted"));
    EXPECT_FALSE(fs::exists(server->root / "after.bin"));
    client.Disconnect(); // nothing left to end, and no throw
}

INSTANTIATE_TEST_SUITE_P(Waits, AnAbortFromATimer,
                         testing::Values(AbortCase{"WhileTheServerStopsReading", "stall.bin", 16 * 1048576},
                                         AbortCase{"WhileTheFinalReplyNeverComes", "noreply.bin", 1000}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(CurlFtpClientTest, ACommandLeftUnansweredFailsAfterTheTimeOut)
{
    client.TimeOut = 1000;
    client.Connect();
    const std::string message =
        failureOf([&] { client.Upload(localFile("image", "x").string(), "mute.bin"); });
    EXPECT_THAT(message, HasSubstr("STOR mute.bin"));
    EXPECT_THAT(message, testing::Not(testing::MatchesRegex("^[0-9][0-9][0-9].*")));
    EXPECT_FALSE(client.Connected());
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].number, 28); // CURLE_OPERATION_TIMEDOUT
}

TEST_F(CurlFtpClientTest, DisconnectSendsQuitAndGivesUpOnAServerThatNeverAnswersIt)
{
    client.TimeOut = 1000;
    client.Connect();
    client.Upload(localFile("image", "x").string(), "deafquit.bin");
    client.Disconnect();
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(server->commands("QUIT").size(), 1u);
}

// The double answers as the real server of these tests does, so logic tested on it meets the same texts.
class FakeFtpClientTest : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/fake-ftp-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = pattern;
        fake.Host = "127.0.0.1";
        fake.UserID = "root";
        fake.Password = fake.acceptedPassword = kPassword;
        fake.OnStatus = [this](const std::string& line) { replies.push_back(line); };
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string file(const std::string& bytes)
    {
        writeFile(m_dir / "image", bytes);
        return (m_dir / "image").string();
    }
    std::string failureOf(const std::function<void()>& fn)
    {
        try {
            fn();
        } catch (const fw::FtpError& error) {
            return error.what();
        }
        ADD_FAILURE() << "no FtpError was thrown";
        return {};
    }

    fw::FakeFtpClient fake;
    std::vector<std::string> replies;
    fs::path m_dir;
};

TEST_F(FakeFtpClientTest, RefusesAndPassesOnAsTheRealServerDoes)
{
    fake.Password = "wrong";
    EXPECT_EQ(failureOf([&] { fake.Connect(); }), "530 Login incorrect.");
    EXPECT_FALSE(fake.Connected());
    fake.Password = kPassword;
    fake.refusedNames = {"refused.bin"};
    fake.names429 = {"answer429.bin"};
    fake.Connect();
    EXPECT_EQ(failureOf([&] { fake.Upload(file("a"), "refused.bin"); }),
              "550 refused.bin: Permission denied.");
    const std::string bytes = randomBytes(10000, 7);
    fake.Upload(file(bytes), "answer429.bin");
    EXPECT_THAT(replies, testing::Contains(StartsWith("429 ")));
    ASSERT_EQ(fake.stored.size(), 1u);
    EXPECT_EQ(fake.stored[0].remoteName, "answer429.bin");
    EXPECT_TRUE(fake.stored[0].bytes == bytes);
    EXPECT_EQ(fake.logins, 1);

    fake.Download("answer429.bin", (m_dir / "back").string());
    EXPECT_TRUE(readFile(m_dir / "back") == bytes);
    EXPECT_THAT(failureOf([&] { fake.Download("missing.bin", (m_dir / "back").string()); }),
                StartsWith("550 "));
}

TEST_F(FakeFtpClientTest, AnUnreachableServerFailsWithoutAReplyCode)
{
    fake.reachable = false;
    int errors = 0;
    fake.OnError = [&](int, const std::string&) { ++errors; };
    EXPECT_THAT(failureOf([&] { fake.Connect(); }),
                testing::Not(testing::MatchesRegex("^[0-9][0-9][0-9].*")));
    EXPECT_EQ(errors, 1);
    EXPECT_FALSE(fake.Connected());
}

TEST_F(FakeFtpClientTest, AnAbortFromTheHookEndsThatOperationAndEveryLaterOne)
{
    fake.Connect();
    fake.onOperation = [&](const fw::FakeFtpClient::Operation& operation) {
        if (operation.op == fw::FakeFtpClient::Op::Upload) fake.Abort();
    };
    EXPECT_THAT(failureOf([&] { fake.Upload(file("a"), "main.bin"); }), HasSubstr("aborted"));
    EXPECT_THAT(failureOf([&] { fake.Connect(); }), HasSubstr("aborted"));
    EXPECT_TRUE(fake.stored.empty());
    fake.Disconnect();
    using Op = fw::FakeFtpClient::Op;
    std::vector<Op> ops;
    for (const auto& operation : fake.operations) ops.push_back(operation.op);
    EXPECT_EQ(ops, (std::vector<Op>{Op::Connect, Op::Upload, Op::Abort, Op::Connect, Op::Disconnect}));
}

} // namespace
