// tools/nfdelay/PacketQueue.h: one netfilter queue bound through libnetfilter_queue: its packets' ids come
// in, verdicts go out.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

struct nfq_handle;
struct nfq_q_handle;
struct nfq_data;
struct nfgenmsg;

namespace nfdelay {

class PacketQueue {
public:
    PacketQueue() = default;
    PacketQueue(const PacketQueue&) = delete;
    PacketQueue& operator=(const PacketQueue&) = delete;
    ~PacketQueue(); // unbinds the queue; packets still queued in the kernel are dropped by it

    // Binds queue number queue for metadata only (the delayer never looks into a packet). Returns the
    // error text, empty on success.
    std::string open(std::uint16_t queue);
    int fd() const;

    // Reads every message waiting on the socket without blocking and calls onPacket with the id of each
    // packet in them. Returns the error text, empty on success.
    std::string readWaiting(const std::function<void(std::uint32_t id)>& onPacket);
    // Accepts every packet still queued up to and including id, in one message.
    std::string acceptThrough(std::uint32_t id);

    // Messages the kernel could not hand over because the socket was full. Their packets stay queued and
    // go out with the next verdict of a later id.
    std::uint64_t lostMessages() const { return m_lost; }

private:
    static int onMessage(nfq_q_handle* queue, nfgenmsg* message, nfq_data* data, void* self);

    nfq_handle* m_handle = nullptr;
    nfq_q_handle* m_queue = nullptr;
    std::uint16_t m_number = 0;
    const std::function<void(std::uint32_t)>* m_onPacket = nullptr;
    std::uint64_t m_lost = 0;
};

} // namespace nfdelay
