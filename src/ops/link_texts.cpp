#include "ops/link_texts.h"

#include <cstdio>

namespace vornik {

std::string LinkErrorText936(const LinkError& e)
{
    switch (e.failure) {
    case LinkFailure::ReceiveSocket: return text::kMsgReceiveSocket;
    case LinkFailure::ReceiveBroadcast: return text::kMsgReceiveBroadcast;
    case LinkFailure::ReceiveReuse: return text::kMsgReceiveReuse;
    case LinkFailure::EndpointSocket: return text::kMsgEndpointSocket;
    case LinkFailure::EndpointBroadcast: return text::kMsgEndpointBroadcast;
    case LinkFailure::EndpointReuse: return text::kMsgEndpointReuse;
    case LinkFailure::EndpointBind: {
        // The window has always shown -1 where a socket handle would go.
        char text[128];
        std::snprintf(text, sizeof text, text::kMsgEndpointBindFormat.Cp936().c_str(), -1, e.error);
        return text;
    }
    case LinkFailure::Send: return text::kMsgSendFailed;
    }
    return {};
}

} // namespace vornik
