// tools/nfdelay/PacketQueue.cpp: the netfilter queue through libnetfilter_queue.
#include "tools/nfdelay/PacketQueue.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <linux/netfilter.h>
#include <sys/socket.h>

extern "C" {
#include <libnetfilter_queue/libnetfilter_queue.h>
}

namespace nfdelay {

namespace {

// Room for many queued packets: a burst (a broadcast storm, a flood ping) is held, not dropped.
constexpr std::uint32_t kQueueLength = 10240;
constexpr unsigned kSocketBuffer = 4u << 20;

std::string systemText(int error)
{
    return std::strerror(error);
}

} // namespace

PacketQueue::~PacketQueue()
{
    if (m_queue) nfq_destroy_queue(m_queue);
    if (m_handle) nfq_close(m_handle);
}

std::string PacketQueue::open(std::uint16_t queue)
{
    m_number = queue;
    m_handle = nfq_open();
    if (!m_handle)
        return "cannot open a netfilter netlink socket: " + systemText(errno) +
               " (needs CAP_NET_ADMIN in this network namespace)";
    m_queue = nfq_create_queue(m_handle, queue, &PacketQueue::onMessage, this);
    if (!m_queue) {
        const int error = errno;
        std::string text = "cannot bind queue " + std::to_string(queue) + ": " + systemText(error);
        // The kernel answers EPERM as well when another program holds the queue.
        if (error == EPERM) text += " (another program holds it, or CAP_NET_ADMIN is missing here)";
        if (error == ENOENT || error == EOPNOTSUPP || error == EINVAL)
            text += " (is the kernel's nfnetlink_queue there?)";
        return text;
    }
    if (nfq_set_mode(m_queue, NFQNL_COPY_META, 0) < 0)
        return "cannot set queue " + std::to_string(queue) + " to metadata only: " + systemText(errno);
    // Older kernels refuse a length; the default (1024) then stays, which lock-step traffic never fills.
    (void)nfq_set_queue_maxlen(m_queue, kQueueLength);
    (void)nfnl_rcvbufsiz(nfq_nfnlh(m_handle), kSocketBuffer);
    return {};
}

int PacketQueue::fd() const
{
    return nfq_fd(m_handle);
}

int PacketQueue::onMessage(nfq_q_handle*, nfgenmsg*, nfq_data* data, void* self)
{
    auto& queue = *static_cast<PacketQueue*>(self);
    if (const nfqnl_msg_packet_hdr* header = nfq_get_msg_packet_hdr(data); header && queue.m_onPacket)
        (*queue.m_onPacket)(ntohl(header->packet_id));
    return 0;
}

std::string PacketQueue::readWaiting(const std::function<void(std::uint32_t id)>& onPacket)
{
    alignas(16) static char buffer[1 << 16];
    m_onPacket = &onPacket;
    while (true) {
        const ssize_t length = recv(fd(), buffer, sizeof buffer, MSG_DONTWAIT);
        if (length < 0) {
            const int error = errno;
            if (error == EINTR) continue;
            if (error == ENOBUFS) {
                ++m_lost;
                continue;
            }
            m_onPacket = nullptr;
            if (error == EAGAIN || error == EWOULDBLOCK) return {};
            return "cannot read queue " + std::to_string(m_number) + ": " + systemText(error);
        }
        nfq_handle_packet(m_handle, buffer, static_cast<int>(length));
    }
}

std::string PacketQueue::acceptThrough(std::uint32_t id)
{
    if (nfq_set_verdict_batch(m_queue, id, NF_ACCEPT) < 0)
        return "cannot accept the packets of queue " + std::to_string(m_number) + " up to id " +
               std::to_string(id) + ": " + systemText(errno);
    return {};
}

} // namespace nfdelay
