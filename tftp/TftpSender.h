#pragma once
// Lock-step TFTP write of one file: the engine knows the protocol and nothing else. Datagrams go in,
// what to send comes out; the driver owns the socket, the file and the log lines.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <variant>
#include <vector>

namespace tftp {

inline constexpr std::uint16_t kOpRead = 1, kOpWrite = 2, kOpData = 3, kOpAck = 4, kOpError = 5;
inline constexpr std::uint32_t kBlockSize = 512;
inline constexpr std::size_t kDatagramSize = 4 + kBlockSize;
inline constexpr std::uint16_t kPort = 69;

// 00 02, name, 00, mode, 00.
std::vector<std::byte> writeRequest(std::string_view name, std::string_view mode = "octet");
// 00 01, name, 00, mode, 00: the reboot request "R!" is one.
std::vector<std::byte> readRequest(std::string_view name, std::string_view mode = "octet");
// The DATA header of a block: 00 03 and the block number.
void putDataHeader(std::span<std::byte, 4> header, std::uint16_t block);

// Send `size` bytes of the file from `offset` as DATA block `number`.
struct SendBlock {
    std::uint16_t number;
    std::int64_t offset;
    std::uint32_t size;
    bool operator==(const SendBlock&) const = default;
};
struct FileDone { // the last block is acknowledged
    bool operator==(const FileDone&) const = default;
};
struct PeerError { // the device sent an ERROR
    bool operator==(const PeerError&) const = default;
};
using Action = std::variant<SendBlock, FileDone, PeerError>;

class TftpSender {
public:
    // A block number does not wrap: the acknowledgement of block 65,535 never matches, so a file
    // that needs 65,535 DATA blocks or more cannot be sent.
    static bool fits(std::int64_t fileLength);

    // The write request has gone out: block 1 is next once block 0 is acknowledged.
    void start(std::int64_t fileLength);
    // What the datagram asks for; nullopt when it is dropped (not an ACK of the last block sent).
    std::optional<Action> onDatagram(std::span<const std::byte> datagram);

    std::uint32_t fullBlocks() const { return m_fullBlocks; }
    std::uint32_t lastBlockSize() const { return m_lastBlockSize; }
    std::uint16_t nextBlock() const { return m_nextBlock; }
    // The block number the last usable ACK carried.
    std::uint16_t lastAcknowledged() const { return m_lastAcknowledged; }

private:
    std::uint32_t m_fullBlocks = 0;
    std::uint32_t m_lastBlockSize = 0;
    std::uint16_t m_nextBlock = 0;
    std::uint16_t m_lastAcknowledged = 0;
    bool m_started = false;
};

} // namespace tftp
