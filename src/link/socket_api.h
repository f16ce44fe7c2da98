// The few socket operations the link needs, over POSIX sockets
// (socket_posix.cpp) or Winsock (socket_winsock.cpp); CMake builds the one that
// fits the system. Above this file the link is the same on both.
//
// Handles: an int descriptor on POSIX, a SOCKET on Windows; INVALID_SOCKET_HANDLE
// when there is none. Errors: the system's code (errno, WSAGetLastError) as
// LastSocketError gives it; SocketErrorText words it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/types.h>
#endif

namespace vornik {

#ifdef _WIN32
using SocketHandle = SOCKET;
inline constexpr SocketHandle INVALID_SOCKET_HANDLE = INVALID_SOCKET;
using SocketSize = int; // what send and receive return
// No such option: the plain receive buffer option is all there is.
inline constexpr int SOCKET_OPTION_RCVBUF_FORCE = -1;
inline constexpr int SOCKET_OPTION_SNDBUF_FORCE = -1;
// Winsock sockets are made uninheritable at creation, not by a type flag.
inline constexpr int SOCKET_TYPE_UDP = SOCK_DGRAM;
#else
using SocketHandle = int;
inline constexpr SocketHandle INVALID_SOCKET_HANDLE = -1;
using SocketSize = ssize_t;
inline constexpr int SOCKET_OPTION_RCVBUF_FORCE = SO_RCVBUFFORCE;
inline constexpr int SOCKET_OPTION_SNDBUF_FORCE = SO_SNDBUFFORCE;
inline constexpr int SOCKET_TYPE_UDP = SOCK_DGRAM | SOCK_CLOEXEC;
#endif

// Winsock's start-up (once per process; later calls give the first result):
// 0 or the error. POSIX sockets need none: always 0.
int StartSocketLibrary();

// The system's socket calls with one signature on both systems. On Windows the
// socket library is started on the first socket; a failed start fails it.
SocketHandle SystemSocket(int domain, int type, int protocol);
int SystemSetsockopt(SocketHandle s, int level, int name, const void* value, socklen_t size);
int SystemBind(SocketHandle s, const sockaddr* address, socklen_t size);
SocketSize SystemSendto(SocketHandle s, const void* data, size_t size, int flags, const sockaddr* to,
                        socklen_t toSize);
void CloseSocket(SocketHandle s);

// The error code of the last failed socket call on this thread, and the
// system's words for a code.
int LastSocketError();
void SetLastSocketError(int error);
std::string SocketErrorText(int error);
// A send that a signal cut short, and one the system had no room for now
// (its queue full): both worth trying again.
bool SendWasInterrupted(int error);
bool SendQueueFull(int error);

// A second handle to the same socket, owned by whoever asked; closing either
// leaves the other usable. INVALID_SOCKET_HANDLE when the system refuses.
SocketHandle DuplicateSocket(SocketHandle s);

// Readies a socket for ReceiveDatagram: each datagram then comes with the
// local address that heard it (IP_PKTINFO), and a receive never blocks.
void PrepareForReceive(SocketHandle s);

// Where a socket is bound; all zero when unknown.
sockaddr_in BoundAddress(SocketHandle s);

// An IPv4 socket address from a host-order address and port.
inline sockaddr_in Ipv4Address(uint32_t hostOrderAddress, uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(hostOrderAddress);
    return a;
}

enum class ReceiveResult {
    Datagram,   // one datagram, whole, in the buffer
    Dropped,    // one datagram taken off and passed over: empty, or longer than the buffer
    Nothing,    // nothing waiting now
    Interrupted,
    Failed,     // the socket is broken; LastSocketError says why
};

// One received datagram's addresses, in host order; 0 where unknown.
struct ReceivedFrom {
    size_t size = 0;
    uint32_t sourceAddress = 0;
    uint16_t sourcePort = 0;
    uint32_t localAddress = 0;       // the adapter's address (IP_PKTINFO)
    uint32_t destinationAddress = 0; // where it was sent (255.255.255.255 for a broadcast)
};

// Takes one datagram off a socket prepared with PrepareForReceive, without waiting.
ReceiveResult ReceiveDatagram(SocketHandle s, uint8_t* buffer, size_t capacity, ReceivedFrom& from);

// Waits until one of the sockets has something to read or the time is up
// (timeoutMs < 0: no limit). ready[i] tells which; a socket the system no
// longer knows counts as broken. Gives the number ready, 0 on time-out or a
// signal, -1 on a failed wait.
int WaitReadable(const std::vector<SocketHandle>& sockets, std::vector<uint8_t>& ready, std::vector<uint8_t>& broken,
                 int timeoutMs);

// Wakes a thread in WaitReadable from another thread: a pipe on POSIX, a pair
// of loopback UDP sockets on Windows (where only sockets can be waited on).
class WakeChannel {
public:
    WakeChannel() = default;
    ~WakeChannel() { Close(); }
    WakeChannel(const WakeChannel&) = delete;
    WakeChannel& operator=(const WakeChannel&) = delete;

    bool Open();
    bool IsOpen() const { return m_read != INVALID_SOCKET_HANDLE; }
    // What WaitReadable watches. Thread-safe: Signal. A full channel already
    // wakes, so a failed signal loses nothing.
    SocketHandle ReadHandle() const { return m_read; }
    void Signal() const;
    void Drain() const;
    void Close();

private:
    SocketHandle m_read = INVALID_SOCKET_HANDLE;
    SocketHandle m_write = INVALID_SOCKET_HANDLE;
};

// The IPv4 addresses (host order) of the interfaces that are up and not
// loopback, in the system's order (getifaddrs, GetAdaptersAddresses).
std::vector<uint32_t> InterfaceIPv4Addresses();

// Text to address and back, host order. Nothing when the text is no dotted quad.
bool ParseIPv4(const char* text, uint32_t& address);

} // namespace vornik
