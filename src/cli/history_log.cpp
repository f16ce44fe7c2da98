#include "cli/history_log.h"

#ifdef VORNIK_HISTORY
#include "history/store.h"
#include "history/store_file.h"
#endif

namespace vornik::cli {

HistoryLog::HistoryLog(std::string path, bool off, std::string operation, std::function<void(const std::string&)> warn)
    : m_operation(std::move(operation)), m_warn(std::move(warn))
{
#ifdef VORNIK_HISTORY
    if (off) return;
    // Opened at the first record, so a command that reads nothing leaves no file.
    m_file = std::make_unique<history::StoreFile>(path.empty() ? history::DefaultPath() : path);
    m_recorder.SetSink(m_file.get());
#else
    (void)path;
    (void)off;
#endif
}

HistoryLog::~HistoryLog() = default;

HistoryHook HistoryLog::Hook()
{
    if (!m_recorder.Enabled()) return {};
    return [this](history::Stage stage, const std::vector<const DeviceResult*>& results) { Record(stage, results); };
}

std::function<std::optional<engine::Written>(const MacAddress&)> HistoryLog::Recorded()
{
    if (!m_recorder.Enabled()) return {};
    return [this](const MacAddress& mac) -> std::optional<engine::Written> {
        const std::optional<history::Event> known = m_recorder.LastKnown(mac);
        if (!known) return std::nullopt;
        engine::Written blocks;
        if (known->network) blocks.network = DecodeNetworkParams(*known->network);
        if (known->device) blocks.device = DecodeDeviceBlock(*known->device);
        return blocks;
    };
}

void HistoryLog::Record(history::Stage stage, const std::vector<const DeviceResult*>& results)
{
    std::vector<history::Blocks> blocks;
    blocks.reserve(results.size());
    for (const DeviceResult* r : results)
        blocks.push_back({r->mac, r->address, r->network ? std::optional(EncodeNetworkParams(*r->network)) : std::nullopt,
                          r->device});
    const auto failure = m_recorder.Record(stage, m_operation, blocks);
    if (failure && m_warn) m_warn("the history could not be written (" + *failure + "); the command goes on without it");
}

} // namespace vornik::cli
