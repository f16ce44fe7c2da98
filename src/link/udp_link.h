// The UDP link: up to ten sending endpoints (one per local IPv4 address, each
// bound to its address and the link port), a receive socket bound to any
// address, and a receive thread that hands every datagram over intact.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/frame_sender.h"
#include "link/socket_api.h"
#include "proto/frame.h"
#include "link/link_error.h"

namespace vornik {

inline constexpr size_t ENDPOINT_SLOT_COUNT = 10;
inline constexpr uint32_t BROADCAST_ADDRESS = 0xFFFFFFFF; // 255.255.255.255, host order

struct EndpointSlot {
    sockaddr_in localAddress{}; // all zero until the slot is opened
    SocketHandle socket = INVALID_SOCKET_HANDLE; // none when the slot never had one
    bool open = false;          // created, configured and bound
};

// One datagram as the receive thread took it off a socket. Addresses and ports
// are in host order.
struct Datagram {
    std::vector<uint8_t> bytes;
    uint32_t sourceAddress = 0;
    uint16_t sourcePort = 0;
    // The address of the local interface that heard it (the adapter), and the
    // address it was sent to (255.255.255.255 for a broadcast); 0 when unknown.
    uint32_t localAddress = 0;
    uint32_t destinationAddress = 0;
    uint16_t localPort = 0;
    std::chrono::system_clock::time_point received{};
};

// One datagram the link handed to the system, as SendFrame saw it leave.
// Addresses and ports are in host order.
struct SentDatagram {
    const uint8_t* bytes = nullptr;
    size_t size = 0;
    uint32_t localAddress = 0; // the sending slot's address
    uint16_t localPort = 0;
    uint32_t targetAddress = 0;
    uint16_t targetPort = 0;
    std::chrono::system_clock::time_point sent{};
};

// Taps see every datagram the link sends or receives, for a packet record.
// The sent tap runs on the caller of SendFrame, the received tap on the
// receive thread before the hand-over; both must be quick and thread-safe.
using SentTap = std::function<void(const SentDatagram& datagram)>;
using ReceivedTap = std::function<void(const Datagram& datagram)>;

// IPv4 addresses in host order.
using AddressSource = std::function<std::vector<uint32_t>()>;

// The socket calls the link makes on the window's thread. The product uses the
// system's; tests put in their own to provoke failures the system won't give
// on demand. Each returns like the POSIX call (-1 on failure) and leaves its
// error where LastSocketError finds it (errno; on Windows WSAGetLastError).
struct SocketCalls {
    std::function<SocketHandle(int domain, int type, int protocol)> socket;
    std::function<int(SocketHandle s, int level, int name, const void* value, socklen_t size)> setsockopt;
    std::function<int(SocketHandle s, const sockaddr* address, socklen_t size)> bind;
    std::function<SocketSize(SocketHandle s, const void* data, size_t size, int flags, const sockaddr* to,
                             socklen_t toSize)>
        sendto;
};

struct LinkConfig {
    uint16_t port = LINK_PORT;
    uint32_t broadcastAddress = BROADCAST_ADDRESS; // host order
    AddressSource hostAddresses;                   // empty: HostIPv4Addresses
    SocketCalls calls;                             // any left empty: the system's
    SentTap sentTap;                               // optional
    ReceivedTap receivedTap;                       // optional
};

class UdpLink : public IFrameSender {
public:
    // Failures, for the owner to show; called on the caller's thread (the
    // window's), never on the receive thread.
    using ErrorSink = std::function<void(const LinkError& error)>;
    // Called on the receive thread with each datagram of 1 to 1024 bytes, in the
    // order of receipt; the receiver owns the copy.
    using DatagramSink = std::function<void(Datagram datagram)>;

    UdpLink(LinkConfig config, ErrorSink errors, DatagramSink datagrams);
    ~UdpLink() override; // stops the receive thread and joins it, closes every socket

    UdpLink(const UdpLink&) = delete;
    UdpLink& operator=(const UdpLink&) = delete;

    // The link start: receive socket (broadcast, address reuse, bound to any
    // address on the port), broadcast target, receive thread. Failures are
    // shown and passed over.
    void Start();
    void OpenEndpoints() override;
    void SendFrame(const uint8_t* frame, size_t length) override;
    uint16_t Port() const override { return m_config.port; }
    // The window's close: closes the open endpoint sockets.
    void CloseEndpoints();
    // Stops and joins the receive thread and closes the receive socket.
    void Stop();

    const std::array<EndpointSlot, ENDPOINT_SLOT_COUNT>& Slots() const { return m_slots; }

private:
    struct ReceiveThread; // the receive thread and what it alone touches
    void Report(LinkFailure failure, uint32_t address, int error) const;
    void ResetSlot(size_t index);

    LinkConfig m_config;
    sockaddr_in m_broadcastTarget{}; // where every request goes; fixed for the run
    ErrorSink m_errors;
    std::array<EndpointSlot, ENDPOINT_SLOT_COUNT> m_slots{};
    std::unique_ptr<ReceiveThread> m_receiver;
};

// The IPv4 addresses (host order) of the interfaces that are up and not
// loopback, in the system's order; the host name's addresses when there are none.
std::vector<uint32_t> HostIPv4Addresses();

} // namespace vornik
