#include "link/link_environment.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

namespace vornik {

namespace {

std::optional<uint32_t> ParseAddress(const std::string& text)
{
    uint32_t address = 0;
    if (!ParseIPv4(text.c_str(), address)) return std::nullopt;
    return address;
}

} // namespace

LinkEnvironment ReadLinkEnvironment()
{
    LinkEnvironment env;
    if (const char* port = std::getenv("VORNIK_PORT")) {
        const long value = std::strtol(port, nullptr, 10);
        if (value > 0 && value < 65536)
            env.port = uint16_t(value);
        else
            std::fprintf(stderr, "VORNIK_PORT=%s ignored\n", port);
    }
    if (const char* broadcast = std::getenv("VORNIK_BROADCAST")) {
        if (const auto address = ParseAddress(broadcast))
            env.broadcastAddress = *address;
        else
            std::fprintf(stderr, "VORNIK_BROADCAST=%s ignored\n", broadcast);
    }
    if (const char* list = std::getenv("VORNIK_ADDRESSES")) {
        std::vector<uint32_t> addresses;
        std::stringstream items(list);
        std::string item;
        while (std::getline(items, item, ',')) {
            if (const auto address = ParseAddress(item))
                addresses.push_back(*address);
            else
                std::fprintf(stderr, "VORNIK_ADDRESSES: %s ignored\n", item.c_str());
        }
        env.hostAddresses = std::move(addresses);
    }
    return env;
}

LinkConfig LinkConfigFromEnvironment()
{
    const LinkEnvironment env = ReadLinkEnvironment();
    LinkConfig config;
    if (env.port) config.port = *env.port;
    if (env.broadcastAddress) config.broadcastAddress = *env.broadcastAddress;
    if (env.hostAddresses) config.hostAddresses = [addresses = *env.hostAddresses] { return addresses; };
    return config;
}

} // namespace vornik
