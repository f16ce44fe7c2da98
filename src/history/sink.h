// Where recorded events go to be kept: the history's file, or a test's memory.
// Plain interface, so that the window's operations record without knowing
// the store behind them.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "history/event.h"

namespace vornik::history {

class Sink {
public:
    virtual ~Sink() = default;
    // Keeps the events, all of them or none; why not (UTF-8, one line) when it could not.
    virtual std::optional<std::string> Keep(std::span<const Event> events) = 0;
    // The device's blocks as last kept, each from the last event that holds it;
    // nothing when none is known or the history cannot be read.
    virtual std::optional<Event> LastKnown(const MacAddress& mac) = 0;
    // LastKnown of each device, in their order; a file reads them all at once.
    virtual std::vector<std::optional<Event>> LastKnownOf(std::span<const MacAddress> macs)
    {
        std::vector<std::optional<Event>> known;
        for (const MacAddress& mac : macs) known.push_back(LastKnown(mac));
        return known;
    }
};

} // namespace vornik::history
