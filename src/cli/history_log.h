// vornikctl's side of the settings history: the store opened as --history
// and --no-history say, and the jobs' blocks recorded into it. A history that
// cannot be written is said in one line and the command goes on.
#pragma once

#include <memory>
#include <string>

#include "cli/jobs.h"

namespace vornik::cli {

class HistoryLog {
public:
    // `path` empty: the default file; `off`: nothing is recorded. `warn`
    // gets the one line that says the history could not be written.
    HistoryLog(std::string path, bool off, std::string operation, std::function<void(const std::string&)> warn);
    ~HistoryLog();

    // The jobs' hook, or an empty one when nothing is recorded.
    Recorder Hook();
    void Record(RecordStage stage, const std::vector<const DeviceResult*>& results);

private:
    struct Open;
    std::string m_path;
    bool m_off;
    std::string m_operation;
    std::function<void(const std::string&)> m_warn;
    std::unique_ptr<Open> m_open; // opened at the first record
    bool m_failed = false;        // said once; nothing more is tried
};

} // namespace vornik::cli
