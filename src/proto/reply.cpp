#include "proto/reply.h"

#include "proto/byte_io.h"
#include "proto/dev_params.h"

namespace vornik {

uint16_t FrameLengthField(std::span<const uint8_t> d)
{
    ByteReader r(d);
    const uint16_t length = r.At(FRAME_LENGTH_OFFSET).U16BE();
    return r.Ok() ? length : 0;
}

ClassifiedReply ClassifyReply(std::span<const uint8_t> d)
{
    ClassifiedReply r;
    if (d.size() <= FRAME_COMMAND_OFFSET || d[FRAME_MARKER_OFFSET] != FRAME_REPLY) return r;
    const uint8_t command = d[FRAME_COMMAND_OFFSET];
    if (command == CMD_SEARCH) {
        if ((r.search = DecodeSearchReply(d))) {
            r.kind = ReplyKind::Search;
            r.mac = r.search->mac;
        }
        return r;
    }
    if (command == CMD_DEVICE_PARAMS || command == CMD_DEVICE_PARAMS_REPLY) {
        // Here the length field holds the inner frame's length, not N.
        const size_t length = FrameLengthField(d);
        r.deviceLengthZero = length == 0;
        if (length > 0 && FRAME_PAYLOAD_OFFSET + length <= d.size())
            r.deviceFrame = d.subspan(FRAME_PAYLOAD_OFFSET, length);
    }
    if (d.size() < FRAME_PAYLOAD_OFFSET) return r;
    MacAddress mac{};
    ByteReader(d).At(FRAME_MAC_OFFSET).Bytes(mac);
    switch (command) {
    case CMD_READ_NETWORK:
        r.mac = mac;
        if (d.size() >= NETWORK_REPLY_SIZE) {
            r.kind = ReplyKind::NetworkRead;
            r.network.emplace();
            ByteReader(d).At(FRAME_PAYLOAD_OFFSET).Bytes(*r.network);
        }
        return r;
    case CMD_WRITE_NETWORK: r.kind = ReplyKind::NetworkWriteAck; break;
    case CMD_FACTORY_DEFAULTS: r.kind = ReplyKind::DefaultsAck; break;
    case CMD_WRITE_MAC: r.kind = ReplyKind::MacWriteAck; break;
    case CMD_DEVICE_PARAMS:
    case CMD_DEVICE_PARAMS_REPLY: {
        DeviceParams params;
        r.deviceFunction = r.deviceFrame.empty() ? 0 : ParseDeviceFrame(r.deviceFrame, params);
        if (r.deviceFunction == DEVICE_FUNC_READ) {
            r.kind = ReplyKind::DeviceRead;
            r.device = params;
        }
        if (r.deviceFunction == DEVICE_FUNC_WRITE) r.kind = ReplyKind::DeviceWriteAck;
        break;
    }
    default:
        return r;
    }
    r.mac = mac;
    return r;
}

} // namespace vornik
