#include "ops/device_history.h"

#include "ops/text.h"
#include "ops/texts.h"
#include "proto/cp936.h"

namespace vornik {

std::string OperationName936(std::string_view operation)
{
    static const struct {
        std::string_view name;
        const text::Text& words;
    } names[] = {
        {"read", text::kOpRead},
        {"write-network", text::kOpWriteNetwork},
        {"write-device", text::kOpWriteDevice},
        {"write-mac", text::kOpWriteMac},
        {"factory-defaults", text::kOpFactoryDefaults},
        {"mac set", text::kOpWriteMac},
        {"defaults", text::kOpFactoryDefaults},
        {"apply", text::kOpApply},
        {"net set", text::kOpSetNetwork},
        {"dev set", text::kOpSetDevice},
        {"net get", text::kOpGetNetwork},
        {"dev get", text::kOpGetDevice},
        {"restore", text::kOpRestore},
        {"replace", text::kOpReplace},
        {"export", text::kOpExport},
    };
    for (const auto& n : names)
        if (n.name == operation) return n.words;
    return std::string(operation);
}

void DeviceHistory::Record(history::Stage stage, const char* operation, const history::Blocks& blocks)
{
    Keep(blocks);
    if (!m_recorder.Enabled()) return;
    if (stage != history::Stage::Before) m_lastReply = {blocks.mac, blocks.ip};
    if (std::optional<std::string> failure = m_recorder.Record(stage, operation, blocks)) m_failure = *failure;
}

void DeviceHistory::Keep(const history::Blocks& blocks)
{
    if (blocks.network) m_networkRead = {blocks.mac, *blocks.network};
    if (blocks.device) m_deviceRead = {blocks.mac, *blocks.device};
}

history::Blocks DeviceHistory::RecordBefore(const char* operation, const MacAddress& mac, uint32_t chosenIp,
                                            bool network, bool device)
{
    if (!m_recorder.Enabled()) return {mac, chosenIp, std::nullopt, std::nullopt};
    // What this run read from another device says nothing about this one.
    std::optional<NetworkParamsImage> net;
    std::optional<DeviceParams> dev;
    if (network && m_networkRead && m_networkRead->first == mac) net = m_networkRead->second;
    if (device && m_deviceRead && m_deviceRead->first == mac) dev = m_deviceRead->second;
    if ((network && !net) || (device && !dev)) {
        if (const std::optional<history::Event> known = m_recorder.LastKnown(mac)) {
            if (network && !net) net = known->network;
            if (device && !dev && known->device) dev = DecodeDeviceBlock(*known->device);
        }
    }
    // The address its replies came from, as its other events give it.
    const uint32_t ip = m_lastReply && m_lastReply->first == mac ? m_lastReply->second : chosenIp;
    const history::Blocks blocks{mac, ip, net, dev};
    if (std::optional<std::string> failure = m_recorder.Record(history::Stage::Before, operation, blocks))
        m_failure = *failure;
    return blocks;
}

std::string DeviceHistory::TakeFailureLine936()
{
    if (m_failure.empty()) return {};
    std::string line = text::Cp936(QT_TRANSLATE_NOOP("vornik::text", "未能写入历史记录，配置照常进行：")) +
                       text::Cp936(m_failure) + "\r\n";
    m_failure.clear();
    return line;
}

history::Options WindowHistoryOptions()
{
    history::Options options;
    options.busyTimeoutMs = 500;
    return options;
}

} // namespace vornik
