#include "web/PasswordCheck.h"

#include "web/Httptool.h"
#include "web/ReplyScan.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr int kReplyBuffer = 35160;
constexpr std::uint16_t kHttpAfterFtp = 133, kHttp = 2, kFtp = 3;
constexpr const char* kHeaderLines =
    "Accept-Language: zh-tw\r\nContent-Type: application/x-www-form-urlencoded\r\n"
    "Accept-Encoding: gzip, deflate\r\n"
    "User-Agent: Mozilla/4.0 (Compatible; MSIE 5.0; Windows 98; DigExt)\r\n"
    "Connection: Keep-Alive\r\n\r\n";
// The login query's field: the password as typed takes at most this many characters.
constexpr std::size_t kMaxPassword = 1006;

enum class Exchange { Done, SendFailed, ReceiveFailed };

// One request on a fresh connection and its whole reply, the device closing the connection after it.
struct OneExchange {
    Exchange outcome = Exchange::Done;
    std::string resultText;
};

OneExchange exchange(const std::string& request, const std::string& address, std::uint16_t port,
                     std::vector<char>& reply, fw::Log& log, const char* sentLine)
{
    SendHTTP http;
    if (http.SendRequest(request.data(), static_cast<std::uint16_t>(request.size()), address, port) < 0)
        return {Exchange::SendFailed, http.resultText};
    log.addLine(sentLine);
    std::string from;
    std::uint16_t fromPort = 0;
    if (http.ReceiveReply(reply.data(), static_cast<int>(reply.size()), from, fromPort) < 0)
        return {Exchange::ReceiveFailed, http.resultText};
    return {};
}

bool has(const std::vector<char>& reply, std::string_view text)
{
    return std::string_view{reply.data(), ::strnlen(reply.data(), reply.size())}.find(text) !=
           std::string_view::npos;
}

std::string_view textOf(const std::vector<char>& reply)
{
    return {reply.data(), ::strnlen(reply.data(), reply.size())};
}

} // namespace

std::string loginRequest(const std::string& password, std::string_view extraLine)
{
    const std::string query = "rc=@&PSW=" + password.substr(0, kMaxPassword) + "&rd=menu";
    return "GET /cgi-bin/logi?" + query + " HTTP/1.1\r\n" + std::string{extraLine} + "\r\n" + kHeaderLines;
}

std::string indexRequest()
{
    return std::string{"GET / HTTP/1.1\r\n"} + kHeaderLines;
}

std::string basicAuthRequest(const std::string& address, const std::string& credentialsBase64)
{
    return "GET / HTTP/1.1\r\nAccept: image/gif, image/x-xbitmap, image/jpeg,image/pjpeg, */*\r\n"
           "Accept-Language: zh-tw\r\nAccept-Encoding: gzip, deflate\r\n"
           "User-Agent: Mozilla/4.0 (Compatible; MSIE 6.0; Windows NT; 5.1)\r\nHost: " +
           address + "\r\nConnection: Keep-Alive\r\nAuthorization: Basic " + credentialsBase64 + "\r\n\r\n";
}

std::string EncodeBase64(std::string_view input)
{
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < input.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, input.size() - i);
        std::uint32_t group = 0;
        for (std::size_t k = 0; k < 3; ++k)
            group = (group << 8) | (k < n ? static_cast<unsigned char>(input[i + k]) : 0u);
        for (std::size_t k = 0; k < 4; ++k) out += k <= n ? kAlphabet[(group >> (18 - 6 * k)) & 0x3F] : '=';
    }
    return out;
}

int CheckPassword(const std::string& password, const std::string& address, LoginWindow& window)
{
    fw::Log& log = window.log;
    std::uint16_t port = window.webPort;
    std::string extraLine;
    bool alert = false;
    int redirects = 0;
    std::vector<char> reply(kReplyBuffer, '\0');

    // The login, repeated on a redirect's port and once more after a missing login program.
    for (bool loggedIn = false; !loggedIn;) {
        const std::string request = loginRequest(password, extraLine);
        for (;;) {
            const OneExchange login = exchange(request, address, port, reply, log, "send login PKT success");
            if (login.outcome == Exchange::SendFailed) {
                log.addLine("send login PKT error");
                log.addLine(login.resultText);
                return kLoginSendError;
            }
            if (login.outcome == Exchange::ReceiveFailed) {
                log.addLine("receive response error 0 in send login PKT");
                log.addLine(login.resultText);
                return kLoginReceiveError;
            }
            if (has(reply, " 200 OK") || !has(reply, "301 ")) break;
            const std::optional<std::string> portText = redirectPortText(textOf(reply));
            if (!portText) break; // no port given: the index page on this port decides
            const std::optional<std::uint16_t> next = portNumber(*portText);
            if (!next) {
                log.addLine("Invalid login port number : " + *portText);
                return kLoginBadPort;
            }
            if (++redirects > kMaxRedirects) {
                log.addLine("The device redirected the login more than " + std::to_string(kMaxRedirects) +
                            " times; giving up at port : " + *portText);
                return kLoginBadPort;
            }
            port = *next;
            log.addLine("Resend login pkt in port : " + *portText);
        }
        if (has(reply, " 200 OK")) {
            alert = has(reply, "alert");
            loggedIn = true;
        } else if (has(reply, "301 ")) {
            loggedIn = true;
        } else if (has(reply, " 400 ")) {
            window.dialogs.messageBox("error 01", "File Error", fw::BoxButtons::OkCancel);
            log.addLine("Bad request in send login");
            loggedIn = true;
        } else if (has(reply, " 404 ")) {
            if (!extraLine.empty()) {
                log.addLine("NO CGI Found in send login");
                return kLoginNoCgi;
            }
            log.addLine("NO CGI Found, and test again");
            extraLine = "rd=begin";
        } else if (has(reply, " 503 ")) {
            log.addLine("Upgrade Not Complete at last time in send login");
            loggedIn = true;
        } else {
            log.addLine("Receive login PKT error in send login");
            return kLoginReceiveError;
        }
    }

    const OneExchange index = exchange(indexRequest(), address, port, reply, log, "send index PKT success");
    if (index.outcome == Exchange::SendFailed) {
        log.addLine("send index PKT error");
        log.addLine(index.resultText);
        return kLoginSendError;
    }
    if (index.outcome == Exchange::ReceiveFailed) {
        log.addLine("receive response error 1 in send index");
        log.addLine(index.resultText);
        return kLoginReceiveError;
    }
    if (has(reply, " 200 OK")) {
        // judged by the tag below
    } else if (has(reply, "301 ")) {
        log.addLine("unexpect port number error in send get_index PKT");
        return kLoginBadPort;
    } else if (has(reply, " 400 ")) {
        window.dialogs.messageBox("error 02", "File Error", fw::BoxButtons::OkCancel);
        log.addLine("Bad request in send get index");
        return kLoginBadRequest;
    } else if (has(reply, " 404 ")) {
        log.addLine("NO CGI Found in send get index");
        return kLoginNoCgi;
    } else if (has(reply, " 503 ")) {
        log.addLine("Upgrade Not Complete at last time in send get index");
    } else if (has(reply, " 401 ")) {
        log.addLine("Peer ask for win-authentication");
        return kLoginAsksAuth;
    } else {
        log.addLine("Receive login PKT error in send get index");
        return kLoginReceiveError;
    }

    if (const std::optional<std::string> code = resultTagCode(textOf(reply))) {
        if (*code == "0003") {
            log.addLine("Login password error in New version");
            return kLoginRejected;
        }
        if (*code == "8003") {
            log.addLine("Login password correct in New version");
            return port;
        }
        log.addLine("unknow error code : " + *code);
        return kLoginReceiveError;
    }
    // An older device without the tag: FTP is its method, unless FTP has just failed on it.
    if (window.upgradeMethod == kHttpAfterFtp) {
        log.addLine("FTP Mode upgrade fail last time...");
        log.addLine("Try to use HTTP Mode to upgrade ");
        window.upgradeMethod = kHttp;
    } else {
        window.upgradeMethod = kFtp;
    }
    log.addLine("Old version detect");
    if (alert) {
        log.addLine("Login password error in Old version");
        return kLoginRejected;
    }
    log.addLine("Login password correct in Old version");
    return port;
}

int CheckBasicAuth(char (&userID)[20], std::string_view userText, const std::string& password,
                   const std::string& address, LoginWindow& window)
{
    fw::Log& log = window.log;
    const std::size_t n = std::min(userText.size(), sizeof userID - 1);
    std::memcpy(userID, userText.data(), n);
    userID[n] = '\0';
    const std::string credentials = std::string{userID} + ":" + password;
    const std::string request = basicAuthRequest(address, EncodeBase64(credentials));

    std::vector<char> reply(kReplyBuffer, '\0');
    const OneExchange login =
        exchange(request, address, window.webPort, reply, log, "send win_auth login PKT success");
    if (login.outcome == Exchange::SendFailed) {
        log.addLine("send win_auth login PKT error");
        log.addLine(login.resultText);
        return kLoginSendError;
    }
    if (login.outcome == Exchange::ReceiveFailed) {
        log.addLine("receive response error 2 in send win_auth login PKT");
        log.addLine(login.resultText);
        return kLoginReceiveError;
    }
    if (has(reply, " 200 OK")) return window.webPort;
    if (has(reply, "401 ")) {
        log.addLine("Username or Password error in win-auth login");
        return kLoginRejected;
    }
    log.addLine("Receive win-auth login PKT error");
    return kLoginReceiveError;
}
