// tools/routersim/WebConnection.cpp: the reads, writes and timers of one web connection, and its log lines.
#include "tools/routersim/WebConnection.h"

#include "tools/routersim/HttpRequest.h"
#include "tools/routersim/Log.h"
#include "tools/routersim/RequestShapes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace routersim {

namespace {

// How long a client must send nothing before what it sent counts as all it will send: an upload whose
// Content-Length is wrong, a head without headers. A pause of a sending client is far shorter.
constexpr std::chrono::milliseconds kQuietTime{1000};
// How long a closed reply waits for the client to close its side before the socket goes anyway.
constexpr std::chrono::milliseconds kLingerTime{2000};
// The most one connection reads in one turn of the loop, so a long upload leaves the others their turn.
constexpr std::size_t kMaxReadPerTurn = 1024 * 1024;

constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";

} // namespace

WebConnection::WebConnection(WebEnvironment& environment, WebInterface& web, AcceptedConnection accepted)
    : m_environment{environment}, m_web{web}, m_fd{accepted.fd}, m_peer{accepted.peer},
      m_local{accepted.local}, m_number{++environment.connectionCount}, m_lastInput{EventLoop::Clock::now()}
{
}

WebConnection::~WebConnection()
{
    if (m_fd >= 0) {
        m_environment.loop.unwatch(m_fd);
        ::close(m_fd);
    }
    if (!m_partPath.empty()) {
        m_part.close();
        std::error_code ignored;
        std::filesystem::remove(m_partPath, ignored);
    }
}

void WebConnection::start()
{
    m_environment.loop.watch(m_fd, [this] { onReadable(); });
}

std::string WebConnection::peerText() const
{
    return endpointText(m_peer) + " to " + endpointText(m_local);
}

void WebConnection::logRequest(const std::string& outcome)
{
    const std::uint64_t bytes = m_head.size() + (m_body ? m_body->received() : 0);
    logLine("web: " + m_requestLine + " from " + peerText() + ", " + std::to_string(bytes) +
            " bytes: " + outcome + (m_answer.note.empty() ? "" : " (" + m_answer.note + ")") +
            (m_answer.keepOpen ? ", kept open" : ""));
}

void WebConnection::onReadable()
{
    std::size_t readThisTurn = 0;
    while (readThisTurn < kMaxReadPerTurn) {
        const State before = m_state;
        if (before == State::Closed || before == State::Stalled) return;
        std::size_t want = m_environment.buffer.size();
        if (before == State::Body && m_environment.settings.stallUploadAfter) {
            // Not a byte beyond the stall point is taken from the socket, so the client's send blocks.
            const std::uint64_t left = *m_environment.settings.stallUploadAfter - m_body->received();
            want = static_cast<std::size_t>(std::min<std::uint64_t>(want, left));
            if (want == 0) { // takeBody stalls at the point itself; this only guards the read of 0 bytes
                stall();
                return;
            }
        }
        const ssize_t size = recv(m_fd, m_environment.buffer.data(), want, 0);
        if (size == 0) {
            onEndOfInput();
            return;
        }
        if (size < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                fail(std::string("read failed: ") + std::strerror(errno));
            break;
        }
        readThisTurn += static_cast<std::size_t>(size);
        m_lastInput = EventLoop::Clock::now();
        const std::string_view bytes(m_environment.buffer.data(), static_cast<std::size_t>(size));
        switch (before) {
        case State::Head:
            takeHead(bytes);
            break;
        case State::Body:
            takeBody(bytes);
            break;
        default:
            m_extraBytes += bytes.size();
            break; // nothing more is due after the request
        }
    }
    schedule();
}

void WebConnection::takeHead(std::string_view bytes)
{
    m_head += bytes;
    const std::optional<std::size_t> end = findHeadEnd(m_head);
    if (!end) {
        if (m_head.size() > kMaxHeadLength) {
            m_requestLine = quoted(m_head.substr(0, m_head.find('\n')), 60);
            m_answer = m_web.onBadHead("the request head is longer than " + std::to_string(kMaxHeadLength) +
                                       " bytes");
            logLine("protocol error: " + m_answer.protocolErrors.front());
            reply(*m_answer.reply);
        }
        return;
    }
    const std::string rest = m_head.substr(*end);
    m_head.resize(*end);
    onHead();
    if (m_state == State::Body)
        takeBody(rest);
    else
        m_extraBytes += rest.size();
}

void WebConnection::onHead()
{
    const ParsedHead parsed = parseHead(m_head);
    if (parsed.error.empty()) {
        m_requestLine = parsed.request.method + " " + parsed.request.target;
        const RequestContext context{ntohl(m_peer.sin_addr.s_addr), ntohs(m_local.sin_port)};
        m_answer = m_web.onRequest(parsed.request, m_head, context);
    } else {
        m_requestLine = quoted(m_head.substr(0, m_head.find('\n')), 60);
        m_answer = m_web.onBadHead(parsed.error);
    }
    for (const std::string& error : m_answer.protocolErrors) logLine("protocol error: " + error);
    if (m_answer.upload) {
        const UploadPlan& plan = *m_answer.upload;
        m_body.emplace(plan.form, plan.boundary, plan.contentLength);
        m_state = State::Body;
        if (!m_answer.closeEarly && !m_environment.storeDir.empty()) {
            m_partPath = std::filesystem::path(m_environment.storeDir) /
                         (".web-upload-" + std::to_string(m_number) + ".part");
            m_part.open(m_partPath, std::ios::binary | std::ios::trunc);
            if (!m_part) logLine("web: cannot write " + m_partPath.string() + ": " + std::strerror(errno));
        }
        if (plan.sendContinue) send(kContinue);
        if (m_environment.settings.stallUploadAfter == 0u) stall();
        return;
    }
    if (m_answer.closeEarly) {
        logRequest("no reply, closed");
        linger();
        return;
    }
    logRequest(m_answer.reply->status);
    reply(*m_answer.reply);
}

void WebConnection::takeBody(std::string_view bytes)
{
    const std::optional<std::uint64_t> stallAt = m_environment.settings.stallUploadAfter;
    if (stallAt)
        bytes = bytes.substr(0, static_cast<std::size_t>(
                                    std::min<std::uint64_t>(bytes.size(), *stallAt - m_body->received())));
    std::string content;
    m_body->take(bytes, content);
    store(content);
    for (const std::string& error : m_body->takeErrors()) logLine("protocol error: " + error);
    if (stallAt && m_body->received() >= *stallAt)
        stall();
    else if (m_body->complete())
        finishUpload();
}

void WebConnection::store(const std::string& content)
{
    m_stored += content.size();
    if (m_part.is_open()) m_part.write(content.data(), static_cast<std::streamsize>(content.size()));
}

void WebConnection::stall()
{
    m_state = State::Stalled;
    m_environment.loop.unwatch(m_fd);
    logLine("web: upload from " + peerText() + " stalled after " + std::to_string(m_body->received()) +
            " body bytes: nothing more is read");
}

void WebConnection::finishUpload()
{
    std::string content;
    const std::vector<std::string> errors = m_body->finish(content);
    store(content);
    for (const std::string& error : errors) logLine("protocol error: " + error);
    if (m_answer.closeEarly) {
        logRequest("no reply, closed");
        linger();
        return;
    }
    if (!m_partPath.empty()) {
        m_part.close();
        const bool written = !m_part.fail();
        const std::filesystem::path part = std::exchange(m_partPath, {});
        const std::filesystem::path path = std::filesystem::path(m_environment.storeDir) /
                                           ("upload-" + std::to_string(++m_environment.storedCount) + ".bin");
        std::error_code error;
        if (written) std::filesystem::rename(part, path, error);
        if (!written || error) {
            logLine("web: cannot store " + path.string() + ": " +
                    (written ? error.message() : "write failed"));
            std::filesystem::remove(part, error);
        } else {
            logLine("web: stored " + std::to_string(m_stored) + " bytes in " + path.string());
        }
    } else if (m_environment.storeDir.empty()) {
        logLine("web: " + std::to_string(m_stored) + " bytes of upload not stored (no --store)");
    }
    const WebReply verdict = m_web.verdict();
    logRequest(verdict.status);
    reply(verdict);
}

void WebConnection::reply(const WebReply& reply)
{
    m_state = State::Replying;
    m_replyQueued = true;
    send(reply.bytes);
}

void WebConnection::send(std::string_view bytes)
{
    m_out += bytes;
    flush();
}

void WebConnection::flush()
{
    while (m_outSent < m_out.size()) {
        const ssize_t sent = ::send(m_fd, m_out.data() + m_outSent, m_out.size() - m_outSent, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                m_environment.loop.watchWritable(m_fd, [this] { onWritable(); });
                return;
            }
            fail(std::string("reply not sent: ") + std::strerror(errno));
            return;
        }
        m_outSent += static_cast<std::size_t>(sent);
    }
    m_out.clear();
    m_outSent = 0;
    m_environment.loop.unwatchWritable(m_fd);
    if (!m_replyQueued) return; // only the 100 Continue went out
    if (m_answer.keepOpen) {
        m_state = State::KeepOpen;
        if (m_inputEnded) close(); // the client has gone: nothing is left to keep open
        return;
    }
    linger();
}

void WebConnection::onWritable()
{
    if (m_state != State::Closed) flush();
}

void WebConnection::linger()
{
    // The write side is shut first, so the client reading to the end sees it; what it still sends is read,
    // as a close with unread bytes would reset the connection and could take the reply with it.
    shutdown(m_fd, SHUT_WR);
    m_state = State::Lingering;
    m_lingerStart = EventLoop::Clock::now();
    if (m_inputEnded)
        close();
    else
        schedule();
}

void WebConnection::onEndOfInput()
{
    m_inputEnded = true;
    m_environment.loop.unwatchReadable(m_fd);
    switch (m_state) {
    case State::Head:
        if (m_head.empty()) {
            logLine("web: connection from " + peerText() + " closed without a request");
            close();
        } else if (m_head.ends_with("\r\n\r\n")) {
            onHead(); // all the client sends: the last blank line ends the head
        } else {
            logLine("protocol error: the client closed its side after " + std::to_string(m_head.size()) +
                    " bytes of a request head: " + quoted(m_head, 60));
            close();
        }
        break;
    case State::Body:
        finishUpload();
        break; // the reply may still go out on the open half
    case State::Replying:
        break;
    default:
        close();
        break;
    }
}

void WebConnection::close()
{
    if (m_state == State::Closed) return;
    m_state = State::Closed;
    if (m_extraBytes > 0)
        logLine("protocol error: the client sent " + std::to_string(m_extraBytes) +
                " bytes after its request");
    m_environment.loop.unwatch(m_fd);
    ::close(m_fd);
    m_fd = -1;
    m_environment.onClosed(this);
}

void WebConnection::fail(const std::string& why)
{
    logLine("web: connection from " + peerText() + ": " + why);
    close();
}

std::optional<EventLoop::Clock::time_point> WebConnection::deadline() const
{
    switch (m_state) {
    case State::Head:
        // A head without headers ends at its blank line only once the client sends no more.
        if (m_head.ends_with("\r\n\r\n")) return m_lastInput + kQuietTime;
        return std::nullopt;
    case State::Body:
        return m_lastInput + kQuietTime;
    case State::Lingering:
        return m_lingerStart + kLingerTime;
    default:
        return std::nullopt;
    }
}

void WebConnection::schedule()
{
    const std::optional<EventLoop::Clock::time_point> due = deadline();
    if (!due || m_timerArmed) return; // an armed timer looks at the deadline again when it fires
    m_timerArmed = true;
    const auto delay = std::chrono::ceil<std::chrono::milliseconds>(*due - EventLoop::Clock::now());
    m_environment.loop.after(std::max(delay, std::chrono::milliseconds{0}), [weak = weak_from_this()] {
        if (const std::shared_ptr<WebConnection> self = weak.lock()) self->onTimer();
    });
}

void WebConnection::onTimer()
{
    m_timerArmed = false;
    const std::optional<EventLoop::Clock::time_point> due = deadline();
    if (!due) return;
    if (EventLoop::Clock::now() < *due) {
        schedule();
        return;
    }
    switch (m_state) {
    case State::Head:
        onHead();
        break;
    case State::Body:
        finishUpload();
        break;
    case State::Lingering:
        close();
        break;
    default:
        break;
    }
    schedule();
}

} // namespace routersim
