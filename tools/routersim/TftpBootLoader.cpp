// tools/routersim/TftpBootLoader.cpp: checks each datagram of a write against lock-step TFTP and answers it.
#include "tools/routersim/TftpBootLoader.h"

#include <algorithm>
#include <cctype>

namespace routersim {

namespace {

constexpr std::uint16_t kOpReadRequest = 1;
constexpr std::uint16_t kOpWriteRequest = 2;
constexpr std::uint16_t kOpData = 3;
constexpr std::uint16_t kOpAck = 4;
constexpr std::uint16_t kOpError = 5;

constexpr std::uint16_t kErrorUndefined = 0;
constexpr std::uint16_t kErrorNotFound = 1;
constexpr std::uint16_t kErrorAccess = 2;
constexpr std::uint16_t kErrorIllegal = 4;
constexpr std::uint16_t kErrorUnknownTransfer = 5;

constexpr char kRebootName[] = "R!";

std::uint16_t bigEndian16(std::span<const std::byte> bytes, std::size_t offset)
{
    return static_cast<std::uint16_t>((static_cast<unsigned>(bytes[offset]) << 8) |
                                      static_cast<unsigned>(bytes[offset + 1]));
}

struct Request {
    std::string name;
    std::string mode;
};

// A request is opcode, name, 0, mode, 0, and nothing after it.
std::optional<Request> parseRequest(std::span<const std::byte> datagram)
{
    const auto zero = [&](std::size_t from) {
        return std::find(datagram.begin() + static_cast<std::ptrdiff_t>(from), datagram.end(), std::byte{0}) -
               datagram.begin();
    };
    const auto text = [&](std::size_t from, std::size_t to) {
        return std::string(reinterpret_cast<const char*>(datagram.data()) + from, to - from);
    };
    const auto nameEnd = static_cast<std::size_t>(zero(2));
    if (nameEnd >= datagram.size()) return std::nullopt;
    const auto modeEnd = static_cast<std::size_t>(zero(nameEnd + 1));
    if (modeEnd + 1 != datagram.size()) return std::nullopt;
    return Request{text(2, nameEnd), text(nameEnd + 1, modeEnd)};
}

bool isOctet(const std::string& mode)
{
    std::string lower = mode;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower == "octet"; // modes are case-insensitive
}

// The file goes into one folder under this name: no path, and no leading dot, which the store keeps for
// its files in the making.
bool isStorableName(const std::string& name)
{
    return !name.empty() && name.front() != '.' && name.find('/') == std::string::npos;
}

std::string blockText(std::uint32_t block)
{
    return "block " + std::to_string(block);
}

} // namespace

std::vector<LoaderAction> TftpBootLoader::onDatagram(std::span<const std::byte> datagram, Peer from)
{
    std::vector<LoaderAction> actions;
    if (m_state == State::Hung) {
        actions.push_back(loader::Note{"not answered: the loader hangs since " + blockText(m_acked)});
        return actions;
    }
    if (m_state == State::Rebooting) {
        actions.push_back(loader::Note{"not answered: the device reboots"});
        return actions;
    }
    if (datagram.size() < 2) {
        actions.push_back(loader::ProtocolError{"a datagram of " + std::to_string(datagram.size()) +
                                                " bytes has no opcode"});
        return actions;
    }
    const std::uint16_t opcode = bigEndian16(datagram, 0);
    switch (opcode) {
    case kOpReadRequest:
    case kOpWriteRequest:
        onRequest(opcode, datagram, from, actions);
        break;
    case kOpData:
        onData(datagram, from, actions);
        break;
    case kOpAck:
        actions.push_back(loader::ProtocolError{"an ACK came, but the loader sends ACKs and takes none"});
        break;
    case kOpError:
        actions.push_back(loader::Note{"the client sent an ERROR"});
        if (m_state == State::Receiving) abandon(actions);
        break;
    default:
        actions.push_back(loader::ProtocolError{"unknown opcode " + std::to_string(opcode)});
        actions.push_back(loader::SendError{kErrorIllegal, "illegal TFTP operation"});
    }
    return actions;
}

void TftpBootLoader::onRequest(std::uint16_t opcode, std::span<const std::byte> datagram, Peer from,
                               std::vector<LoaderAction>& actions)
{
    const char* kind = opcode == kOpWriteRequest ? "write request" : "read request";
    const std::optional<Request> request = parseRequest(datagram);
    if (!request) {
        actions.push_back(loader::ProtocolError{std::string(kind) + " is not opcode, name, 0, mode, 0"});
        actions.push_back(loader::SendError{kErrorIllegal, "malformed request"});
        return;
    }
    const std::string quoted = "'" + request->name + "'";
    if (!isOctet(request->mode)) {
        actions.push_back(loader::ProtocolError{std::string(kind) + " of " + quoted + " in mode '" +
                                                request->mode + "', not octet"});
        actions.push_back(loader::SendError{kErrorUndefined, "only octet mode is taken"});
        return;
    }
    if (m_state == State::Receiving) {
        // From a new socket it is a client starting over after a timeout; amid its own transfer, a breach.
        const std::string text = std::string(kind) + " of " + quoted + " while '" + m_name +
                                 "' is incomplete after " + blockText(m_acked);
        if (from == m_peer)
            actions.push_back(loader::ProtocolError{text});
        else
            actions.push_back(loader::Note{text + ", from another sender"});
        abandon(actions);
    }
    if (opcode == kOpReadRequest) {
        if (request->name != kRebootName) {
            actions.push_back(
                loader::ProtocolError{"read request of " + quoted + ": the loader serves no file"});
            actions.push_back(loader::SendError{kErrorNotFound, "file not found"});
            return;
        }
        m_state = State::Rebooting;
        actions.push_back(loader::Reboot{});
        return;
    }
    ++m_writeRequests;
    if (!isStorableName(request->name)) {
        actions.push_back(loader::ProtocolError{"write request of " + quoted + ": not a plain file name"});
        actions.push_back(loader::SendError{kErrorAccess, "bad file name"});
        return;
    }
    actions.push_back(loader::OpenTransfer{});
    if (m_faults.refuseWrite == m_writeRequests || m_faults.refuseName == request->name) {
        actions.push_back(
            loader::Note{"write request " + std::to_string(m_writeRequests) + " of " + quoted + " refused"});
        actions.push_back(loader::SendError{kErrorAccess, "file refused"});
        return;
    }
    m_state = State::Receiving;
    m_name = request->name;
    m_peer = from;
    m_data.clear();
    m_blocks = 0;
    m_acked = 0;
    m_finished.reset();
    acknowledge(actions);
}

void TftpBootLoader::onData(std::span<const std::byte> datagram, Peer from,
                            std::vector<LoaderAction>& actions)
{
    if (datagram.size() < 4) {
        actions.push_back(loader::ProtocolError{"DATA of " + std::to_string(datagram.size()) +
                                                " bytes has no block number"});
        actions.push_back(loader::SendError{kErrorIllegal, "short DATA"});
        return;
    }
    const std::uint16_t block = bigEndian16(datagram, 2);
    const std::size_t size = datagram.size() - 4;
    if (m_state != State::Receiving) {
        if (m_finished && m_finished->peer == from)
            actions.push_back(
                loader::ProtocolError{"DATA " + blockText(block) + " after the end of '" + m_finished->name +
                                      "': its " + blockText(m_finished->lastBlock) + " of " +
                                      std::to_string(m_finished->lastSize) + " bytes, short, was the last"});
        else
            actions.push_back(
                loader::ProtocolError{"DATA " + blockText(block) + " for a transfer not begun"});
        actions.push_back(loader::SendError{kErrorUnknownTransfer, "unknown transfer"});
        return;
    }
    if (from != m_peer) {
        actions.push_back(loader::ProtocolError{"DATA " + blockText(block) +
                                                " from another sender than the " + "write request of '" +
                                                m_name + "'"});
        actions.push_back(loader::SendError{kErrorUnknownTransfer, "unknown transfer"});
        return;
    }
    if (size > kTftpBlockSize) {
        actions.push_back(loader::ProtocolError{"DATA " + blockText(block) + " carries " +
                                                std::to_string(size) + " bytes, more than " +
                                                std::to_string(kTftpBlockSize)});
        actions.push_back(loader::SendError{kErrorIllegal, "block too large"});
        abandon(actions);
        return;
    }
    if (block == m_acked && m_blocks > 0) {
        // A repeat is answered as lock-step TFTP answers it, with its ACK once more.
        actions.push_back(loader::ProtocolError{"DATA " + blockText(block) + " repeated"});
        actions.push_back(loader::SendAck{block});
        return;
    }
    const auto due = static_cast<std::uint16_t>(m_acked + 1);
    if (block != due) {
        actions.push_back(
            loader::ProtocolError{"DATA " + blockText(block) + " where " + blockText(due) + " was due"});
        actions.push_back(loader::SendError{kErrorIllegal, "block out of order"});
        abandon(actions);
        return;
    }
    const std::span<const std::byte> data = datagram.subspan(4);
    m_data.insert(m_data.end(), data.begin(), data.end());
    m_acked = block;
    ++m_blocks;
    if (size < kTftpBlockSize) { // a short block, even an empty one, is the last
        actions.push_back(loader::StoreFile{m_name, m_data});
        m_finished = Finished{m_name, m_peer, block, size};
        m_state = State::Idle;
    }
    acknowledge(actions);
}

void TftpBootLoader::acknowledge(std::vector<LoaderAction>& actions)
{
    if (m_faults.dropAck == m_blocks && !m_ackDropped) {
        m_ackDropped = true;
        actions.push_back(loader::Note{"ACK of " + blockText(m_acked) + " left out, once"});
    } else {
        actions.push_back(loader::SendAck{m_acked});
    }
    if (m_faults.stopAfterBlock == m_blocks) {
        m_state = State::Hung;
        actions.push_back(
            loader::Note{"the loader hangs after " + blockText(m_acked) + ": nothing is answered"});
    }
}

void TftpBootLoader::abandon(std::vector<LoaderAction>& actions)
{
    actions.push_back(loader::Note{"'" + m_name + "' dropped unstored"});
    m_state = State::Idle;
    m_data.clear();
}

} // namespace routersim
