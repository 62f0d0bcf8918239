// tools/routersim/TftpBootLoader.h: the TFTP loader of a crashed device, which takes lock-step writes of
// files and the reboot request. A pure state machine: datagrams go in, the actions to carry out come out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace routersim {

constexpr std::size_t kTftpBlockSize = 512;

// Faults the loader plays on request, so that the program's handling of them can be tried. Block numbers
// count from 0, the ACK of the write request.
struct LoaderFaults {
    std::optional<std::uint32_t> refuseWrite;    // the write request with this number (from 1) gets an ERROR
    std::optional<std::string> refuseName;       // so does each write request of this file name
    std::optional<std::uint32_t> stopAfterBlock; // after the ACK of this block nothing is answered any more
    std::optional<std::uint32_t> dropAck;        // the ACK of this block is left out, once
};

// Who sent a datagram, host order.
struct Peer {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    bool operator==(const Peer&) const = default;
};

namespace loader {
struct OpenTransfer {
}; // a write request was taken: the replies of its transfer may go from a port of its own
struct SendAck {
    std::uint16_t block;
};
struct SendError {
    std::uint16_t code;
    std::string message;
};
struct StoreFile { // the last block came: the file is whole
    std::string name;
    std::span<const std::byte> bytes; // valid until the next datagram
};
struct Reboot {};
struct ProtocolError { // the sender broke the protocol
    std::string text;
};
struct Note { // what the loader did and why, for the log
    std::string text;
};
} // namespace loader

using LoaderAction = std::variant<loader::OpenTransfer, loader::SendAck, loader::SendError, loader::StoreFile,
                                  loader::Reboot, loader::ProtocolError, loader::Note>;

class TftpBootLoader {
public:
    enum class State { Idle, Receiving, Hung, Rebooting };

    explicit TftpBootLoader(LoaderFaults faults) : m_faults{std::move(faults)} {}
    // Replies go to from, in the order of the actions.
    std::vector<LoaderAction> onDatagram(std::span<const std::byte> datagram, Peer from);
    State state() const { return m_state; }

private:
    struct Finished { // the transfer that ended last, to tell data after its end from data never begun
        std::string name;
        Peer peer;
        std::uint16_t lastBlock;
        std::size_t lastSize;
    };

    void onRequest(std::uint16_t opcode, std::span<const std::byte> datagram, Peer from,
                   std::vector<LoaderAction>& actions);
    void onData(std::span<const std::byte> datagram, Peer from, std::vector<LoaderAction>& actions);
    void acknowledge(std::vector<LoaderAction>& actions);
    void abandon(std::vector<LoaderAction>& actions);

    LoaderFaults m_faults;
    State m_state = State::Idle;
    std::uint32_t m_writeRequests = 0;
    bool m_ackDropped = false;
    std::string m_name;
    Peer m_peer;
    std::vector<std::byte> m_data;
    std::uint32_t m_blocks = 0; // DATA blocks taken in this transfer, counted without wrapping
    std::uint16_t m_acked = 0;  // the block number last acknowledged, as on the wire
    std::optional<Finished> m_finished;
};

} // namespace routersim
