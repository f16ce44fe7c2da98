#include "history/diff.h"

namespace vornik::history {

std::vector<Change> Diff(const Event& from, const Event& to)
{
    std::vector<Change> changes;
    // Most events of a history are reads of blocks unchanged since the last:
    // the same bytes hold the same values, and comparing them field by field
    // (texts converted from code page 936) is most of a listing's cost.
    if (from.network && to.network && *from.network != *to.network) {
        for (auto& d : settings::Compare(DecodeNetworkParams(*from.network), DecodeNetworkParams(*to.network)))
            changes.push_back({settings::Block::Network, std::move(d)});
    }
    if (from.device && to.device && *from.device != *to.device) {
        for (auto& d : settings::Compare(DecodeDeviceBlock(*from.device), DecodeDeviceBlock(*to.device)))
            changes.push_back({settings::Block::Device, std::move(d)});
    }
    return changes;
}

void ChangeTracker::Seed(const Event& state) { m_last.insert_or_assign(state.mac, state); }

std::vector<Change> ChangeTracker::Next(const Event& e)
{
    auto [it, first] = m_last.try_emplace(e.mac, e);
    if (first) return {};
    Event& seen = it->second;
    std::vector<Change> changes = Diff(seen, e);
    if (e.network) seen.network = e.network;
    if (e.device) seen.device = e.device;
    return changes;
}

std::vector<std::vector<Change>> ChangesAlong(const std::vector<Event>& events)
{
    ChangeTracker tracker;
    std::vector<std::vector<Change>> out;
    out.reserve(events.size());
    for (const Event& e : events) out.push_back(tracker.Next(e));
    return out;
}

} // namespace vornik::history
