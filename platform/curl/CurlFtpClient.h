#pragma once
// The FTP client component on libcurl: one easy handle holds the control connection and its login
// from Connect to Disconnect; each operation is driven through the multi interface, handling the
// window thread's events between short polls, so timers (the watchdog) keep running while it waits.
#include "platform/EventLoop.h"
#include "platform/FtpClient.h"

#include <chrono>
#include <cstdio>
#include <curl/curl.h>
#include <optional>
#include <string>

namespace fw {

class CurlFtpClient final : public FtpClient {
public:
    explicit CurlFtpClient(EventLoop& loop);
    ~CurlFtpClient() override;
    CurlFtpClient(const CurlFtpClient&) = delete;
    CurlFtpClient& operator=(const CurlFtpClient&) = delete;

    void Connect() override;
    void Upload(const std::string& localPath, const std::string& remoteName) override;
    void Download(const std::string& remoteName, const std::string& localPath) override;
    void Disconnect() override;
    bool Connected() const override { return m_connected; }
    long GetBytesRcvd() const override { return m_bytesRcvd; }
    void Abort() override { m_aborted = true; }

private:
    static int debugCallback(CURL*, curl_infotype type, char* data, std::size_t size, void* self);
    static std::size_t readCallback(char* buffer, std::size_t size, std::size_t count, void* self);
    static std::size_t writeCallback(char* data, std::size_t size, std::size_t count, void* self);
    static int progressCallback(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
    void onReplyBytes(const char* data, std::size_t size);
    void onCommandSent(const char* data, std::size_t size);
    void awaitReply(std::string awaited, int limitMs);
    bool replyOverdue() const;
    // Handles the window's events when the last round is kPollMs old; false when the transfer must end.
    bool keepEventsGoing();

    enum class Outcome { Done, ServerReply429 };
    void checkUsable() const;
    std::string urlFor(const std::string& remoteName) const;
    // Runs the easy handle's transfer to its end, handling window events meanwhile; throws on failure.
    Outcome perform(const std::string& what);
    [[noreturn]] void failAborted();
    void closeHandles();

    EventLoop& m_loop;
    CURL* m_easy = nullptr;
    CURLM* m_multi = nullptr;
    bool m_connected = false;
    bool m_aborted = false;
    long m_bytesRcvd = 0;
    std::string m_partialLine;   // reply bytes not yet ended by a line feed
    std::string m_lastReplyLine; // of the running operation
    // The command reply being waited for, and when its wait ends; none while the data moves.
    std::optional<std::chrono::steady_clock::time_point> m_replyDeadline;
    std::string m_awaited;
    int m_awaitedLimitMs = 0;
    bool m_replyTimedOut = false;
    std::int64_t m_lastEventsMs = 0;
    std::FILE* m_source = nullptr;
    std::FILE* m_sink = nullptr;
    bool m_sinkFailed = false;
    char m_errorBuffer[CURL_ERROR_SIZE] = {};
};

} // namespace fw
