#include "proto/frame.h"

#include "proto/byte_io.h"

namespace vornik {

uint8_t FrameSum8(std::span<const uint8_t> commandAndPayload)
{
    uint8_t sum = 0;
    for (uint8_t b : commandAndPayload) sum = uint8_t(sum + b);
    return sum;
}

namespace {

Frame Build(uint8_t marker, uint16_t lengthField, uint8_t command, std::span<const uint8_t> payload)
{
    Frame f;
    f.resize(FRAME_HEADER_SIZE + payload.size());
    // The length is the one field sent high byte first.
    ByteWriter(f).At(FRAME_MARKER_OFFSET).U8(marker).U16BE(lengthField).U8(command).Bytes(payload);
    f.push_back(FrameSum8(std::span<const uint8_t>(f).subspan(FRAME_COMMAND_OFFSET)));
    return f;
}

Frame WithTarget(uint8_t command, const MacAddress& target, std::span<const uint8_t> rest = {})
{
    std::vector<uint8_t> payload(target.begin(), target.end());
    payload.insert(payload.end(), rest.begin(), rest.end());
    return BuildRequest(command, payload);
}

} // namespace

Frame BuildRequest(uint8_t command, std::span<const uint8_t> payload)
{
    return Build(FRAME_REQUEST, uint16_t(1 + payload.size()), command, payload);
}

Frame BuildReply(uint8_t command, uint16_t lengthField, std::span<const uint8_t> payload)
{
    return Build(FRAME_REPLY, lengthField, command, payload);
}

Frame BuildSearchRequest() { return BuildRequest(CMD_SEARCH, {}); }

Frame BuildNetworkReadRequest(const MacAddress& target) { return WithTarget(CMD_READ_NETWORK, target); }

Frame BuildNetworkWriteRequest(const MacAddress& target, std::span<const uint8_t> networkParamsImage)
{
    return WithTarget(CMD_WRITE_NETWORK, target, networkParamsImage);
}

Frame BuildFactoryDefaultsRequest(const MacAddress& target) { return WithTarget(CMD_FACTORY_DEFAULTS, target); }

Frame BuildWriteMacRequest(const MacAddress& target, const MacAddress& newMac)
{
    return WithTarget(CMD_WRITE_MAC, target, newMac);
}

Frame BuildDeviceParamsRequest(const MacAddress& target, std::span<const uint8_t> deviceFrame)
{
    return WithTarget(CMD_DEVICE_PARAMS, target, deviceFrame);
}

std::optional<SearchReplyFields> DecodeSearchReply(std::span<const uint8_t> frame)
{
    SearchReplyFields reply;
    ByteReader r(frame);
    reply.ipAddress = r.At(SR_IP_ADDRESS).U32();
    r.At(SR_MAC).Bytes(reply.mac);
    reply.firmware = r.At(SR_FIRMWARE).U16();
    if (!r.Ok()) return std::nullopt;
    return reply;
}

} // namespace vornik
