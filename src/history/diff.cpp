#include "history/diff.h"

#include <map>

namespace vornik::history {

std::vector<Change> Diff(const Event& from, const Event& to)
{
    std::vector<Change> changes;
    if (from.network && to.network) {
        for (auto& d : settings::Compare(DecodeNetworkParams(*from.network), DecodeNetworkParams(*to.network)))
            changes.push_back({settings::Block::Network, std::move(d)});
    }
    if (from.device && to.device) {
        for (auto& d : settings::Compare(DecodeDeviceBlock(*from.device), DecodeDeviceBlock(*to.device)))
            changes.push_back({settings::Block::Device, std::move(d)});
    }
    return changes;
}

std::vector<std::vector<Change>> ChangesAlong(const std::vector<Event>& events)
{
    std::map<MacAddress, Event> last; // each device's blocks as last seen
    std::vector<std::vector<Change>> out;
    out.reserve(events.size());
    for (const Event& e : events) {
        auto [it, first] = last.try_emplace(e.mac, e);
        Event& seen = it->second;
        out.push_back(first ? std::vector<Change>() : Diff(seen, e));
        if (e.network) seen.network = e.network;
        if (e.device) seen.device = e.device;
    }
    return out;
}

} // namespace vornik::history
