// tools/routersim/WebInterface.h: the web interface of one device as its firmware answers fwupgrade: what
// each request gets and which login it remembers. Pure: requests go in, replies and the handling of an
// upload come out.
#pragma once

#include "tools/routersim/HttpRequest.h"
#include "tools/routersim/UploadBody.h"
#include "tools/routersim/WebSettings.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace routersim {

// The result tag of the index page and of the upload's verdict: "<!--CAS:" code "-->".
constexpr std::string_view kPasswordRight = "8003";
constexpr std::string_view kPasswordWrong = "0003";
// The client reads at most this many bytes of an upload's verdict.
constexpr std::size_t kMaxVerdictLength = 1463;

enum class RequestKind { Login, Index, Upload, Config, Other };

struct WebReply {
    std::string bytes;
    std::string status; // e.g. "200 OK", for the log
};

// The request is an upload whose body is read next.
struct UploadPlan {
    UploadBody::Form form = UploadBody::Form::Device;
    std::string boundary;
    std::uint64_t contentLength = 0;
    bool sendContinue = false; // the client waits for "100 Continue" before it sends the body
};

struct WebAnswer {
    RequestKind kind = RequestKind::Other;
    // None: the connection closes without a reply (--close-early), or an upload's verdict comes once its
    // body is in.
    std::optional<WebReply> reply;
    std::optional<UploadPlan> upload;
    bool closeEarly = false;
    bool keepOpen = false; // after the reply the connection stays open
    std::vector<std::string> protocolErrors;
    std::string note; // what the device made of the request, for the log
};

struct RequestContext {
    std::uint32_t client = 0;      // the client's address, host order: logins are remembered by it
    std::uint16_t port = kWebPort; // the port the request came to
};

class WebInterface {
public:
    // settings must outlive the interface; address is the device's, as the Host header and a redirect's
    // Location name it.
    WebInterface(const WebSettings& settings, std::string address, std::string module);

    // head is the request's bytes up to its end, for the comparison with what fwupgrade sends.
    WebAnswer onRequest(const HttpRequest& request, std::string_view head, RequestContext context);
    // A head that could not be read: 400.
    WebAnswer onBadHead(const std::string& error) const;
    // The upload's answer once its body came.
    WebReply verdict() const;

private:
    WebAnswer onLogin(const HttpRequest& request, std::string_view head, RequestContext context);
    WebAnswer onIndex(const HttpRequest& request, std::string_view head, RequestContext context) const;
    WebAnswer onUpload(const HttpRequest& request, std::string_view head) const;
    WebAnswer onConfig(const HttpRequest& request, std::string_view head) const;
    std::optional<std::uint16_t> redirectTarget(std::uint16_t port) const;

    const WebSettings& m_settings;
    std::string m_address;
    std::string m_module;
    std::map<std::uint32_t, bool> m_lastLogin; // client -> whether its last login had the right password
    bool m_served404 = false;
};

// The request of a stretch of the data image as fwupgrade sends it.
std::string configRequest(std::string_view offset, std::string_view length);

// The result tag as the pages carry it, e.g. "<!--CAS:8003-->".
std::string resultTag(std::string_view code);

} // namespace routersim
