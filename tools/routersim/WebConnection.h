// tools/routersim/WebConnection.h: one TCP connection of a device's web interface, carried through on the
// event loop without blocking it: the request head, an upload's body streamed to the store, the reply, and
// the close or the faults that stand in for it.
#pragma once

#include "tools/routersim/EventLoop.h"
#include "tools/routersim/TcpListener.h"
#include "tools/routersim/UploadBody.h"
#include "tools/routersim/WebInterface.h"
#include "tools/routersim/WebSettings.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace routersim {

class WebConnection;

// What the connections of every web device share.
struct WebEnvironment {
    WebEnvironment(EventLoop& l, const WebSettings& s, std::string dir)
        : loop{l}, settings{s}, storeDir{std::move(dir)}
    {
    }

    EventLoop& loop;
    const WebSettings& settings;
    std::string storeDir;          // empty: uploads are read and dropped
    std::uint64_t storedCount = 0; // names upload-1.bin, upload-2.bin, ... in the order they are stored
    std::uint64_t connectionCount = 0;
    std::function<void(WebConnection*)> onClosed; // the owner lets go of it
    std::vector<char> buffer = std::vector<char>(64 * 1024);
};

class WebConnection : public std::enable_shared_from_this<WebConnection> {
public:
    WebConnection(WebEnvironment& environment, WebInterface& web, AcceptedConnection accepted);
    WebConnection(const WebConnection&) = delete;
    WebConnection& operator=(const WebConnection&) = delete;
    ~WebConnection(); // closes the socket, drops an upload's unfinished file

    void start();

private:
    enum class State {
        Head,      // reading the request head
        Body,      // reading an upload's body
        Replying,  // writing the reply
        Lingering, // the reply is out and the write side shut: waiting for the client to close
        KeepOpen,  // the reply is out and the connection stays open (a fault)
        Stalled,   // nothing more is read (a fault)
        Closed,
    };

    void onReadable();
    void onWritable();
    void onEndOfInput();
    void takeHead(std::string_view bytes);
    void onHead();
    void takeBody(std::string_view bytes);
    void store(const std::string& content);
    void finishUpload();
    void stall();
    void reply(const WebReply& reply);
    void send(std::string_view bytes);
    void flush();
    void linger();
    void close();
    void fail(const std::string& why); // logs why and closes
    std::optional<EventLoop::Clock::time_point> deadline() const;
    void schedule();
    void onTimer();
    void logRequest(const std::string& outcome);
    std::string peerText() const;

    WebEnvironment& m_environment;
    WebInterface& m_web;
    int m_fd;
    sockaddr_in m_peer;
    sockaddr_in m_local;
    std::uint64_t m_number;
    State m_state = State::Head;
    std::string m_head;
    std::string m_requestLine; // for the log
    WebAnswer m_answer;
    std::optional<UploadBody> m_body;
    std::filesystem::path m_partPath; // set while an upload's file is being written
    std::ofstream m_part;
    std::uint64_t m_stored = 0;
    std::string m_out;
    std::size_t m_outSent = 0;
    bool m_replyQueued = false;
    bool m_inputEnded = false;      // the client shut its side
    std::uint64_t m_extraBytes = 0; // sent after the request
    EventLoop::Clock::time_point m_lastInput;
    EventLoop::Clock::time_point m_lingerStart;
    bool m_timerArmed = false;
};

} // namespace routersim
