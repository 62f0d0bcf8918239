#include "tftp/TftpSender.h"

namespace tftp {
namespace {

std::uint16_t bigEndian16(std::span<const std::byte> bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(std::to_integer<unsigned>(bytes[at]) << 8 |
                                      std::to_integer<unsigned>(bytes[at + 1]));
}

std::vector<std::byte> request(std::uint16_t opcode, std::string_view name, std::string_view mode)
{
    std::vector<std::byte> out{std::byte{0}, static_cast<std::byte>(opcode)};
    for (const char c : name) out.push_back(static_cast<std::byte>(c));
    out.push_back(std::byte{0});
    for (const char c : mode) out.push_back(static_cast<std::byte>(c));
    out.push_back(std::byte{0});
    return out;
}

} // namespace

std::vector<std::byte> writeRequest(std::string_view name, std::string_view mode)
{
    return request(kOpWrite, name, mode);
}

std::vector<std::byte> readRequest(std::string_view name, std::string_view mode)
{
    return request(kOpRead, name, mode);
}

void putDataHeader(std::span<std::byte, 4> header, std::uint16_t block)
{
    header[0] = std::byte{0};
    header[1] = static_cast<std::byte>(kOpData);
    header[2] = static_cast<std::byte>(block >> 8);
    header[3] = static_cast<std::byte>(block & 0xFF);
}

bool TftpSender::fits(std::int64_t fileLength)
{
    // Full blocks plus the last one, which may be empty.
    return fileLength >= 0 && fileLength / kBlockSize + 1 < 65535;
}

void TftpSender::start(std::int64_t fileLength)
{
    m_fullBlocks = static_cast<std::uint32_t>(fileLength / kBlockSize);
    m_lastBlockSize = static_cast<std::uint32_t>(fileLength % kBlockSize);
    m_nextBlock = 1;
    m_lastAcknowledged = 0;
    m_started = true;
}

std::optional<Action> TftpSender::onDatagram(std::span<const std::byte> datagram)
{
    if (datagram.size() < 2) return std::nullopt;
    const std::uint16_t opcode = bigEndian16(datagram, 0);
    if (opcode == kOpError) return PeerError{}; // from anyone, at any time
    if (!m_started || opcode != kOpAck || datagram.size() < 4) return std::nullopt;
    const std::uint32_t acked = bigEndian16(datagram, 2);
    if (acked + 1 != m_nextBlock) return std::nullopt; // stale or repeated: dropped, nothing resent
    m_lastAcknowledged = static_cast<std::uint16_t>(acked);
    if (acked > m_fullBlocks) {
        m_started = false;
        return FileDone{};
    }
    const std::uint32_t size = acked < m_fullBlocks ? kBlockSize : m_lastBlockSize;
    return SendBlock{m_nextBlock++, static_cast<std::int64_t>(acked) * kBlockSize, size};
}

} // namespace tftp
