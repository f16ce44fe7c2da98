// What went wrong in the link, as a code with the address it concerns. The
// window turns it into its own message box texts, vornikctl into English.
#pragma once

#include <cstdint>
#include <string>

namespace vornik {

enum class LinkFailure : uint8_t {
    ReceiveSocket,     // the receive socket could not be made
    ReceiveBroadcast,  // ... refused the broadcast option
    ReceiveReuse,      // ... refused address reuse
    EndpointSocket,    // an endpoint's socket could not be made
    EndpointBroadcast,
    EndpointReuse,
    EndpointBind,      // an endpoint could not be bound to its address and port
    Send,              // a request was refused by the system
};

struct LinkError {
    LinkFailure failure;
    uint32_t address = 0; // host order; the local address concerned, 0 for any
    uint16_t port = 0;
    int error = 0;        // the system's code (errno; on Windows WSAGetLastError)

    bool operator==(const LinkError&) const = default;
};

// One English sentence naming the address and port and the system's reason,
// e.g. "cannot bind an endpoint to 10.9.9.9:1901: Cannot assign requested address".
std::string DescribeLinkError(const LinkError& error);

} // namespace vornik
