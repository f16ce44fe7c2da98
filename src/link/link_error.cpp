#include "link/link_error.h"

#include "link/socket_api.h"
#include "proto/net_params.h"

namespace vornik {

std::string DescribeLinkError(const LinkError& e)
{
    const char* what = "";
    switch (e.failure) {
    case LinkFailure::ReceiveSocket: what = "cannot make the receive socket for"; break;
    case LinkFailure::ReceiveBroadcast: what = "the receive socket refused broadcasts on"; break;
    case LinkFailure::ReceiveReuse: what = "the receive socket refused address reuse on"; break;
    case LinkFailure::EndpointSocket: what = "cannot make an endpoint socket for"; break;
    case LinkFailure::EndpointBroadcast: what = "an endpoint socket refused broadcasts on"; break;
    case LinkFailure::EndpointReuse: what = "an endpoint socket refused address reuse on"; break;
    case LinkFailure::EndpointBind: what = "cannot bind an endpoint to"; break;
    case LinkFailure::Send: what = "cannot send from"; break;
    }
    std::string s = std::string(what) + " " + FormatDottedQuad(e.address) + ":" + std::to_string(e.port);
    if (e.error) s += std::string(": ") + SocketErrorText(e.error);
    return s;
}

} // namespace vornik
