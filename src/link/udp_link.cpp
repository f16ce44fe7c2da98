#include "link/udp_link.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>


namespace vornik {

namespace {

// A search answered by a thousand devices arrives within a few milliseconds;
// the socket has to hold the whole burst while the window's thread is busy.
constexpr int kReceiveBufferBytes = 8 * 1024 * 1024;
// After a receive that failed for a reason other than "nothing there", wait
// this long before the next try, so a broken socket cannot spin the thread.
constexpr auto kRetryPause = std::chrono::milliseconds(10);
// Datagrams taken from one socket before the others get their turn.
constexpr int kBatchPerSocket = 64;

SocketCalls WithSystemDefaults(SocketCalls calls)
{
    if (!calls.socket) calls.socket = [](int d, int t, int p) { return ::socket(d, t, p); };
    if (!calls.setsockopt)
        calls.setsockopt = [](int fd, int level, int name, const void* value, socklen_t size) {
            return ::setsockopt(fd, level, name, value, size);
        };
    if (!calls.bind) calls.bind = [](int fd, const sockaddr* a, socklen_t n) { return ::bind(fd, a, n); };
    if (!calls.sendto)
        calls.sendto = [](int fd, const void* data, size_t size, int flags, const sockaddr* to, socklen_t n) {
            return ::sendto(fd, data, size, flags, to, n);
        };
    return calls;
}

sockaddr_in Ipv4Address(uint32_t hostOrderAddress, uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(hostOrderAddress);
    return a;
}

// Enlarges a socket's receive buffer for bursts of replies. As root the
// system's ceiling does not apply; otherwise take what the ceiling allows.
void EnlargeReceiveBuffer(const SocketCalls& calls, int fd)
{
    const int bytes = kReceiveBufferBytes;
    if (calls.setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) == 0) return;
    calls.setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

// Each datagram then comes with the local address that heard it, which tells
// the adapter apart on the socket bound to any address.
void AskForPacketInfo(int fd)
{
    const int one = 1;
    ::setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &one, sizeof one);
}

sockaddr_in BoundAddress(int fd)
{
    sockaddr_in bound{};
    socklen_t size = sizeof bound;
    if (fd < 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &size) != 0) bound = sockaddr_in{};
    return bound;
}

} // namespace

// Everything the receive thread reads or writes. The window's thread hands it
// endpoint sockets only through `changes`, as duplicates that the thread then
// owns and alone closes; so closing or re-creating an endpoint on the window's
// thread can never pull a descriptor from under a pending receive.
struct UdpLink::ReceiveThread {
    ReceiveThread(DatagramSink s, ReceivedTap t) : sink(std::move(s)), tap(std::move(t)) { watched.fill(false); }

    DatagramSink sink;
    ReceivedTap tap;
    int receiveSocket = -1; // closed only after the thread is joined
    int wakeRead = -1;
    int wakeWrite = -1;
    std::thread thread;
    std::atomic<bool> stopping{false};

    // Window thread only.
    bool started = false;
    bool running = false;
    std::array<bool, ENDPOINT_SLOT_COUNT> watched{};

    std::mutex mutex;
    // Slot index and the thread's new descriptor for it (-1: stop reading the slot).
    std::vector<std::pair<size_t, int>> changes; // guarded by mutex

    void Wake() const
    {
        if (wakeWrite < 0) return;
        const uint8_t b = 1;
        // A full pipe already wakes the thread; nothing is lost by a failed write.
        [[maybe_unused]] ssize_t r = ::write(wakeWrite, &b, 1);
    }

    void Post(size_t slot, int fd)
    {
        {
            std::lock_guard lock(mutex);
            changes.emplace_back(slot, fd);
        }
        Wake();
    }

    // Window thread: start reading an endpoint socket as well.
    void Watch(size_t slot, int fd)
    {
        if (!running) return;
        const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        if (copy < 0) return; // the slot still sends; only its unicast replies go unread
        AskForPacketInfo(copy);
        watched[slot] = true;
        Post(slot, copy);
    }

    // Window thread: the slot's socket is about to be closed.
    void Forget(size_t slot)
    {
        if (!running || !watched[slot]) return;
        watched[slot] = false;
        Post(slot, -1);
    }

    void Run();

private:
    bool Drain(int fd, const sockaddr_in& bound, uint8_t* buffer);
};

bool UdpLink::ReceiveThread::Drain(int fd, const sockaddr_in& bound, uint8_t* buffer)
{
    for (int i = 0; i < kBatchPerSocket && !stopping.load(std::memory_order_relaxed); ++i) {
        sockaddr_in source{};
        iovec data{buffer, RECEIVE_BUFFER_SIZE};
        alignas(cmsghdr) uint8_t control[CMSG_SPACE(sizeof(in_pktinfo))];
        msghdr message{};
        message.msg_name = &source;
        message.msg_namelen = sizeof source;
        message.msg_iov = &data;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        // MSG_TRUNC makes the call return the datagram's real length, so one
        // that did not fit is recognised and dropped instead of handed over cut.
        const ssize_t n = ::recvmsg(fd, &message, MSG_DONTWAIT | MSG_TRUNC);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0 || size_t(n) > RECEIVE_BUFFER_SIZE || (message.msg_flags & MSG_TRUNC)) continue;
        if (!sink && !tap) continue;
        Datagram d;
        d.bytes.assign(buffer, buffer + n);
        d.received = std::chrono::system_clock::now();
        if (message.msg_namelen >= sizeof source && source.sin_family == AF_INET) {
            d.sourceAddress = ntohl(source.sin_addr.s_addr);
            d.sourcePort = ntohs(source.sin_port);
        }
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_PKTINFO) continue;
            in_pktinfo info;
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            d.localAddress = ntohl(info.ipi_spec_dst.s_addr);
            d.destinationAddress = ntohl(info.ipi_addr.s_addr);
        }
        d.localPort = ntohs(bound.sin_port);
        // An endpoint socket is bound to its adapter's address.
        if (d.localAddress == 0) d.localAddress = ntohl(bound.sin_addr.s_addr);
        if (tap) tap(d);
        if (sink) sink(std::move(d));
    }
    return true;
}

void UdpLink::ReceiveThread::Run()
{
    std::array<int, ENDPOINT_SLOT_COUNT> endpoints;
    endpoints.fill(-1);
    // Where each socket is bound, looked up once rather than per datagram.
    std::array<sockaddr_in, ENDPOINT_SLOT_COUNT> endpointBound{};
    const sockaddr_in receiveBound = BoundAddress(receiveSocket);
    std::vector<std::pair<size_t, int>> taken;
    std::vector<pollfd> fds;
    std::vector<const sockaddr_in*> bounds; // beside fds
    uint8_t buffer[RECEIVE_BUFFER_SIZE];

    while (!stopping.load()) {
        {
            std::lock_guard lock(mutex);
            taken.swap(changes);
        }
        for (auto [slot, fd] : taken) {
            if (endpoints[slot] >= 0) {
                // Whatever already arrived for the old socket still counts.
                Drain(endpoints[slot], endpointBound[slot], buffer);
                ::close(endpoints[slot]);
            }
            endpoints[slot] = fd;
            endpointBound[slot] = BoundAddress(fd);
        }
        taken.clear();

        fds.clear();
        bounds.clear();
        if (wakeRead >= 0) {
            fds.push_back({wakeRead, POLLIN, 0});
            bounds.push_back(nullptr);
        }
        if (receiveSocket >= 0) {
            fds.push_back({receiveSocket, POLLIN, 0});
            bounds.push_back(&receiveBound);
        }
        for (size_t slot = 0; slot < ENDPOINT_SLOT_COUNT; ++slot) {
            if (endpoints[slot] < 0) continue;
            fds.push_back({endpoints[slot], POLLIN, 0});
            bounds.push_back(&endpointBound[slot]);
        }

        // Without a wake-up pipe, look at the stop flag now and then instead.
        const int timeout = wakeRead >= 0 ? -1 : 50;
        const int ready = ::poll(fds.data(), fds.size(), timeout);
        if (ready < 0) {
            if (errno != EINTR) std::this_thread::sleep_for(kRetryPause);
            continue;
        }
        bool failed = false;
        for (size_t k = 0; k < fds.size(); ++k) {
            const pollfd& p = fds[k];
            if (p.revents == 0) continue;
            if (p.fd == wakeRead) {
                uint8_t drained[64];
                while (::read(wakeRead, drained, sizeof drained) > 0) {
                }
                continue;
            }
            if ((p.revents & POLLNVAL) || !Drain(p.fd, *bounds[k], buffer)) failed = true;
        }
        if (failed) std::this_thread::sleep_for(kRetryPause);
    }

    std::lock_guard lock(mutex);
    for (auto [slot, fd] : changes)
        if (fd >= 0) ::close(fd);
    changes.clear();
    for (int fd : endpoints)
        if (fd >= 0) ::close(fd);
}

UdpLink::UdpLink(LinkConfig config, ErrorSink errors, DatagramSink datagrams)
    : m_config(std::move(config)),
      m_broadcastTarget(Ipv4Address(m_config.broadcastAddress, m_config.port)),
      m_errors(std::move(errors)),
      m_receiver(std::make_unique<ReceiveThread>(std::move(datagrams), m_config.receivedTap))
{
    m_config.calls = WithSystemDefaults(std::move(m_config.calls));
}

UdpLink::~UdpLink()
{
    Stop();
    CloseEndpoints();
}

void UdpLink::Report(LinkFailure failure, uint32_t address, int error) const
{
    if (m_errors) m_errors(LinkError{failure, address, m_config.port, error});
}

void UdpLink::Start()
{
    ReceiveThread& r = *m_receiver;
    if (r.started) return;
    r.started = true;
    const SocketCalls& calls = m_config.calls;

    // POSIX sockets need no library start-up, so there is nothing here that
    // could fail the way the socket library's start can on other systems.

    r.receiveSocket = calls.socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (r.receiveSocket < 0) {
        r.receiveSocket = -1;
        Report(LinkFailure::ReceiveSocket, INADDR_ANY, errno);
    }

    // The endpoint table starts cleared when the link is made; endpoints a
    // search opened before this point are kept and read like any other.

    const sockaddr_in receiveAddress = Ipv4Address(INADDR_ANY, m_config.port);

    // Each option is tried even without a socket, so a missing socket is
    // followed by both option messages as well.
    const int one = 1;
    if (calls.setsockopt(r.receiveSocket, SOL_SOCKET, SO_BROADCAST, &one, sizeof one) < 0)
        Report(LinkFailure::ReceiveBroadcast, INADDR_ANY, errno);
    if (calls.setsockopt(r.receiveSocket, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) < 0)
        Report(LinkFailure::ReceiveReuse, INADDR_ANY, errno);
    if (r.receiveSocket >= 0) {
        EnlargeReceiveBuffer(calls, r.receiveSocket);
        AskForPacketInfo(r.receiveSocket);
    }
    // A refused bind is not reported: the endpoints still send, and replies
    // addressed to them are still read.
    calls.bind(r.receiveSocket, reinterpret_cast<const sockaddr*>(&receiveAddress), sizeof receiveAddress);

    int pipeFds[2];
    if (::pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC) == 0) {
        r.wakeRead = pipeFds[0];
        r.wakeWrite = pipeFds[1];
    }
    try {
        r.thread = std::thread([&r] { r.Run(); });
        r.running = true;
    } catch (const std::system_error&) {
        // Without the thread nothing is received; sending still works.
    }
    for (size_t i = 0; i < ENDPOINT_SLOT_COUNT; ++i)
        if (m_slots[i].open) r.Watch(i, m_slots[i].socket);
}

void UdpLink::ResetSlot(size_t index)
{
    EndpointSlot& slot = m_slots[index];
    if (slot.socket >= 0) {
        m_receiver->Forget(index);
        ::close(slot.socket);
    }
    slot = EndpointSlot{};
}

void UdpLink::OpenEndpoints()
{
    const std::vector<uint32_t> addresses =
        m_config.hostAddresses ? m_config.hostAddresses() : HostIPv4Addresses();
    const SocketCalls& calls = m_config.calls;
    const int one = 1;

    for (size_t i = 0; i < addresses.size() && i < ENDPOINT_SLOT_COUNT; ++i) {
        EndpointSlot& slot = m_slots[i];
        const sockaddr_in local = Ipv4Address(addresses[i], m_config.port);
        if (slot.open && slot.localAddress.sin_addr.s_addr == local.sin_addr.s_addr) continue;

        ResetSlot(i);
        slot.socket = calls.socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
        if (slot.socket < 0) {
            slot.socket = -1;
            Report(LinkFailure::EndpointSocket, addresses[i], errno);
            continue;
        }
        if (calls.setsockopt(slot.socket, SOL_SOCKET, SO_BROADCAST, &one, sizeof one) < 0) {
            Report(LinkFailure::EndpointBroadcast, addresses[i], errno);
            continue;
        }
        if (calls.setsockopt(slot.socket, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) < 0) {
            Report(LinkFailure::EndpointReuse, addresses[i], errno);
            continue;
        }
        slot.localAddress = local;
        const int result = calls.bind(slot.socket, reinterpret_cast<const sockaddr*>(&local), sizeof local);
        if (result < 0) {
            Report(LinkFailure::EndpointBind, addresses[i], errno);
            continue;
        }
        slot.open = true;
        // Devices that answer by unicast land here, possibly all at once.
        EnlargeReceiveBuffer(calls, slot.socket);
        m_receiver->Watch(i, slot.socket);
    }
}

void UdpLink::SendFrame(const uint8_t* frame, size_t length)
{
    const size_t size = length % 65536;
    for (const EndpointSlot& slot : m_slots) {
        if (!slot.open) continue;
        // Taken before the call: on loopback the copy is received before sendto returns.
        const auto sent = std::chrono::system_clock::now();
        if (m_config.calls.sendto(slot.socket, frame, size, 0, reinterpret_cast<const sockaddr*>(&m_broadcastTarget),
                                  sizeof m_broadcastTarget) < 0) {
            Report(LinkFailure::Send, ntohl(slot.localAddress.sin_addr.s_addr), errno);
            continue;
        }
        // Only what the system took is recorded: a refused send never reached the wire.
        if (m_config.sentTap)
            m_config.sentTap(SentDatagram{frame, size, ntohl(slot.localAddress.sin_addr.s_addr),
                                          ntohs(slot.localAddress.sin_port), m_config.broadcastAddress, m_config.port,
                                          sent});
    }
}

void UdpLink::CloseEndpoints()
{
    // Unlike a plain close, the slots are cleared as well, so no later send can
    // reach a descriptor number the system has handed out again.
    for (size_t i = 0; i < ENDPOINT_SLOT_COUNT; ++i)
        if (m_slots[i].socket >= 0) ResetSlot(i);
}

void UdpLink::Stop()
{
    ReceiveThread& r = *m_receiver;
    if (r.thread.joinable()) {
        r.stopping.store(true);
        r.Wake();
        r.thread.join();
    }
    r.running = false;
    r.watched.fill(false);
    for (int* fd : {&r.wakeRead, &r.wakeWrite, &r.receiveSocket}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
}

} // namespace vornik
