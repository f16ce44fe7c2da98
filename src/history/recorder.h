// The one way a program records into the settings history: the window's
// operations and vornikctl's jobs hand over a device's blocks at one moment
// of an operation, and the recorder builds the events, stamps them and says
// a failure once. A history that cannot take an event never holds a
// configuration up.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "history/event.h"
#include "history/sink.h"

namespace vornik::history {

// One device's blocks as it sent them; either may be absent when the
// operation did not read it.
struct Blocks {
    MacAddress mac{};
    uint32_t ip = 0; // the address it answered from; 0 unknown
    std::optional<NetworkParamsImage> network;
    std::optional<DeviceParams> device;
};

class Recorder {
public:
    // `program` names who recorded ("vornikctl", "Vornik_Setup"); no sink: nothing is recorded.
    explicit Recorder(std::string program, Sink* sink = nullptr) : m_program(std::move(program)), m_sink(sink) {}

    void SetSink(Sink* sink) { m_sink = sink; }
    bool Enabled() const { return m_sink != nullptr; }

    // One event per device that holds a block, stamped with one time and
    // handed to the sink in shares of at most 1,024, each kept whole or not
    // at all. Why not, the first time it fails within an operation;
    // nothing afterwards, so the operator reads it once.
    std::optional<std::string> Record(Stage stage, std::string_view operation, std::span<const Blocks> devices);
    std::optional<std::string> Record(Stage stage, std::string_view operation, const Blocks& device)
    {
        return Record(stage, operation, std::span<const Blocks>(&device, 1));
    }
    std::optional<Event> LastKnown(const MacAddress& mac) { return m_sink ? m_sink->LastKnown(mac) : std::nullopt; }
    std::vector<std::optional<Event>> LastKnownOf(std::span<const MacAddress> macs)
    {
        return m_sink ? m_sink->LastKnownOf(macs) : std::vector<std::optional<Event>>(macs.size());
    }

    // A new operation: its first failure is said again.
    void StartOperation() { m_failureSaid = false; }

private:
    std::string m_program;
    Sink* m_sink = nullptr;
    bool m_failureSaid = false;
};

} // namespace vornik::history
