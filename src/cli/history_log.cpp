#include "cli/history_log.h"

#ifdef VORNIK_HISTORY
#include "history/history.h"
#endif

namespace vornik::cli {

#ifdef VORNIK_HISTORY
struct HistoryLog::Open {
    history::Store store;
};
#else
struct HistoryLog::Open {};
#endif

HistoryLog::HistoryLog(std::string path, bool off, std::string operation, std::function<void(const std::string&)> warn)
    : m_path(std::move(path)), m_off(off), m_operation(std::move(operation)), m_warn(std::move(warn))
{
}

HistoryLog::~HistoryLog() = default;

Recorder HistoryLog::Hook()
{
#ifdef VORNIK_HISTORY
    if (m_off) return {};
    return [this](RecordStage stage, const std::vector<const DeviceResult*>& results) { Record(stage, results); };
#else
    return {};
#endif
}

void HistoryLog::Record(RecordStage stage, const std::vector<const DeviceResult*>& results)
{
#ifdef VORNIK_HISTORY
    if (m_off || m_failed || results.empty()) return;
    auto fail = [this](const std::string& why) {
        m_failed = true;
        if (m_warn) m_warn("the history could not be written (" + why + "); the command goes on without it");
    };
    if (!m_open) {
        const std::string path = m_path.empty() ? history::DefaultPath() : m_path;
        auto opened = history::Store::Open(path);
        if (auto* error = std::get_if<history::Error>(&opened)) return fail(error->message);
        m_open = std::make_unique<Open>(Open{std::move(std::get<history::Store>(opened))});
    }
    const int64_t now = history::NowMs();
    std::vector<history::Event> events;
    for (const DeviceResult* r : results) {
        history::Event& e = events.emplace_back();
        e.timeMs = now;
        e.mac = r->mac;
        e.ip = r->address;
        e.program = "vornikctl";
        e.operation = m_operation;
        e.stage = stage == RecordStage::Before  ? history::Stage::Before
                  : stage == RecordStage::After ? history::Stage::After
                                                : history::Stage::Read;
        if (r->network) e.network = EncodeNetworkParams(*r->network);
        if (r->device) e.device = history::DeviceBlockOf(*r->device);
    }
    if (auto error = m_open->store.RecordAll(events)) fail(error->message);
#else
    (void)stage;
    (void)results;
#endif
}

} // namespace vornik::cli
