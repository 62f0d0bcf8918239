// tools/routersim/UploadBody.cpp: the part header's checks and the held-back end marker.
#include "tools/routersim/UploadBody.h"

#include "tools/routersim/RequestShapes.h"

#include <utility>

namespace routersim {

UploadBody::UploadBody(Form form, std::string boundary, std::uint64_t contentLength)
    : m_form{form}, m_boundary{std::move(boundary)}, m_contentLength{contentLength},
      m_marker{form == Form::Device ? std::string(kUploadEndMarker) : "\r\n--" + m_boundary + "--\r\n"}
{
}

void UploadBody::take(std::string_view bytes, std::string& content)
{
    m_received += bytes.size();
    if (m_state == State::PartHeader) {
        const std::size_t searchFrom = m_header.size() < 3 ? 0 : m_header.size() - 3;
        m_header += bytes;
        const std::size_t end = m_header.find("\r\n\r\n", searchFrom);
        if (end == std::string::npos && m_header.size() <= kMaxPartHeaderLength) return;
        std::string rest;
        if (end == std::string::npos) {
            m_errors.push_back("no end of the part header (a blank line) in the first " +
                               std::to_string(kMaxPartHeaderLength) + " body bytes");
            rest = std::move(m_header); // taken for content, as nothing tells where the file begins
            m_header.clear();
        } else {
            rest = m_header.substr(end + 4);
            m_header.resize(end + 4);
            checkPartHeader();
        }
        m_state = State::Content;
        takeContent(rest, content);
        return;
    }
    takeContent(bytes, content);
}

void UploadBody::takeContent(std::string_view bytes, std::string& content)
{
    if (m_tail.size() + bytes.size() <= m_marker.size()) {
        m_tail += bytes;
        return;
    }
    // Everything but the last marker-length bytes of tail + bytes is content.
    const std::size_t keep = m_marker.size();
    if (bytes.size() >= keep) {
        content += m_tail;
        content += bytes.substr(0, bytes.size() - keep);
        m_tail.assign(bytes.substr(bytes.size() - keep));
    } else {
        const std::size_t out = m_tail.size() + bytes.size() - keep;
        content.append(m_tail, 0, out);
        m_tail.erase(0, out);
        m_tail += bytes;
    }
}

void UploadBody::checkPartHeader()
{
    if (m_form == Form::Device) {
        if (const auto difference = firstDifference(m_header, uploadPartHeader()))
            m_errors.push_back("upload part header " + *difference);
        return;
    }
    const std::string boundaryLine = "--" + m_boundary + "\r\n";
    if (!m_header.starts_with(boundaryLine))
        m_errors.push_back("the body begins with " + quoted(m_header.substr(0, m_header.find('\n') + 1)) +
                           ", not the boundary line " + quoted(boundaryLine));
    const std::size_t disposition = m_header.find("Content-Disposition:");
    const std::size_t lineEnd = m_header.find("\r\n", disposition);
    if (disposition == std::string::npos ||
        m_header.substr(disposition, lineEnd - disposition).find("filename=") == std::string::npos)
        m_errors.push_back("the first part is no file: its header has no Content-Disposition with filename=");
}

bool UploadBody::complete() const
{
    return m_state == State::Content && m_received == m_contentLength && m_tail == m_marker;
}

std::vector<std::string> UploadBody::finish(std::string& content)
{
    if (m_state == State::PartHeader) {
        m_errors.push_back("the body ended inside its part header, after " + std::to_string(m_received) +
                           " bytes");
    } else if (m_tail != m_marker) {
        m_errors.push_back("the body does not end with the end marker " + quoted(m_marker) + " but with " +
                           quoted(m_tail));
        content += m_tail;
    }
    m_tail.clear();
    if (m_received != m_contentLength)
        m_errors.push_back("Content-Length is " + std::to_string(m_contentLength) + ", but " +
                           std::to_string(m_received) + " body bytes came");
    return takeErrors();
}

std::vector<std::string> UploadBody::takeErrors()
{
    return std::exchange(m_errors, {});
}

} // namespace routersim
