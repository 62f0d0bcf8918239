// tools/routersim/RequestShapes.h: the exact bytes of the requests fwupgrade's web client sends a device,
// and the comparison that names the first line where a request differs from them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace routersim {

// The boundary of the upload's Content-Type; the part's boundary line is the same text, without the two
// dashes a standard multipart body puts before it.
constexpr std::string_view kUploadBoundary = "-----------------123456789";
// The upload's body ends with this instead of a closing boundary line.
constexpr std::string_view kUploadEndMarker = "\r\n----\r\n";
constexpr std::string_view kRdBegin = "rd=begin";

// The login request; extraLine is empty, or "rd=begin" on the one retry after a 404.
std::string loginRequest(std::string_view password, std::string_view extraLine);
std::string indexRequest();
std::string basicRequest(std::string_view host, std::string_view authorization);
// The head of the upload, with the Content-Length as its text.
std::string uploadHead(std::string_view contentLength);
// The header of the upload's one part: 139 bytes, "from-data" and the trailing blanks included.
std::string uploadPartHeader();

// Empty when actual equals expected byte for byte; else where they part, by line (from 1), e.g.
// "line 3 is \"Accept-Language: en\", want \"Accept-Language: zh-tw\"".
std::optional<std::string> firstDifference(std::string_view actual, std::string_view expected);

// text with CR, LF, quotes and bytes outside printable ASCII escaped, quoted, cut after limit bytes.
std::string quoted(std::string_view text, std::size_t limit = 120);

} // namespace routersim
