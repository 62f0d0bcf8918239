// tools/routersim/WebInterface.cpp: the device's answers to the login, the index page, Basic authorization
// and the upload, and the pages they carry.
#include "tools/routersim/WebInterface.h"

#include "tools/routersim/DataImage.h"
#include "tools/routersim/HttpReply.h"
#include "tools/routersim/RequestShapes.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace routersim {

namespace {

constexpr std::string_view kLoginPrefix = "/cgi-bin/logi?rc=@&PSW=";
constexpr std::string_view kLoginSuffix = "&rd=menu";

// Standard base64 with its padding; nullopt for anything else.
std::optional<std::string> decodeBase64(std::string_view text)
{
    static constexpr std::string_view kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    if (text.size() % 4 != 0) return std::nullopt;
    std::string out;
    for (std::size_t i = 0; i < text.size(); i += 4) {
        std::uint32_t group = 0;
        int padding = 0;
        for (std::size_t j = 0; j < 4; ++j) {
            const char c = text[i + j];
            std::size_t value = 0;
            if (c == '=' && i + 4 == text.size() && j >= 2) {
                ++padding;
            } else if (padding > 0 || (value = kAlphabet.find(c)) == std::string_view::npos) {
                return std::nullopt; // a letter after padding, or none of the alphabet
            }
            group = (group << 6) | static_cast<std::uint32_t>(value);
        }
        out += static_cast<char>(group >> 16);
        if (padding < 2) out += static_cast<char>((group >> 8) & 0xFF);
        if (padding < 1) out += static_cast<char>(group & 0xFF);
    }
    return out;
}

std::string page(std::string_view head, std::string_view body)
{
    return "<html><head>" + std::string(head) + "</head><body>" + std::string(body) + "</body></html>";
}

std::string alertScript(std::string_view text)
{
    return "<script>alert(\"" + std::string(text) + "\")</script>";
}

WebReply reply(int status, std::string_view body,
               std::vector<std::pair<std::string, std::string>> headers = {})
{
    return {httpReply(status, headers, body),
            std::to_string(status) + " " + std::string(reasonPhrase(status))};
}

WebReply statusPage(int status)
{
    const std::string text = std::to_string(status) + " " + std::string(reasonPhrase(status));
    return reply(status, page("<title>" + text + "</title>", text));
}

// A 200 OK of exactly kMaxVerdictLength + 1 bytes whose last bytes are the tag 8000, left unclosed: a
// client that reads one byte too many finds the tag whole, one that reads as much as it may finds "800".
WebReply longVerdict()
{
    const std::string tag = "<!--CAS:8000";
    const std::string filler = "<p>Writing the new firmware to flash.</p>\n";
    const std::size_t total = kMaxVerdictLength + 1;
    std::size_t bodyLength = 0;
    for (int round = 0; round < 3; ++round) { // the Content-Length's digits settle within two rounds
        const std::size_t framing = httpReply(200, {}, std::string(bodyLength, 'x')).size() - bodyLength;
        bodyLength = total - framing;
    }
    std::string body = "<html><body>";
    while (body.size() + filler.size() + tag.size() <= bodyLength) body += filler;
    body.append(bodyLength - tag.size() - body.size(), ' ');
    body += tag;
    return reply(200, body);
}

constexpr std::string_view kConfigPath = "/config.bin";

// The decimal digits of a query value, as a number; nullopt for anything else.
std::optional<std::uint64_t> decimal(std::string_view text)
{
    std::uint64_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return number;
}

} // namespace

std::string configRequest(std::string_view offset, std::string_view length)
{
    return "GET " + std::string(kConfigPath) + "?O=" + std::string(offset) + "&L=" + std::string(length) +
           " HTTP/1.1\r\n\r\n";
}

std::string resultTag(std::string_view code)
{
    return "<!--CAS:" + std::string(code) + "-->";
}

WebInterface::WebInterface(const WebSettings& settings, std::string address, std::string module)
    : m_settings{settings}, m_address{std::move(address)}, m_module{std::move(module)}
{
}

WebAnswer WebInterface::onRequest(const HttpRequest& request, std::string_view head, RequestContext context)
{
    if (request.target.starts_with("/cgi-bin/logi")) return onLogin(request, head, context);
    if (request.target == "/") return onIndex(request, head, context);
    if (request.target == "/upg" && request.method == "POST") return onUpload(request, head);
    if (request.method == "GET" &&
        (request.target == kConfigPath || request.target.starts_with(std::string(kConfigPath) + "?")))
        return onConfig(request, head);
    WebAnswer answer;
    const bool known = request.method == "GET" || request.method == "POST";
    answer.reply = statusPage(known ? 404 : 501);
    answer.note = known ? "no such page" : "method not served";
    return answer;
}

WebAnswer WebInterface::onBadHead(const std::string& error) const
{
    WebAnswer answer;
    answer.reply = statusPage(400);
    answer.protocolErrors.push_back(error);
    answer.note = "unreadable request";
    return answer;
}

std::optional<std::uint16_t> WebInterface::redirectTarget(std::uint16_t port) const
{
    const std::uint16_t first = m_settings.redirectPort.value_or(kDefaultRedirectPort);
    if (m_settings.redirectForever) {
        if (port == kWebPort) return first;
        const int next = (port - first + 1) % kRedirectRing; // the last port of the ring leads to the first
        return static_cast<std::uint16_t>(first + next);
    }
    if (m_settings.redirectPort && port == kWebPort) return m_settings.redirectPort;
    return std::nullopt;
}

WebAnswer WebInterface::onLogin(const HttpRequest& request, std::string_view head, RequestContext context)
{
    WebAnswer answer;
    answer.kind = RequestKind::Login;
    const std::string_view target = request.target;
    std::string password;
    if (target.starts_with(kLoginPrefix) && target.ends_with(kLoginSuffix) &&
        target.size() >= kLoginPrefix.size() + kLoginSuffix.size()) {
        password =
            target.substr(kLoginPrefix.size(), target.size() - kLoginPrefix.size() - kLoginSuffix.size());
    } else if (const std::size_t at = target.find("PSW="); at != std::string_view::npos) {
        const std::string_view rest = target.substr(at + 4);
        password = rest.substr(0, rest.find('&'));
    }
    const bool rdBegin = request.prelude.size() == 1 && request.prelude[0] == kRdBegin;
    if (const auto difference = firstDifference(head, loginRequest(password, rdBegin ? kRdBegin : "")))
        answer.protocolErrors.push_back("login request " + *difference);
    answer.keepOpen = m_settings.keepOpen.has(WebRequest::Login);
    if (m_settings.closeEarly.has(WebRequest::Login)) {
        answer.closeEarly = true;
        answer.note = "login, closed early";
        return answer;
    }
    if (const std::optional<std::uint16_t> to = redirectTarget(context.port)) {
        // The port ends its line: the client takes everything after the colon up to the CR as the port.
        answer.reply = reply(301, "", {{"Location", "http://" + m_address + ":" + std::to_string(*to)}});
        answer.note = "login, redirected to port " + std::to_string(*to);
        return answer;
    }
    if (m_settings.login404Once && !rdBegin && !m_served404) {
        m_served404 = true;
        answer.reply = statusPage(404);
        answer.note = "login, 404 once";
        return answer;
    }
    const bool right = password == m_settings.password;
    m_lastLogin[context.client] = right;
    answer.note = std::string("login, password ") + (right ? "right" : "wrong");
    const std::string refresh = "<meta http-equiv=\"refresh\" content=\"0; url=/\">";
    if (m_settings.kind == WebKind::Old && !right)
        answer.reply = reply(200, page(alertScript("The password is wrong."), m_module));
    else // a new device answers a wrong password alike: only its index page tells
        answer.reply = reply(200, page(refresh, m_module));
    return answer;
}

WebAnswer WebInterface::onIndex(const HttpRequest& request, std::string_view head,
                                RequestContext context) const
{
    WebAnswer answer;
    answer.kind = RequestKind::Index;
    const std::string* authorization = request.header("Authorization");
    const auto difference = authorization ? firstDifference(head, basicRequest(m_address, *authorization))
                                          : firstDifference(head, indexRequest());
    if (difference)
        answer.protocolErrors.push_back(std::string(authorization ? "authorization" : "index") + " request " +
                                        *difference);
    answer.keepOpen = m_settings.keepOpen.has(WebRequest::Index);
    if (m_settings.closeEarly.has(WebRequest::Index)) {
        answer.closeEarly = true;
        answer.note = "index, closed early";
        return answer;
    }
    const std::string title = "<title>" + m_module + "</title>";
    switch (m_settings.kind) {
    case WebKind::New: {
        const auto found = m_lastLogin.find(context.client);
        const bool right = found != m_lastLogin.end() && found->second;
        const std::string_view code = right ? kPasswordRight : kPasswordWrong;
        answer.reply = reply(200, page(title, m_module + resultTag(code)));
        answer.note = "index, tag " + std::string(code) +
                      (found == m_lastLogin.end() ? " (no login of this client)" : "");
        break;
    }
    case WebKind::Old:
        answer.reply = reply(200, page(title, m_module));
        answer.note = "index, no tag";
        break;
    case WebKind::Basic: {
        const std::vector<std::pair<std::string, std::string>> challenge{
            {"WWW-Authenticate", "Basic realm=\"" + m_module + "\""}};
        if (!authorization) {
            answer.reply = reply(401, page("", "401 Unauthorized"), challenge);
            answer.note = "index, Basic authorization asked for";
            break;
        }
        std::optional<std::string> credentials;
        if (authorization->starts_with("Basic ")) credentials = decodeBase64(authorization->substr(6));
        if (!credentials)
            answer.protocolErrors.push_back("Authorization " + quoted(*authorization) +
                                            " is not \"Basic \" and base64");
        const bool right = credentials == m_settings.user + ":" + m_settings.password;
        answer.reply =
            right ? reply(200, page(title, m_module)) : reply(401, page("", "401 Unauthorized"), challenge);
        answer.note = std::string("index, Basic authorization ") + (right ? "accepted" : "refused");
        break;
    }
    }
    return answer;
}

WebAnswer WebInterface::onUpload(const HttpRequest& request, std::string_view head) const
{
    WebAnswer answer;
    answer.kind = RequestKind::Upload;
    const std::string* lengthText = request.header("Content-Length");
    std::uint64_t length = 0;
    if (lengthText == nullptr) {
        answer.protocolErrors.push_back("upload without a Content-Length");
        answer.reply = statusPage(411);
        answer.note = "upload refused";
        return answer;
    }
    const auto [end, error] =
        std::from_chars(lengthText->data(), lengthText->data() + lengthText->size(), length);
    if (lengthText->empty() || error != std::errc{} || end != lengthText->data() + lengthText->size()) {
        answer.protocolErrors.push_back("upload Content-Length " + quoted(*lengthText) + " is not a number");
        answer.reply = statusPage(400);
        answer.note = "upload refused";
        return answer;
    }
    UploadPlan plan;
    plan.contentLength = length;
    const std::string* type = request.header("Content-Type");
    const std::string* agent = request.header("User-Agent");
    constexpr std::string_view kStandardType = "multipart/form-data; boundary=";
    if (type && type->starts_with(kStandardType) && type->size() > kStandardType.size() &&
        !(agent && *agent == "Tesmora_Agent")) {
        // A browser's or curl's upload, taken for comparison runs: read leniently.
        plan.form = UploadBody::Form::Standard;
        plan.boundary = type->substr(kStandardType.size());
        if (plan.boundary.size() >= 2 && plan.boundary.front() == '"' && plan.boundary.back() == '"')
            plan.boundary = plan.boundary.substr(1, plan.boundary.size() - 2);
    } else {
        plan.form = UploadBody::Form::Device;
        plan.boundary = kUploadBoundary;
        if (const auto difference = firstDifference(head, uploadHead(*lengthText)))
            answer.protocolErrors.push_back("upload request " + *difference);
    }
    const std::string* expect = request.header("Expect");
    plan.sendContinue = expect && *expect == "100-continue";
    answer.upload = plan;
    answer.closeEarly = m_settings.closeEarly.has(WebRequest::Upload);
    answer.keepOpen = m_settings.keepOpen.has(WebRequest::Upload);
    answer.note = plan.form == UploadBody::Form::Device ? "upload" : "upload, standard multipart";
    return answer;
}

WebAnswer WebInterface::onConfig(const HttpRequest& request, std::string_view head) const
{
    WebAnswer answer;
    answer.kind = RequestKind::Config;
    const std::size_t question = request.target.find('?');
    const std::string_view query = question == std::string::npos
                                       ? std::string_view{}
                                       : std::string_view(request.target).substr(question + 1);
    std::optional<std::string_view> offsetText;
    std::optional<std::string_view> lengthText;
    std::string bad;
    std::size_t start = 0;
    while (bad.empty() && start <= query.size() && !query.empty()) {
        const std::size_t end = std::min(query.find('&', start), query.size());
        const std::string_view field = query.substr(start, end - start);
        const std::size_t equals = field.find('=');
        const std::string_view key = field.substr(0, equals);
        const std::string_view value = equals == std::string_view::npos ? "" : field.substr(equals + 1);
        std::optional<std::string_view>* slot = key == "O" ? &offsetText : key == "L" ? &lengthText : nullptr;
        if (slot == nullptr || equals == std::string_view::npos)
            bad = "has the field " + quoted(field) + ", not O=OFFSET or L=LENGTH";
        else if (slot->has_value())
            bad = "gives " + std::string(key) + " twice";
        else
            *slot = value;
        start = end + 1;
    }
    if (bad.empty() && (!offsetText || !lengthText))
        bad = std::string("has no ") + (!offsetText ? "O" : "L") + "=";
    std::optional<std::uint64_t> offset;
    std::optional<std::uint64_t> length;
    if (bad.empty()) {
        offset = decimal(*offsetText);
        length = decimal(*lengthText);
        if (!offset || !length)
            bad = std::string(!offset ? "O=" + quoted(*offsetText) : "L=" + quoted(*lengthText)) +
                  " is not a decimal number from 0";
    }
    if (!bad.empty()) {
        answer.protocolErrors.push_back("data image request " + quoted(request.target) + " " + bad);
        answer.reply = statusPage(400);
        answer.note = "data image, bad query";
        return answer;
    }
    if (const auto difference = firstDifference(head, configRequest(*offsetText, *lengthText)))
        answer.protocolErrors.push_back("data image request " + *difference);
    const std::string_view stretch = imageStretch(m_settings.dataImage, *offset, *length);
    const std::string range = std::to_string(stretch.size()) + " bytes from " + std::to_string(*offset);
    switch (m_settings.configFault) {
    case ConfigFault::BadRequest:
        answer.reply = WebReply{"HTTP/1.1 400 Bad Request\r\n\r\n", "400 Bad Request"};
        answer.note = "data image, 400 as told";
        return answer;
    case ConfigFault::NotFound:
        answer.reply = statusPage(404);
        answer.note = "data image, 404 as told";
        return answer;
    case ConfigFault::NotOk:
        answer.reply = statusPage(500);
        answer.note = "data image, 500 as told";
        return answer;
    case ConfigFault::Cut:
    case ConfigFault::None:
        break;
    }
    const bool cut = m_settings.configFault == ConfigFault::Cut;
    std::string bytes = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                        std::to_string(stretch.size()) + "\r\n\r\n";
    bytes += cut ? stretch.substr(0, stretch.size() / 2) : stretch;
    answer.reply = WebReply{std::move(bytes), "200 OK"};
    answer.note = "data image, " + range +
                  (cut ? ", cut after " + std::to_string(stretch.size() / 2) + " bytes as told" : "");
    return answer;
}

WebReply WebInterface::verdict() const
{
    const Verdict& v = m_settings.verdict;
    switch (v.form) {
    case Verdict::Form::Tag:
        return reply(200, page("", "Upgrade" + resultTag(v.code)));
    case Verdict::Form::Plain:
        return reply(200, page("", "Upgrade done"));
    case Verdict::Form::Alert:
        return reply(200, page(alertScript(v.text), ""));
    case Verdict::Form::Status:
        return statusPage(v.status);
    case Verdict::Form::Long:
        return longVerdict();
    }
    return statusPage(500);
}

} // namespace routersim
