// tools/routersim/HttpRequest.h: where the head of an HTTP/1.x request ends and what it says. Pure.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace routersim {

// The longest request head a device takes; a longer one is answered 400.
constexpr std::size_t kMaxHeadLength = 16384;

struct HttpRequest {
    std::string method;
    std::string target;
    std::string version;
    // Lines between the request line and the first header line. fwupgrade's login puts one there: an
    // empty line, or "rd=begin" on its retry.
    std::vector<std::string> prelude;
    std::vector<std::pair<std::string, std::string>> headers; // value without its leading blanks

    // The value of the first header of this name (case-insensitive), if there is one.
    const std::string* header(std::string_view name) const;
};

// The start of the download of a stretch of the data image: "GET /config.bin?O=OFFSET&L=LENGTH HTTP/1.1".
constexpr std::string_view kConfigRequestStart = "GET /config.bin";

// The length of the head in bytes, its last blank line included, once it has come whole; nullopt while
// more is due. The head ends at the first blank line after a header line: fwupgrade's login sends an
// empty line straight after its request line and its headers after that, so the first blank line
// of a request need not be its end. A request of the data image (kConfigRequestStart) without header lines
// ends at the blank line right after its request line.
std::optional<std::size_t> findHeadEnd(std::string_view bytes);

struct ParsedHead {
    HttpRequest request;
    std::string error; // empty: the head was good
};

// Reads a head; a request line of fewer than three parts, a version other than HTTP/1.x or a line in the
// headers that is no header is an error. The request target is everything between the method and the
// version, so a password typed with blanks stays whole.
ParsedHead parseHead(std::string_view head);

} // namespace routersim
