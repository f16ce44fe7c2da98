#include "history/recorder.h"

#include <algorithm>
#include <vector>

#include "history/time_text.h"

namespace vornik::history {

std::optional<std::string> Recorder::Record(Stage stage, std::string_view operation, std::span<const Blocks> devices)
{
    if (!m_sink) return std::nullopt;
    const int64_t now = NowMs();
    // Kept a share at a time: the events of a batch of thousands of devices
    // are not all built before the first is stored.
    constexpr size_t kShare = 1024;
    std::optional<std::string> failure;
    std::vector<Event> events;
    events.reserve(std::min(devices.size(), kShare));
    const auto keep = [&] {
        if (events.empty()) return;
        if (auto failed = m_sink->Keep(events); failed && !failure) failure = std::move(failed);
        events.clear();
    };
    for (const Blocks& d : devices) {
        if (events.size() == kShare) keep();
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
    keep();
    if (!failure || m_failureSaid) return std::nullopt;
    m_failureSaid = true;
    return failure;
}

} // namespace vornik::history
