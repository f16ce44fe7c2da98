// The socket layer on POSIX sockets.
#include "link/socket_api.h"

#include <cerrno>
#include <cstring>

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <poll.h>
#include <unistd.h>

namespace vornik {

int StartSocketLibrary() { return 0; }

SocketHandle SystemSocket(int domain, int type, int protocol) { return ::socket(domain, type, protocol); }

int SystemSetsockopt(SocketHandle s, int level, int name, const void* value, socklen_t size)
{
    return ::setsockopt(s, level, name, value, size);
}

int SystemBind(SocketHandle s, const sockaddr* address, socklen_t size) { return ::bind(s, address, size); }

SocketSize SystemSendto(SocketHandle s, const void* data, size_t size, int flags, const sockaddr* to, socklen_t toSize)
{
    return ::sendto(s, data, size, flags, to, toSize);
}

void CloseSocket(SocketHandle s)
{
    if (s >= 0) ::close(s);
}

int LastSocketError() { return errno; }
void SetLastSocketError(int error) { errno = error; }
std::string SocketErrorText(int error) { return std::strerror(error); }
bool SendWasInterrupted(int error) { return error == EINTR; }
bool SendQueueFull(int error) { return error == ENOBUFS || error == EAGAIN; }

SocketHandle DuplicateSocket(SocketHandle s) { return ::fcntl(s, F_DUPFD_CLOEXEC, 0); }

void PrepareForReceive(SocketHandle s)
{
    // Each receive passes MSG_DONTWAIT, so the socket itself stays blocking
    // for whoever else holds it.
    const int one = 1;
    ::setsockopt(s, IPPROTO_IP, IP_PKTINFO, &one, sizeof one);
}

sockaddr_in BoundAddress(SocketHandle s)
{
    sockaddr_in bound{};
    socklen_t size = sizeof bound;
    if (s < 0 || ::getsockname(s, reinterpret_cast<sockaddr*>(&bound), &size) != 0) bound = sockaddr_in{};
    return bound;
}

ReceiveResult ReceiveDatagram(SocketHandle s, uint8_t* buffer, size_t capacity, ReceivedFrom& from)
{
    from = ReceivedFrom{};
    sockaddr_in source{};
    iovec data{buffer, capacity};
    alignas(cmsghdr) uint8_t control[CMSG_SPACE(sizeof(in_pktinfo))];
    msghdr message{};
    message.msg_name = &source;
    message.msg_namelen = sizeof source;
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    // MSG_TRUNC makes the call return the datagram's real length, so one that
    // did not fit is recognised and dropped instead of handed over cut.
    const ssize_t n = ::recvmsg(s, &message, MSG_DONTWAIT | MSG_TRUNC);
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) return ReceiveResult::Nothing;
        if (errno == EINTR) return ReceiveResult::Interrupted;
        return ReceiveResult::Failed;
    }
    if (n == 0 || size_t(n) > capacity || (message.msg_flags & MSG_TRUNC)) return ReceiveResult::Dropped;
    from.size = size_t(n);
    if (message.msg_namelen >= sizeof source && source.sin_family == AF_INET) {
        from.sourceAddress = ntohl(source.sin_addr.s_addr);
        from.sourcePort = ntohs(source.sin_port);
    }
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_PKTINFO) continue;
        in_pktinfo info;
        std::memcpy(&info, CMSG_DATA(c), sizeof info);
        from.localAddress = ntohl(info.ipi_spec_dst.s_addr);
        from.destinationAddress = ntohl(info.ipi_addr.s_addr);
    }
    return ReceiveResult::Datagram;
}

int WaitReadable(const std::vector<SocketHandle>& sockets, std::vector<uint8_t>& ready, std::vector<uint8_t>& broken,
                 int timeoutMs)
{
    std::vector<pollfd> fds;
    fds.reserve(sockets.size());
    for (SocketHandle s : sockets) fds.push_back({s, POLLIN, 0});
    ready.assign(sockets.size(), 0);
    broken.assign(sockets.size(), 0);
    const int n = ::poll(fds.data(), fds.size(), timeoutMs);
    // A signal is no failure: the caller just looks again.
    if (n < 0 && errno == EINTR) return 0;
    if (n <= 0) return n;
    for (size_t i = 0; i < fds.size(); ++i) {
        ready[i] = fds[i].revents != 0;
        broken[i] = (fds[i].revents & POLLNVAL) != 0;
    }
    return n;
}

bool WakeChannel::Open()
{
    if (IsOpen()) return true;
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) return false;
    m_read = fds[0];
    m_write = fds[1];
    return true;
}

void WakeChannel::Signal() const
{
    if (m_write < 0) return;
    const uint8_t b = 1;
    [[maybe_unused]] ssize_t r = ::write(m_write, &b, 1);
}

void WakeChannel::Drain() const
{
    uint8_t drained[64];
    while (m_read >= 0 && ::read(m_read, drained, sizeof drained) > 0) {
    }
}

void WakeChannel::Close()
{
    for (SocketHandle* s : {&m_read, &m_write}) {
        if (*s >= 0) ::close(*s);
        *s = INVALID_SOCKET_HANDLE;
    }
}

std::vector<uint32_t> InterfaceIPv4Addresses()
{
    std::vector<uint32_t> out;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return out;
    for (const ifaddrs* i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
        if (!(i->ifa_flags & IFF_UP) || (i->ifa_flags & IFF_LOOPBACK)) continue;
        out.push_back(ntohl(reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr));
    }
    ::freeifaddrs(list);
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
