// The socket layer on Winsock 2.
#include "link/socket_api.h"

#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include <iphlpapi.h>
#include <mswsock.h>
#include <windows.h>

#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif

namespace vornik {

namespace {

} // namespace

// Started once and never stopped: the process's end releases it.
int StartSocketLibrary()
{
    static std::once_flag once;
    static int result = 0;
    std::call_once(once, [] {
        WSADATA data;
        result = ::WSAStartup(MAKEWORD(2, 2), &data);
    });
    return result;
}

namespace {

// Without this, a datagram sent to a port nobody listens on makes the next
// receive on the sending socket fail with WSAECONNRESET (the ICMP answer).
void IgnorePortUnreachable(SocketHandle s)
{
    BOOL report = FALSE;
    DWORD returned = 0;
    ::WSAIoctl(s, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned, nullptr, nullptr);
}

// WSARecvMsg is no export of the library; the provider hands out its address.
LPFN_WSARECVMSG RecvMsgFunction(SocketHandle s)
{
    static std::mutex mutex;
    static LPFN_WSARECVMSG function = nullptr;
    std::lock_guard lock(mutex);
    if (function) return function;
    GUID id = WSAID_WSARECVMSG;
    DWORD returned = 0;
    LPFN_WSARECVMSG f = nullptr;
    if (::WSAIoctl(s, SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof id, &f, sizeof f, &returned, nullptr, nullptr) ==
        0)
        function = f;
    return function;
}

// The system's adapters with their IPv4 addresses, as one block of
// IP_ADAPTER_ADDRESSES records; empty when the system gives none.
std::vector<uint8_t> AdapterTable()
{
    ULONG size = 16 * 1024;
    std::vector<uint8_t> buffer;
    ULONG r = ERROR_BUFFER_OVERFLOW;
    // The table can grow between the call that sizes it and the one that fills it.
    for (int attempt = 0; attempt < 3 && r == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.resize(size);
        r = ::GetAdaptersAddresses(AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
                                   nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    if (r != NO_ERROR) buffer.clear();
    return buffer;
}

// Windows' packet information names the interface by index and gives the
// address the datagram was sent to, not the interface's own address as
// Linux's does. The adapter's address: the one sent to where it is the
// interface's own, else the interface's first (a broadcast, 255.255.255.255
// or the subnet's). Kept per index, since a burst of replies all arrive on
// the same few adapters.
uint32_t AdapterAddress(ULONG index, uint32_t sentTo)
{
    static std::mutex mutex;
    static std::map<ULONG, std::vector<uint32_t>> known;
    std::lock_guard lock(mutex);
    auto it = known.find(index);
    if (it == known.end()) {
        std::vector<uint32_t> addresses;
        const std::vector<uint8_t> buffer = AdapterTable();
        if (!buffer.empty())
            for (auto* a = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data()); a; a = a->Next) {
                if (a->IfIndex != index) continue;
                for (auto* u = a->FirstUnicastAddress; u; u = u->Next)
                    if (u->Address.lpSockaddr && u->Address.lpSockaddr->sa_family == AF_INET)
                        addresses.push_back(
                            ntohl(reinterpret_cast<const sockaddr_in*>(u->Address.lpSockaddr)->sin_addr.s_addr));
            }
        it = known.emplace(index, std::move(addresses)).first;
    }
    const std::vector<uint32_t>& own = it->second;
    for (uint32_t a : own)
        if (a == sentTo) return a;
    return own.empty() ? 0 : own.front();
}

} // namespace

SocketHandle SystemSocket(int domain, int type, int protocol)
{
    if (const int e = StartSocketLibrary(); e != 0) {
        ::WSASetLastError(e);
        return INVALID_SOCKET_HANDLE;
    }
    const SocketHandle s = ::WSASocketW(domain, type, protocol, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (s != INVALID_SOCKET_HANDLE && type == SOCK_DGRAM) IgnorePortUnreachable(s);
    return s;
}

int SystemSetsockopt(SocketHandle s, int level, int name, const void* value, socklen_t size)
{
    return ::setsockopt(s, level, name, static_cast<const char*>(value), size) == 0 ? 0 : -1;
}

int SystemBind(SocketHandle s, const sockaddr* address, socklen_t size)
{
    return ::bind(s, address, size) == 0 ? 0 : -1;
}

SocketSize SystemSendto(SocketHandle s, const void* data, size_t size, int flags, const sockaddr* to, socklen_t toSize)
{
    const int n = ::sendto(s, static_cast<const char*>(data), int(size), flags, to, toSize);
    return n == SOCKET_ERROR ? -1 : n;
}

void CloseSocket(SocketHandle s)
{
    if (s != INVALID_SOCKET_HANDLE) ::closesocket(s);
}

int LastSocketError() { return ::WSAGetLastError(); }
void SetLastSocketError(int error) { ::WSASetLastError(error); }

std::string SocketErrorText(int error)
{
    char text[512] = {};
    const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, DWORD(error),
                                     MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT), text, sizeof text, nullptr);
    std::string s(text, n);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == '.' || s.back() == ' ')) s.pop_back();
    if (s.empty()) s = "socket error";
    return s + " (" + std::to_string(error) + ")";
}

bool SendWasInterrupted(int error) { return error == WSAEINTR; }
bool SendQueueFull(int error) { return error == WSAENOBUFS || error == WSAEWOULDBLOCK; }

SocketHandle DuplicateSocket(SocketHandle s)
{
    WSAPROTOCOL_INFOW info{};
    if (::WSADuplicateSocketW(s, ::GetCurrentProcessId(), &info) != 0) return INVALID_SOCKET_HANDLE;
    return ::WSASocketW(FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, &info, 0,
                        WSA_FLAG_NO_HANDLE_INHERIT);
}

void PrepareForReceive(SocketHandle s)
{
    // Winsock has no per-call "don't wait" flag: the socket itself is made
    // non-blocking. Only the receive thread's own handles come here; sending
    // a datagram does not block either way.
    const DWORD one = 1;
    ::setsockopt(s, IPPROTO_IP, IP_PKTINFO, reinterpret_cast<const char*>(&one), sizeof one);
    u_long nonBlocking = 1;
    ::ioctlsocket(s, FIONBIO, &nonBlocking);
    IgnorePortUnreachable(s);
}

sockaddr_in BoundAddress(SocketHandle s)
{
    sockaddr_in bound{};
    int size = sizeof bound;
    if (s == INVALID_SOCKET_HANDLE || ::getsockname(s, reinterpret_cast<sockaddr*>(&bound), &size) != 0)
        bound = sockaddr_in{};
    return bound;
}

ReceiveResult ReceiveDatagram(SocketHandle s, uint8_t* buffer, size_t capacity, ReceivedFrom& from)
{
    from = ReceivedFrom{};
    const LPFN_WSARECVMSG recvMsg = RecvMsgFunction(s);
    sockaddr_in source{};
    WSABUF data{ULONG(capacity), reinterpret_cast<char*>(buffer)};
    alignas(WSACMSGHDR) char control[WSA_CMSG_SPACE(sizeof(IN_PKTINFO))] = {};
    WSAMSG message{};
    message.name = reinterpret_cast<sockaddr*>(&source);
    message.namelen = sizeof source;
    message.lpBuffers = &data;
    message.dwBufferCount = 1;
    message.Control = WSABUF{sizeof control, control};
    DWORD n = 0;
    int r;
    if (recvMsg) {
        r = recvMsg(s, &message, &n, nullptr, nullptr);
    } else {
        // No WSARecvMsg from this provider: the datagram without its adapter.
        int size = sizeof source;
        const int got = ::recvfrom(s, data.buf, int(capacity), 0, message.name, &size);
        r = got == SOCKET_ERROR ? SOCKET_ERROR : 0;
        n = got == SOCKET_ERROR ? 0 : DWORD(got);
        message.namelen = size;
        message.Control.len = 0;
    }
    if (r == SOCKET_ERROR) {
        switch (::WSAGetLastError()) {
        case WSAEWOULDBLOCK: return ReceiveResult::Nothing;
        case WSAEINTR: return ReceiveResult::Interrupted;
        // Longer than the buffer: taken off and cut, so it is passed over.
        case WSAEMSGSIZE: return ReceiveResult::Dropped;
        // The answer to an earlier send where nobody listened; the socket is fine.
        case WSAECONNRESET: return ReceiveResult::Dropped;
        default: return ReceiveResult::Failed;
        }
    }
    if (n == 0 || n > capacity || (message.dwFlags & MSG_TRUNC)) return ReceiveResult::Dropped;
    from.size = n;
    if (message.namelen >= int(sizeof source) && source.sin_family == AF_INET) {
        from.sourceAddress = ntohl(source.sin_addr.s_addr);
        from.sourcePort = ntohs(source.sin_port);
    }
    if (message.Control.len > 0)
        for (WSACMSGHDR* c = WSA_CMSG_FIRSTHDR(&message); c; c = WSA_CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_PKTINFO) continue;
            IN_PKTINFO info;
            std::memcpy(&info, WSA_CMSG_DATA(c), sizeof info);
            from.destinationAddress = ntohl(info.ipi_addr.s_addr);
            from.localAddress = AdapterAddress(info.ipi_ifindex, from.destinationAddress);
        }
    return ReceiveResult::Datagram;
}

int WaitReadable(const std::vector<SocketHandle>& sockets, std::vector<uint8_t>& ready, std::vector<uint8_t>& broken,
                 int timeoutMs)
{
    std::vector<WSAPOLLFD> fds;
    fds.reserve(sockets.size());
    for (SocketHandle s : sockets) fds.push_back({s, POLLRDNORM, 0});
    ready.assign(sockets.size(), 0);
    broken.assign(sockets.size(), 0);
    const int n = ::WSAPoll(fds.data(), ULONG(fds.size()), timeoutMs);
    if (n == SOCKET_ERROR) return -1;
    for (size_t i = 0; i < fds.size(); ++i) {
        ready[i] = fds[i].revents != 0;
        broken[i] = (fds[i].revents & POLLNVAL) != 0;
    }
    return n;
}

bool WakeChannel::Open()
{
    if (IsOpen()) return true;
    // Two UDP sockets on loopback, the writing one connected to the reading
    // one: a byte sent is a readable socket for WSAPoll.
    SocketHandle r = SystemSocket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    SocketHandle w = SystemSocket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in a = Ipv4Address(INADDR_LOOPBACK, 0);
    bool ok = r != INVALID_SOCKET_HANDLE && w != INVALID_SOCKET_HANDLE &&
              ::bind(r, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
    if (ok) {
        a = BoundAddress(r);
        ok = a.sin_port != 0 && ::connect(w, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
    }
    if (!ok) {
        CloseSocket(r);
        CloseSocket(w);
        return false;
    }
    u_long nonBlocking = 1;
    ::ioctlsocket(r, FIONBIO, &nonBlocking);
    ::ioctlsocket(w, FIONBIO, &nonBlocking);
    m_read = r;
    m_write = w;
    return true;
}

void WakeChannel::Signal() const
{
    if (m_write == INVALID_SOCKET_HANDLE) return;
    const char b = 1;
    ::send(m_write, &b, 1, 0);
}

void WakeChannel::Drain() const
{
    char drained[64];
    while (m_read != INVALID_SOCKET_HANDLE && ::recv(m_read, drained, sizeof drained, 0) > 0) {
    }
}

void WakeChannel::Close()
{
    for (SocketHandle* s : {&m_read, &m_write}) {
        CloseSocket(*s);
        *s = INVALID_SOCKET_HANDLE;
    }
}

std::vector<uint32_t> InterfaceIPv4Addresses()
{
    std::vector<uint32_t> out;
    const std::vector<uint8_t> buffer = AdapterTable();
    if (buffer.empty()) return out;
    for (auto* a = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data()); a; a = a->Next) {
        if (a->OperStatus != IfOperStatusUp || a->IfType == IF_TYPE_SOFTWARE_LOOPBACK) continue;
        for (auto* u = a->FirstUnicastAddress; u; u = u->Next)
            if (u->Address.lpSockaddr && u->Address.lpSockaddr->sa_family == AF_INET)
                out.push_back(ntohl(reinterpret_cast<const sockaddr_in*>(u->Address.lpSockaddr)->sin_addr.s_addr));
    }
    return out;
}

bool ParseIPv4(const char* text, uint32_t& address)
{
    in_addr a{};
    if (::inet_pton(AF_INET, text, &a) != 1) return false;
    address = ntohl(a.s_addr);
    return true;
}

} // namespace vornik
