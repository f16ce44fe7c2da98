#include "link/udp_link.h"

#include <cstring>

#ifndef _WIN32
#include <netdb.h>
#include <unistd.h>
#endif

namespace vornik {

namespace {

// The addresses the host's name resolves to. On a typical Linux machine this
// is only 127.0.1.1 or 127.0.0.1, which is why it is the fallback only.
std::vector<uint32_t> AddressesOfHostName()
{
    if (StartSocketLibrary() != 0) return {};
    char name[1024];
    std::memset(name, 0, sizeof name);
    if (::gethostname(name, sizeof name - 1) != 0) return {};

    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM; // one entry per address, not one per socket type
    addrinfo* list = nullptr;
    if (::getaddrinfo(name, nullptr, &hints, &list) != 0) return {};
    std::vector<uint32_t> out;
    for (const addrinfo* a = list; a; a = a->ai_next)
        if (a->ai_family == AF_INET)
            out.push_back(ntohl(reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr));
    ::freeaddrinfo(list);
    return out;
}

} // namespace

std::vector<uint32_t> HostIPv4Addresses()
{
    std::vector<uint32_t> out = InterfaceIPv4Addresses();
    if (out.empty()) out = AddressesOfHostName();
    return out;
}

} // namespace vornik
