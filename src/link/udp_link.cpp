#include "link/udp_link.h"

#include <chrono>
#include <cstring>

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
    if (!calls.socket) calls.socket = SystemSocket;
    if (!calls.setsockopt) calls.setsockopt = SystemSetsockopt;
    if (!calls.bind) calls.bind = SystemBind;
    if (!calls.sendto) calls.sendto = SystemSendto;
    return calls;
}


// Enlarges a socket's receive buffer for bursts of replies. As root the
// system's ceiling does not apply; otherwise take what the ceiling allows.
void EnlargeReceiveBuffer(const SocketCalls& calls, SocketHandle s)
{
    const int bytes = kReceiveBufferBytes;
    if (SOCKET_OPTION_RCVBUF_FORCE >= 0 &&
        calls.setsockopt(s, SOL_SOCKET, SOCKET_OPTION_RCVBUF_FORCE, &bytes, sizeof bytes) == 0)
        return;
    calls.setsockopt(s, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

bool IsSocket(SocketHandle s) { return s != INVALID_SOCKET_HANDLE; }

} // namespace

// Everything the receive thread reads or writes. The window's thread hands it
// endpoint sockets only through `changes`, as duplicates that the thread then
// owns and alone closes; so closing or re-creating an endpoint on the window's
// thread can never pull a descriptor from under a pending receive.
struct UdpLink::ReceiveThread {
    ReceiveThread(DatagramSink s, ReceivedTap t) : sink(std::move(s)), tap(std::move(t)) { watched.fill(false); }

    DatagramSink sink;
    ReceivedTap tap;
    SocketHandle receiveSocket = INVALID_SOCKET_HANDLE; // closed only after the thread is joined
    // The receive socket is bound to any address on the port, so it hears
    // every broadcast; set before the thread starts.
    bool receiveBound = false;
    WakeChannel wake;
    std::thread thread;
    std::atomic<bool> stopping{false};

    // Window thread only.
    bool started = false;
    bool running = false;
    std::array<bool, ENDPOINT_SLOT_COUNT> watched{};

    std::mutex mutex;
    // Slot index and the thread's new handle for it (none: stop reading the slot).
    std::vector<std::pair<size_t, SocketHandle>> changes; // guarded by mutex

    void Wake() const { wake.Signal(); }

    void Post(size_t slot, SocketHandle fd)
    {
        {
            std::lock_guard lock(mutex);
            changes.emplace_back(slot, fd);
        }
        Wake();
    }

    // Window thread: start reading an endpoint socket as well.
    void Watch(size_t slot, SocketHandle fd)
    {
        if (!running) return;
        const SocketHandle copy = DuplicateSocket(fd);
        if (!IsSocket(copy)) return; // the slot still sends; only its unicast replies go unread
        PrepareForReceive(copy);
        watched[slot] = true;
        Post(slot, copy);
    }

    // Window thread: the slot's socket is about to be closed.
    void Forget(size_t slot)
    {
        if (!running || !watched[slot]) return;
        watched[slot] = false;
        Post(slot, INVALID_SOCKET_HANDLE);
    }

    void Run();

private:
    bool Drain(SocketHandle fd, const sockaddr_in& bound, uint8_t* buffer, bool endpoint);
};

bool UdpLink::ReceiveThread::Drain(SocketHandle fd, const sockaddr_in& bound, uint8_t* buffer, bool endpoint)
{
    const uint32_t own = ntohl(bound.sin_addr.s_addr);
    for (int i = 0; i < kBatchPerSocket && !stopping.load(std::memory_order_relaxed); ++i) {
        ReceivedFrom from;
        switch (ReceiveDatagram(fd, buffer, RECEIVE_BUFFER_SIZE, from)) {
        case ReceiveResult::Nothing: return true;
        case ReceiveResult::Failed: return false;
        case ReceiveResult::Interrupted:
        case ReceiveResult::Dropped: continue;
        case ReceiveResult::Datagram: break;
        }
        if (!sink && !tap) continue;
        // Windows (and wine) hand a broadcast to every socket bound to the
        // port, an endpoint bound to its adapter's address too; Linux gives an
        // endpoint only what was sent to its address. An endpoint is read for
        // the unicast replies, so anything else it hears the receive socket
        // heard as well, and a device would be listed once more per endpoint.
        if (endpoint && receiveBound && from.destinationAddress != 0 && from.destinationAddress != own) continue;
        Datagram d;
        d.bytes.assign(buffer, buffer + from.size);
        d.received = std::chrono::system_clock::now();
        d.sourceAddress = from.sourceAddress;
        d.sourcePort = from.sourcePort;
        d.localAddress = from.localAddress;
        d.destinationAddress = from.destinationAddress;
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
    std::array<SocketHandle, ENDPOINT_SLOT_COUNT> endpoints;
    endpoints.fill(INVALID_SOCKET_HANDLE);
    // Where each socket is bound, looked up once rather than per datagram.
    std::array<sockaddr_in, ENDPOINT_SLOT_COUNT> endpointBound{};
    const sockaddr_in receiveBound = BoundAddress(receiveSocket);
    std::vector<std::pair<size_t, SocketHandle>> taken;
    std::vector<SocketHandle> watched;
    std::vector<const sockaddr_in*> bounds; // beside watched; none for the wake-up
    std::vector<uint8_t> ready, broken;
    uint8_t buffer[RECEIVE_BUFFER_SIZE];

    while (!stopping.load()) {
        {
            std::lock_guard lock(mutex);
            taken.swap(changes);
        }
        for (auto [slot, fd] : taken) {
            if (IsSocket(endpoints[slot])) {
                // Whatever already arrived for the old socket still counts.
                Drain(endpoints[slot], endpointBound[slot], buffer, true);
                CloseSocket(endpoints[slot]);
            }
            endpoints[slot] = fd;
            endpointBound[slot] = BoundAddress(fd);
        }
        taken.clear();

        watched.clear();
        bounds.clear();
        if (wake.IsOpen()) {
            watched.push_back(wake.ReadHandle());
            bounds.push_back(nullptr);
        }
        if (IsSocket(receiveSocket)) {
            watched.push_back(receiveSocket);
            bounds.push_back(&receiveBound);
        }
        for (size_t slot = 0; slot < ENDPOINT_SLOT_COUNT; ++slot) {
            if (!IsSocket(endpoints[slot])) continue;
            watched.push_back(endpoints[slot]);
            bounds.push_back(&endpointBound[slot]);
        }

        // Without a wake-up channel, look at the stop flag now and then instead.
        const int timeout = wake.IsOpen() ? -1 : 50;
        const int count = WaitReadable(watched, ready, broken, timeout);
        if (count < 0) {
            std::this_thread::sleep_for(kRetryPause);
            continue;
        }
        bool failed = false;
        for (size_t k = 0; k < watched.size(); ++k) {
            if (!ready[k]) continue;
            if (!bounds[k]) {
                wake.Drain();
                continue;
            }
            if (broken[k] || !Drain(watched[k], *bounds[k], buffer, bounds[k] != &receiveBound)) failed = true;
        }
        if (failed) std::this_thread::sleep_for(kRetryPause);
    }

    std::lock_guard lock(mutex);
    for (auto [slot, fd] : changes) CloseSocket(fd);
    changes.clear();
    for (SocketHandle fd : endpoints) CloseSocket(fd);
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

    // POSIX sockets need no library start-up; Winsock's is made by the first
    // socket call, so a failed start shows as the receive socket's failure.

    r.receiveSocket = calls.socket(AF_INET, SOCKET_TYPE_UDP, IPPROTO_UDP);
    if (!IsSocket(r.receiveSocket)) {
        r.receiveSocket = INVALID_SOCKET_HANDLE;
        Report(LinkFailure::ReceiveSocket, INADDR_ANY, LastSocketError());
    }

    // The endpoint table starts cleared when the link is made; endpoints a
    // search opened before this point are kept and read like any other.

    const sockaddr_in receiveAddress = Ipv4Address(INADDR_ANY, m_config.port);

    // Each option is tried even without a socket, so a missing socket is
    // followed by both option messages as well.
    const int one = 1;
    if (calls.setsockopt(r.receiveSocket, SOL_SOCKET, SO_BROADCAST, &one, sizeof one) < 0)
        Report(LinkFailure::ReceiveBroadcast, INADDR_ANY, LastSocketError());
    if (calls.setsockopt(r.receiveSocket, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) < 0)
        Report(LinkFailure::ReceiveReuse, INADDR_ANY, LastSocketError());
    if (IsSocket(r.receiveSocket)) {
        EnlargeReceiveBuffer(calls, r.receiveSocket);
        PrepareForReceive(r.receiveSocket);
    }
    // A refused bind is not reported: the endpoints still send, and replies
    // addressed to them are still read.
    r.receiveBound = IsSocket(r.receiveSocket) &&
                     calls.bind(r.receiveSocket, reinterpret_cast<const sockaddr*>(&receiveAddress),
                                sizeof receiveAddress) == 0;

    r.wake.Open();
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
    if (IsSocket(slot.socket)) {
        m_receiver->Forget(index);
        CloseSocket(slot.socket);
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
        slot.socket = calls.socket(AF_INET, SOCKET_TYPE_UDP, IPPROTO_UDP);
        if (!IsSocket(slot.socket)) {
            slot.socket = INVALID_SOCKET_HANDLE;
            Report(LinkFailure::EndpointSocket, addresses[i], LastSocketError());
            continue;
        }
        if (calls.setsockopt(slot.socket, SOL_SOCKET, SO_BROADCAST, &one, sizeof one) < 0) {
            Report(LinkFailure::EndpointBroadcast, addresses[i], LastSocketError());
            continue;
        }
        if (calls.setsockopt(slot.socket, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) < 0) {
            Report(LinkFailure::EndpointReuse, addresses[i], LastSocketError());
            continue;
        }
        slot.localAddress = local;
        const int result = calls.bind(slot.socket, reinterpret_cast<const sockaddr*>(&local), sizeof local);
        if (result < 0) {
            Report(LinkFailure::EndpointBind, addresses[i], LastSocketError());
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
            Report(LinkFailure::Send, ntohl(slot.localAddress.sin_addr.s_addr), LastSocketError());
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
        if (IsSocket(m_slots[i].socket)) ResetSlot(i);
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
    r.wake.Close();
    CloseSocket(r.receiveSocket);
    r.receiveSocket = INVALID_SOCKET_HANDLE;
}

} // namespace vornik
