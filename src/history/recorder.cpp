#include "history/recorder.h"

#include <vector>

#include "history/time_text.h"

namespace vornik::history {

std::optional<std::string> Recorder::Record(Stage stage, std::string_view operation, std::span<const Blocks> devices)
{
    if (!m_sink) return std::nullopt;
    const int64_t now = NowMs();
    std::vector<Event> events;
    events.reserve(devices.size());
    for (const Blocks& d : devices) {
        if (!d.network && !d.device) continue;
        Event& e = events.emplace_back();
        e.timeMs = now;
        e.mac = d.mac;
        e.ip = d.ip;
        e.program = m_program;
        e.operation = std::string(operation);
        e.stage = stage;
        e.network = d.network;
        // Every byte of the block is a field, so these are the bytes the device sent.
        if (d.device) e.device = EncodeDeviceBlock(*d.device);
    }
    if (events.empty()) return std::nullopt;
    std::optional<std::string> failure = m_sink->Keep(events);
    if (!failure || m_failureSaid) return std::nullopt;
    m_failureSaid = true;
    return failure;
}

} // namespace vornik::history
