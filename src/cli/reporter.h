// How vornikctl tells what happened: one JSON document on stdout with --json,
// a table otherwise, and progress on stderr.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cli/context.h"
#include "cli/jobs.h"
#include "cli/spool.h"
#include "proto/mac_address.h"

namespace vornik::cli {

using settings::Json;

// Arguments are the user's bytes and may not be UTF-8; they are echoed in errors.
void Emit(const Json& doc);
// A failure of the whole command rather than of one device.
Json ErrorDoc(const std::string& command, const std::string& field, const std::string& message);

Json FoundJson(const FoundDevice& found);
// `changes`: the result lists the fields its write changes (empty when none).
Json ResultJson(const DeviceResult& result, bool changes = false);

// The devices a search found, as a table or JSON.
// With `expect`, fewer devices found is a failure, said on stderr.
void ReportFound(const Context& context, const std::vector<FoundDevice>& found, size_t expect = 0);
// A search in the global --tries rounds; each round's count is a note on stderr.
SearchPlan SearchPlanFor(const Client& client, size_t expect);
// The per-device results and the exit code; `details` prints more of each
// confirmed device before the table.
// `failure`, when given, fails the whole command over and above the devices.
int ReportResults(const Context& context, const std::vector<DeviceResult>& results,
                  const std::function<void(const DeviceResult&)>& details = {}, const std::string& failure = "");

// ReportResults told one device at a time: each device's part is made as it
// comes and spooled, not kept, and printed after the counts that head it, so
// a fleet's report costs no memory of its own.
class ResultReport {
public:
    // `details` prints at once, as each confirmed device is added; `makeFile`
    // makes the spool's file (none: the system's temporary file).
    explicit ResultReport(const Context& context, std::function<void(const DeviceResult&)> details = {},
                          std::FILE* (*makeFile)() = nullptr);
    void Add(const DeviceResult& result);
    size_t Count() const { return m_count; }
    // Prints the report; the exit code.
    int Finish(const std::string& failure = "");

private:
    const Context& m_context;
    std::function<void(const DeviceResult&)> m_details;
    size_t m_count = 0, m_confirmed = 0, m_unchanged = 0, m_changed = 0;
    Spool m_devices; // each device's part, in order
};

// One block's fields, name and value, a line each.
// A device's text as a table shows it: control characters escaped.
std::string TableText(const std::string& text);
void PrintFields(const NetworkParams& params);
void PrintFields(const DeviceParams& params);

// A line (or a bar on a terminal) per device as its result settles.
Progress LineProgress(const Globals& globals, size_t total);

} // namespace vornik::cli
