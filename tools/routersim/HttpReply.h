// tools/routersim/HttpReply.h: the framing of a device's HTTP replies. Pure.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace routersim {

// "Not Found" for 404; "Status" for a status without a phrase of its own.
std::string_view reasonPhrase(int status);

// "HTTP/1.1 STATUS REASON", the extra headers, then Content-Type, Content-Length and Connection: close,
// and the body. No Date or other header that holds a colon before a digit: the client reads a redirect's
// port from the first such colon of the reply.
std::string httpReply(int status, const std::vector<std::pair<std::string, std::string>>& headers,
                      std::string_view body);

} // namespace routersim
