#include "platform/curl/CurlFtpClient.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>

namespace fw {

namespace {

// How long one wait for the network lasts before the window's events are handled again.
constexpr int kPollMs = 20;
// How long the server may take to open a data connection to us after STOR or RETR.
constexpr long kAcceptTimeoutMs = 10000;
// How long opening the control connection may take.
constexpr long kConnectTimeoutMs = 10000;
// curl's own bound on each reply wait. Command replies are bounded by TimeOut here instead, since
// curl's bound also covers the final reply to STOR, which comes only once the server has taken in
// all the data our socket buffers still held and written it: that is the data transfer's progress,
// which only the watchdog limits. curl waits for that reply without returning, handling the window's
// events once a second through the progress callback.
constexpr long kCurlReplyLimitSeconds = 600;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

void initialiseLibcurlOnce()
{
    static const bool done = [] { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }();
    if (!done) throw FtpError("Cannot start the FTP client: libcurl could not be initialised");
}

// The reply code a line begins with, or 0 when it does not begin with three digits and an end, space or dash.
long replyCodeOf(const std::string& line)
{
    if (line.size() < 3) return 0;
    for (int i = 0; i < 3; ++i)
        if (!std::isdigit(static_cast<unsigned char>(line[i]))) return 0;
    if (line.size() > 3 && line[3] != ' ' && line[3] != '-') return 0;
    return std::stol(line.substr(0, 3));
}

// Sets a curl option whose failure would only come from a libcurl built without FTP.
template <typename Value>
void set(CURL* easy, CURLoption option, Value value)
{
    if (curl_easy_setopt(easy, option, value) != CURLE_OK)
        throw FtpError("Cannot set up the FTP transfer: libcurl refused an option");
}

} // namespace

CurlFtpClient::CurlFtpClient(EventLoop& loop) : m_loop{loop} {}

CurlFtpClient::~CurlFtpClient()
{
    Disconnect();
}

void CurlFtpClient::Connect()
{
    if (m_aborted) failAborted();
    Disconnect();
    initialiseLibcurlOnce();
    m_multi = curl_multi_init();
    m_easy = curl_easy_init();
    if (!m_multi || !m_easy) {
        closeHandles();
        throw FtpError("Cannot start the FTP client: libcurl could not make a handle");
    }
    try {
        set(m_easy, CURLOPT_NOSIGNAL, 1L);
        set(m_easy, CURLOPT_ERRORBUFFER, m_errorBuffer);
        set(m_easy, CURLOPT_VERBOSE, 1L); // the debug callback sees every reply line
        set(m_easy, CURLOPT_DEBUGFUNCTION, &CurlFtpClient::debugCallback);
        set(m_easy, CURLOPT_DEBUGDATA, this);
        set(m_easy, CURLOPT_READFUNCTION, &CurlFtpClient::readCallback);
        set(m_easy, CURLOPT_READDATA, this);
        set(m_easy, CURLOPT_WRITEFUNCTION, &CurlFtpClient::writeCallback);
        set(m_easy, CURLOPT_WRITEDATA, this);
        set(m_easy, CURLOPT_NOPROGRESS, 0L);
        set(m_easy, CURLOPT_XFERINFOFUNCTION, &CurlFtpClient::progressCallback);
        set(m_easy, CURLOPT_XFERINFODATA, this);
        set(m_easy, CURLOPT_USERNAME, UserID.c_str());
        set(m_easy, CURLOPT_PASSWORD, Password.c_str());
        // Files live in the login directory: no CWD, the name goes straight into STOR and RETR.
        set(m_easy, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
        if (Passive) {
            set(m_easy, CURLOPT_FTPPORT, static_cast<const char*>(nullptr));
        } else {
            // The server connects to the address the control connection uses on this side. Plain PORT,
            // as small devices' servers may not know EPRT.
            set(m_easy, CURLOPT_FTPPORT, "-");
            set(m_easy, CURLOPT_FTP_USE_EPRT, 0L);
        }
        set(m_easy, CURLOPT_ACCEPTTIMEOUT_MS, kAcceptTimeoutMs);
        set(m_easy, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
        set(m_easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, kCurlReplyLimitSeconds);
        set(m_easy, CURLOPT_TRANSFERTEXT, 0L);
        // The login runs as the connection's setup; with no body and no file name nothing else follows.
        set(m_easy, CURLOPT_NOBODY, 1L);
        set(m_easy, CURLOPT_URL, urlFor("").c_str());
        awaitReply("a greeting", static_cast<int>(kConnectTimeoutMs) + std::max(TimeOut, 1));
        perform("log in at " + urlFor("") + " as " + UserID);
        set(m_easy, CURLOPT_NOBODY, 0L);
    } catch (...) {
        closeHandles();
        throw;
    }
    m_connected = true;
    if (OnConnect) OnConnect();
}

void CurlFtpClient::Upload(const std::string& localPath, const std::string& remoteName)
{
    checkUsable();
    FilePtr source{std::fopen(localPath.c_str(), "rb")};
    if (!source) throw FtpError("Cannot open the local file " + localPath + ": " + std::strerror(errno));
    curl_off_t size = -1;
    if (std::fseek(source.get(), 0, SEEK_END) == 0) {
        size = static_cast<curl_off_t>(std::ftell(source.get()));
        std::rewind(source.get());
    }
    m_source = source.get();
    try {
        set(m_easy, CURLOPT_UPLOAD, 1L);
        set(m_easy, CURLOPT_INFILESIZE_LARGE, size);
        set(m_easy, CURLOPT_URL, urlFor(remoteName).c_str());
        perform("store " + remoteName + " at " + urlFor(""));
    } catch (...) {
        m_source = nullptr;
        throw;
    }
    m_source = nullptr;
}

void CurlFtpClient::Download(const std::string& remoteName, const std::string& localPath)
{
    checkUsable();
    FilePtr sink{std::fopen(localPath.c_str(), "wb")};
    if (!sink) throw FtpError("Cannot open the local file " + localPath + ": " + std::strerror(errno));
    m_sink = sink.get();
    m_sinkFailed = false;
    try {
        set(m_easy, CURLOPT_UPLOAD, 0L);
        set(m_easy, CURLOPT_URL, urlFor(remoteName).c_str());
        const Outcome outcome = perform("fetch " + remoteName + " from " + urlFor(""));
        m_sink = nullptr;
        if (outcome == Outcome::ServerReply429) throw FtpError(m_lastReplyLine);
    } catch (...) {
        m_sink = nullptr;
        throw;
    }
    if (std::fflush(sink.get()) != 0)
        throw FtpError("Cannot write the local file " + localPath + ": " + std::strerror(errno));
}

void CurlFtpClient::Disconnect()
{
    // The multi handle's cleanup closes the connection it keeps, sending QUIT while the control
    // connection is sound (a broken or aborted one is dropped without it) and waiting for the reply
    // without returning. That wait takes its limit from the handle last added, so the easy handle is
    // added once more, bounded by TimeOut, and taken out before anything runs.
    if (m_multi && m_easy && m_connected) {
        const long replySeconds = static_cast<long>((std::max(TimeOut, 1) + 999) / 1000);
        if (curl_easy_setopt(m_easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, replySeconds) == CURLE_OK &&
            curl_multi_add_handle(m_multi, m_easy) == CURLM_OK)
            curl_multi_remove_handle(m_multi, m_easy);
    }
    closeHandles();
    m_connected = false;
}

void CurlFtpClient::checkUsable() const
{
    if (m_aborted) throw FtpError("Transfer aborted");
    if (!m_connected || !m_easy) throw FtpError("Not connected to an FTP server");
}

void CurlFtpClient::failAborted()
{
    throw FtpError("Transfer aborted");
}

std::string CurlFtpClient::urlFor(const std::string& remoteName) const
{
    std::string url = "ftp://";
    url += Host.find(':') != std::string::npos ? "[" + Host + "]" : Host;
    url += ":" + std::to_string(Port) + "/";
    if (!remoteName.empty()) {
        char* escaped = curl_easy_escape(m_easy, remoteName.c_str(), static_cast<int>(remoteName.size()));
        if (!escaped) throw FtpError("Cannot set up the FTP transfer: out of memory");
        url += escaped;
        curl_free(escaped);
    }
    return url;
}

CurlFtpClient::Outcome CurlFtpClient::perform(const std::string& what)
{
    m_partialLine.clear();
    m_lastReplyLine.clear();
    m_errorBuffer[0] = '\0';
    m_replyTimedOut = false;
    m_lastEventsMs = m_loop.nowMs();
    WorkUnderWay work{m_loop};

    if (curl_multi_add_handle(m_multi, m_easy) != CURLM_OK) {
        closeHandles();
        m_connected = false;
        throw FtpError("Could not " + what + ": libcurl could not start the transfer");
    }
    int running = 1;
    CURLMcode multiResult = CURLM_OK;
    while (!m_aborted && !m_replyTimedOut) {
        multiResult = curl_multi_perform(m_multi, &running);
        if (multiResult != CURLM_OK || running == 0 || m_aborted) break;
        multiResult = curl_multi_poll(m_multi, nullptr, 0, kPollMs, nullptr);
        if (multiResult != CURLM_OK) break;
        m_lastEventsMs = m_loop.nowMs();
        m_loop.processPendingEvents();
        if (replyOverdue()) m_replyTimedOut = true;
    }
    if (!m_partialLine.empty()) onReplyBytes("\n", 1); // a last reply line without its line end
    m_replyDeadline.reset();

    if (m_aborted) {
        // Removing the unfinished transfer marks its connection broken, so it closes without QUIT.
        closeHandles();
        m_connected = false;
        failAborted();
    }
    if (m_replyTimedOut) {
        const std::string text = "the server sent no reply to " + m_awaited + " within " +
                                 std::to_string(m_awaitedLimitMs) + " ms";
        if (OnError) OnError(static_cast<int>(CURLE_OPERATION_TIMEDOUT), text);
        closeHandles();
        m_connected = false;
        throw FtpError("Could not " + what + ": " + text);
    }
    CURLcode result = CURLE_OK;
    if (multiResult != CURLM_OK) {
        result = CURLE_FAILED_INIT;
    } else {
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(m_multi, &left))
            if (message->msg == CURLMSG_DONE && message->easy_handle == m_easy) result = message->data.result;
    }
    curl_multi_remove_handle(m_multi, m_easy);
    if (result == CURLE_OK) return Outcome::Done;

    long responseCode = 0;
    curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &responseCode);
    const long lineCode = replyCodeOf(m_lastReplyLine);
    if (lineCode == 429 && responseCode == 429) return Outcome::ServerReply429;
    if (lineCode >= 400 && lineCode == responseCode) {
        // The server refused; the control connection stays in use unless curl found it broken.
        throw FtpError(m_lastReplyLine);
    }
    if (m_sinkFailed) throw FtpError("Could not " + what + ": the local file could not be written");

    std::string text = curl_easy_strerror(result);
    // curl 7.88 notes a harmless failure to print the address of an active data connection there,
    // and keeps only the first note of a transfer: such a note says nothing of what failed.
    const std::string detail = m_errorBuffer;
    if (!detail.empty() && detail != text && detail.find("inet_ntop() failed") == std::string::npos)
        text += " (" + detail + ")";
    if (OnError) OnError(static_cast<int>(result), text);
    closeHandles();
    m_connected = false;
    throw FtpError("Could not " + what + ": " + text);
}

void CurlFtpClient::closeHandles()
{
    if (m_multi && m_easy) curl_multi_remove_handle(m_multi, m_easy);
    if (m_easy) curl_easy_cleanup(m_easy);
    if (m_multi) curl_multi_cleanup(m_multi);
    m_easy = nullptr;
    m_multi = nullptr;
}

void CurlFtpClient::awaitReply(std::string awaited, int limitMs)
{
    m_awaited = std::move(awaited);
    m_awaitedLimitMs = limitMs;
    m_replyDeadline = std::chrono::steady_clock::now() + std::chrono::milliseconds{limitMs};
}

bool CurlFtpClient::replyOverdue() const
{
    return m_replyDeadline && std::chrono::steady_clock::now() >= *m_replyDeadline;
}

void CurlFtpClient::onCommandSent(const char* data, std::size_t size)
{
    std::string command{data, size};
    command.erase(command.find_last_not_of("\r\n") + 1);
    if (command.rfind("PASS ", 0) == 0) command = "PASS";
    awaitReply(command, std::max(TimeOut, 1));
}

bool CurlFtpClient::keepEventsGoing()
{
    if (m_aborted) return false;
    if (replyOverdue()) {
        m_replyTimedOut = true;
        return false;
    }
    if (m_loop.nowMs() - m_lastEventsMs < kPollMs) return true;
    m_lastEventsMs = m_loop.nowMs();
    m_loop.processPendingEvents();
    return !m_aborted;
}

void CurlFtpClient::onReplyBytes(const char* data, std::size_t size)
{
    m_partialLine.append(data, size);
    std::size_t end;
    while ((end = m_partialLine.find('\n')) != std::string::npos) {
        std::string line = m_partialLine.substr(0, end);
        m_partialLine.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // Any line shows the server answering; after a 1xx reply the data moves, and the final reply
        // that follows it is not bounded.
        m_replyDeadline.reset();
        m_lastReplyLine = line;
        if (OnStatus) OnStatus(line);
    }
}

int CurlFtpClient::debugCallback(CURL*, curl_infotype type, char* data, std::size_t size, void* self)
{
    auto& client = *static_cast<CurlFtpClient*>(self);
    if (type == CURLINFO_HEADER_IN) client.onReplyBytes(data, size);
    if (type == CURLINFO_HEADER_OUT) client.onCommandSent(data, size);
    return 0;
}

int CurlFtpClient::progressCallback(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    // Also called, once a second, while curl waits for the final reply without returning.
    return static_cast<CurlFtpClient*>(self)->keepEventsGoing() ? 0 : 1;
}

std::size_t CurlFtpClient::readCallback(char* buffer, std::size_t size, std::size_t count, void* self)
{
    auto& client = *static_cast<CurlFtpClient*>(self);
    if (client.m_aborted || !client.m_source) return CURL_READFUNC_ABORT;
    const std::size_t n = std::fread(buffer, 1, size * count, client.m_source);
    if (n == 0 && std::ferror(client.m_source)) return CURL_READFUNC_ABORT;
    if (n > 0 && client.OnPacketSent) client.OnPacketSent();
    return n;
}

std::size_t CurlFtpClient::writeCallback(char* data, std::size_t size, std::size_t count, void* self)
{
    auto& client = *static_cast<CurlFtpClient*>(self);
    const std::size_t n = size * count;
    if (client.m_aborted || !client.m_sink) return 0;
    if (std::fwrite(data, 1, n, client.m_sink) != n) {
        client.m_sinkFailed = true;
        return 0;
    }
    client.m_bytesRcvd = static_cast<long>(n);
    if (client.OnPacketRecvd) client.OnPacketRecvd();
    return n;
}

} // namespace fw
