// What the window's operations keep in the history: each read, and each
// write's blocks before and after it, with the failure of a history that
// cannot be written said once, in the lines of the operation it belongs to.
#pragma once

#include <optional>
#include <string_view>
#include <string>
#include <utility>

#include "history/recorder.h"
#include "history/store.h"

namespace vornik {

// An operation's name as the history holds it ("write-network", vornikctl's
// "net set") in the operator's words (code page 936); a name the table does
// not know as it is.
std::string OperationName936(std::string_view operation);

// How a window opens the history: its thread waits while another program
// holds the file, but not long, since a history left out costs one line and
// a frozen window costs the operator.
history::Options WindowHistoryOptions();

class DeviceHistory {
public:
    // None: nothing is kept. Must outlive the operations.
    void SetSink(history::Sink* sink) { m_recorder.SetSink(sink); }
    bool Enabled() const { return m_recorder.Enabled(); }
    // A new operation: a failure is said again in its lines.
    void StartOperation() { m_recorder.StartOperation(); }

    // A block a device gave, kept for this run whether or not a history is:
    // a write's "before" is the block the device gave last.
    void Keep(const history::Blocks& blocks);
    // Kept, and recorded: a read, or the read-back after a write.
    void Record(history::Stage stage, const char* operation, const history::Blocks& blocks);
    // The blocks a write replaces, kept before it is sent: as read from the
    // device `mac` in this run, or else as the history last knew them.
    // `chosenIp`: the address of the row chosen, when no reply of it was kept.
    // The blocks recorded (none when no history is kept).
    history::Blocks RecordBefore(const char* operation, const MacAddress& mac, uint32_t chosenIp, bool network,
                                 bool device);

    // The line for a failure not said yet (code page 936, "\r\n"); empty when none.
    std::string TakeFailureLine936();

private:
    history::Recorder m_recorder{"Vornik_Setup"};
    // The blocks each as last read in this run, every byte, and whose they are.
    std::optional<std::pair<MacAddress, NetworkParamsImage>> m_networkRead;
    std::optional<std::pair<MacAddress, DeviceParams>> m_deviceRead;
    std::optional<std::pair<MacAddress, uint32_t>> m_lastReply; // whose reply was kept last, and from where
    std::string m_failure; // UTF-8, waiting to be said
};

} // namespace vornik
