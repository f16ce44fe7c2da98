// Where the window's reads and writes go to be kept: the settings history
// that vornikctl shares, or nothing. The operations only hand events over;
// a history that cannot take one must never hold a configuration up.
#pragma once

#include <optional>
#include <string>

#include "history/event.h"

namespace vornik {

class IHistorySink {
public:
    virtual ~IHistorySink() = default;
    // Keeps the event (its time set here); why not (UTF-8, one line) when it could not.
    virtual std::optional<std::string> Record(const history::Event& event) = 0;
    // The device's blocks as last kept, each from the last event that holds it;
    // nothing when none is known or the history cannot be read.
    virtual std::optional<history::Event> LastKnown(const MacAddress& mac) = 0;
};

} // namespace vornik
