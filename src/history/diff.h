// What changed from one recorded event to the next. No Qt, no SQLite.
#pragma once

#include <map>
#include <vector>

#include "history/event.h"
#include "settings/fields.h"

namespace vornik::history {

// Field by field through the settings table (bytes no field shows as hex); a
// block missing on either side is not compared.
struct Change {
    settings::Block block;
    settings::Difference difference;
};
std::vector<Change> Diff(const Event& from, const Event& to);
// For each event (in the order Events gives them), what changed since the
// blocks its device last showed before it; a device's first block has none.
std::vector<std::vector<Change>> ChangesAlong(const std::vector<Event>& events);

// The same, one event at a time: it keeps each device's blocks as last
// seen, never the events, so a listing of any length holds one device's
// worth per device.
class ChangeTracker {
public:
    // The device's blocks as they stood before the first of its events that
    // Next is given: for a listing that starts part way through a history.
    void Seed(const Event& state);
    std::vector<Change> Next(const Event& event);

private:
    std::map<MacAddress, Event> m_last;
};

} // namespace vornik::history
