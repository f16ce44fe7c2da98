// vornikctl's side of the settings history: the file --history and
// --no-history name, and the jobs' blocks handed to the shared recorder. A
// history that cannot be written is said in one line and the command goes on.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "cli/jobs.h"
#include "history/recorder.h"

namespace vornik::cli {

class HistoryLog {
public:
    // `path` empty: the default file; `off`: nothing is recorded. `warn`
    // gets the one line that says the history could not be written.
    HistoryLog(std::string path, bool off, std::string operation, std::function<void(const std::string&)> warn);
    ~HistoryLog();

    // The jobs' hook, or an empty one when nothing is recorded.
    HistoryHook Hook();
    void Record(history::Stage stage, const std::vector<const DeviceResult*>& results);
    // The blocks last recorded for each device, or an empty function when nothing is recorded.
    RecordedBlocks Recorded();

private:
    std::string m_operation;
    std::function<void(const std::string&)> m_warn;
    std::unique_ptr<history::Sink> m_file; // the history's file; none: nothing is recorded
    history::Recorder m_recorder{"vornikctl"};
};

} // namespace vornik::cli
