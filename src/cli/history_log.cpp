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

RecordedBlocks HistoryLog::Recorded()
{
    if (!m_recorder.Enabled()) return {};
    return [this](const std::vector<MacAddress>& macs) {
        std::vector<std::optional<engine::Written>> blocks(macs.size());
        const std::vector<std::optional<history::Event>> known = m_recorder.LastKnownOf(macs);
        for (size_t i = 0; i < known.size() && i < macs.size(); ++i) {
            if (!known[i]) continue;
            engine::Written& b = blocks[i].emplace();
            if (known[i]->network) b.network = DecodeNetworkParams(*known[i]->network);
            if (known[i]->device) b.device = DecodeDeviceBlock(*known[i]->device);
        }
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
