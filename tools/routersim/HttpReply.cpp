// tools/routersim/HttpReply.cpp: status lines and headers.
#include "tools/routersim/HttpReply.h"

namespace routersim {

std::string_view reasonPhrase(int status)
{
    switch (status) {
    case 100:
        return "Continue";
    case 200:
        return "OK";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 411:
        return "Length Required";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

std::string httpReply(int status, const std::vector<std::pair<std::string, std::string>>& headers,
                      std::string_view body)
{
    std::string reply =
        "HTTP/1.1 " + std::to_string(status) + " " + std::string(reasonPhrase(status)) + "\r\n";
    for (const auto& [name, value] : headers) reply += name + ": " + value + "\r\n";
    reply += "Content-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
             "\r\nConnection: close\r\n\r\n";
    reply += body;
    return reply;
}

} // namespace routersim
