// tools/routersim/HttpRequest.cpp: the head's end and its lines.
#include "tools/routersim/HttpRequest.h"

#include <algorithm>
#include <cctype>

namespace routersim {

namespace {

bool sameName(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

// Lines ended by CR LF; a bare LF also ends one, so a client that drops its CRs is still read (and then
// told apart by the exact comparison).
std::vector<std::string_view> headLines(std::string_view head)
{
    std::vector<std::string_view> lines;
    while (!head.empty()) {
        const std::size_t end = head.find('\n');
        if (end == std::string_view::npos) break;
        std::string_view line = head.substr(0, end);
        if (line.ends_with('\r')) line.remove_suffix(1);
        lines.push_back(line);
        head.remove_prefix(end + 1);
    }
    return lines;
}

} // namespace

const std::string* HttpRequest::header(std::string_view name) const
{
    for (const auto& [key, value] : headers) {
        if (sameName(key, name)) return &value;
    }
    return nullptr;
}

std::optional<std::size_t> findHeadEnd(std::string_view bytes)
{
    std::size_t start = bytes.find('\n');
    if (start == std::string_view::npos) return std::nullopt;
    ++start; // past the request line
    // The download of the data image carries no header lines: its first blank line ends it.
    if (bytes.starts_with(kConfigRequestStart)) {
        const std::string_view next = bytes.substr(start);
        if (next.starts_with("\r\n")) return start + 2;
        if (next.starts_with("\n")) return start + 1;
    }
    bool sawHeader = false;
    while (true) {
        const std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) return std::nullopt;
        std::string_view line = bytes.substr(start, end - start);
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (line.empty() && sawHeader) return end + 1;
        if (line.find(':') != std::string_view::npos) sawHeader = true;
        start = end + 1;
    }
}

ParsedHead parseHead(std::string_view head)
{
    ParsedHead parsed;
    HttpRequest& request = parsed.request;
    const std::vector<std::string_view> lines = headLines(head);
    if (lines.empty()) {
        parsed.error = "the request has no request line";
        return parsed;
    }
    const std::string_view requestLine = lines[0];
    const std::size_t first = requestLine.find(' ');
    const std::size_t last = requestLine.rfind(' ');
    if (first == std::string_view::npos || first == last || first == 0 || last + 1 == requestLine.size()) {
        parsed.error = "the request line is not METHOD TARGET VERSION";
        return parsed;
    }
    request.method = requestLine.substr(0, first);
    request.target = requestLine.substr(first + 1, last - first - 1);
    request.version = requestLine.substr(last + 1);
    if (request.version != "HTTP/1.0" && request.version != "HTTP/1.1") {
        parsed.error = "the request line's version is '" + request.version + "', not HTTP/1.0 or HTTP/1.1";
        return parsed;
    }
    std::size_t i = 1;
    for (; i < lines.size() && lines[i].find(':') == std::string_view::npos; ++i) {
        request.prelude.emplace_back(lines[i]);
    }
    for (; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (line.empty()) break; // the blank line that ends the head
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) {
            parsed.error = "line " + std::to_string(i + 1) + " is no header: '" + std::string(line) + "'";
            return parsed;
        }
        std::string_view value = line.substr(colon + 1);
        value.remove_prefix(std::min(value.find_first_not_of(" \t"), value.size()));
        request.headers.emplace_back(std::string(line.substr(0, colon)), std::string(value));
    }
    // A prelude of blank lines alone, with no header after it: the blank line was the end of the head.
    if (request.headers.empty() && std::all_of(request.prelude.begin(), request.prelude.end(),
                                               [](const std::string& l) { return l.empty(); }))
        request.prelude.clear();
    return parsed;
}

} // namespace routersim
