// tools/routersim/RequestShapes.cpp: the request texts, and the line-by-line comparison.
#include "tools/routersim/RequestShapes.h"

#include <vector>

namespace routersim {

namespace {

constexpr std::string_view kFormHeaders =
    "Accept-Language: zh-tw\r\n"
    "Content-Type: application/x-www-form-urlencoded\r\n"
    "Accept-Encoding: gzip, deflate\r\n"
    "User-Agent: Mozilla/4.0 (Compatible; MSIE 5.0; Windows 98; DigExt)\r\n"
    "Connection: Keep-Alive\r\n"
    "\r\n";

// Lines split after each LF, each keeping its line end, so a lost CR shows as a difference.
std::vector<std::string_view> linesOf(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::size_t length = end == std::string_view::npos ? text.size() : end + 1;
        lines.push_back(text.substr(0, length));
        text.remove_prefix(length);
    }
    return lines;
}

} // namespace

std::string loginRequest(std::string_view password, std::string_view extraLine)
{
    return "GET /cgi-bin/logi?rc=@&PSW=" + std::string(password) + "&rd=menu HTTP/1.1\r\n" +
           std::string(extraLine) + "\r\n" + std::string(kFormHeaders);
}

std::string indexRequest()
{
    return "GET / HTTP/1.1\r\n" + std::string(kFormHeaders);
}

std::string basicRequest(std::string_view host, std::string_view authorization)
{
    return "GET / HTTP/1.1\r\n"
           "Accept: image/gif, image/x-xbitmap, image/jpeg,image/pjpeg, */*\r\n"
           "Accept-Language: zh-tw\r\n"
           "Accept-Encoding: gzip, deflate\r\n"
           "User-Agent: Mozilla/4.0 (Compatible; MSIE 6.0; Windows NT; 5.1)\r\n"
           "Host: " +
           std::string(host) +
           "\r\n"
           "Connection: Keep-Alive\r\n"
           "Authorization: " +
           std::string(authorization) + "\r\n\r\n";
}

std::string uploadHead(std::string_view contentLength)
{
    return "POST /upg HTTP/1.0\r\n"
           "User-Agent: Tesmora_Agent\r\n"
           "Connection: Keep-Alive\r\n"
           "Content-Type: multipart/form-data: boundary=" +
           std::string(kUploadBoundary) + "\r\nContent-Length: " + std::string(contentLength) + "\r\n\r\n";
}

std::string uploadPartHeader()
{
    return std::string(kUploadBoundary) +
           "\r\n"
           "Content-Disposition: from-data; name=\"FN\"; filename=\"upgrade.bin\" \r\n"
           "Content-Type: application/octet-stream \r\n"
           "\r\n";
}

std::optional<std::string> firstDifference(std::string_view actual, std::string_view expected)
{
    if (actual == expected) return std::nullopt;
    const std::vector<std::string_view> got = linesOf(actual);
    const std::vector<std::string_view> want = linesOf(expected);
    for (std::size_t i = 0;; ++i) {
        const std::string line = "line " + std::to_string(i + 1);
        if (i >= got.size()) return line + " is missing, want " + quoted(want[i]);
        if (i >= want.size()) return line + " " + quoted(got[i]) + " is one too many";
        if (got[i] != want[i]) return line + " is " + quoted(got[i]) + ", want " + quoted(want[i]);
    }
}

std::string quoted(std::string_view text, std::size_t limit)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size() && i < limit; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '"' || c == '\\')
            out += std::string("\\") + static_cast<char>(c);
        else if (c < 0x20 || c >= 0x7F)
            out += std::string("\\x") + kDigits[c >> 4] + kDigits[c & 0xF];
        else
            out += static_cast<char>(c);
    }
    if (text.size() > limit) out += "...";
    return out + "\"";
}

} // namespace routersim
