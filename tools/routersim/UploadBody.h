// tools/routersim/UploadBody.h: the body of an upload as it streams in: the part header, the file content
// and the end marker, with every breach of them. Pure: bytes go in, content and error texts come out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace routersim {

// The longest part header looked through for its blank line.
constexpr std::size_t kMaxPartHeaderLength = 4096;

class UploadBody {
public:
    enum class Form {
        Device,   // fwupgrade's: the fixed 139-byte part header, the end marker "\r\n----\r\n"
        Standard, // a browser's or curl's: "--BOUNDARY" line, part headers, "\r\n--BOUNDARY--\r\n"
    };

    UploadBody(Form form, std::string boundary, std::uint64_t contentLength);

    // Takes the next bytes of the body and appends to content what is surely the file's: the last bytes
    // are held back until it is clear whether they are the end marker.
    void take(std::string_view bytes, std::string& content);
    // As many bytes came as Content-Length says, and they end with the end marker.
    bool complete() const;
    std::uint64_t received() const { return m_received; }
    std::uint64_t contentLength() const { return m_contentLength; }
    // No more bytes come: held-back bytes that are not the end marker go to content. Returns the breaches
    // not yet taken, the end's among them.
    std::vector<std::string> finish(std::string& content);
    // The breaches found so far (in the part header), each returned once.
    std::vector<std::string> takeErrors();

private:
    enum class State { PartHeader, Content };

    void checkPartHeader();
    void takeContent(std::string_view bytes, std::string& content);

    Form m_form;
    std::string m_boundary;
    std::uint64_t m_contentLength;
    std::string m_marker;
    State m_state = State::PartHeader;
    std::string m_header;
    std::string m_tail; // at most the marker's length of the latest bytes
    std::uint64_t m_received = 0;
    std::vector<std::string> m_errors;
};

} // namespace routersim
