// vornikctl's history commands over history files written here, no device
// needed: the listing, table and JSON, against the lines and the document
// as the JSON library prints it whole, for a table of histories; and
// history prune by age, by count and both, which never takes a device's
// last state and, in a dry run, nothing at all.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <set>

#include <nlohmann/json.hpp>

#include "cli_process.h"
#include "history/history.h"
#include "proto/mac_address.h"

namespace vornik::test {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

const MacAddress kA{0x02, 0, 0, 0, 0, 0x0A};
const MacAddress kB{0x02, 0, 0, 0, 0, 0x0B};
constexpr int64_t kT0 = 1767225600000; // 2026-01-01T00:00:00Z
constexpr int64_t kDay = 86400000;

// The blocks of a device whose first server's target port and heartbeat are given.
NetworkParamsImage Network(uint16_t targetPort)
{
    NetworkParams p;
    p.ipAddress = 0x0A000002;
    p.subnetMask = 0xFFFFFF00;
    p.servers[0].targetPort = targetPort;
    return EncodeNetworkParams(p);
}
DeviceBlock Device(uint16_t heartbeat)
{
    DeviceParams p;
    p.heartbeatInterval = heartbeat;
    return EncodeDeviceBlock(p);
}

history::Event At(int64_t timeMs, const MacAddress& mac, history::Stage stage, std::optional<uint16_t> port,
                  std::optional<uint16_t> heartbeat, uint32_t ip = 0x0A000002, const char* program = "vornikctl")
{
    history::Event e;
    e.timeMs = timeMs;
    e.mac = mac;
    e.ip = ip;
    e.program = program;
    e.operation = stage == history::Stage::Read ? "read" : "apply";
    e.stage = stage;
    if (port) e.network = Network(*port);
    if (heartbeat) e.device = Device(*heartbeat);
    return e;
}

class HistoryFiles : public testing::Test {
protected:
    HistoryFiles() { fs::create_directories(m_dir); }
    ~HistoryFiles() override { fs::remove_all(m_dir); }

    void Write(const std::vector<history::Event>& events)
    {
        auto opened = history::Store::Open(m_file);
        ASSERT_TRUE(std::holds_alternative<history::Store>(opened));
        if (!events.empty()) ASSERT_FALSE(std::get<history::Store>(opened).RecordAll(events));
    }
    RunResult Ctl(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--history", m_file});
        return RunProgram(VORNIKCTL_PATH, args);
    }
    std::vector<history::Event> Left()
    {
        auto opened = history::Store::Open(m_file, {.create = false});
        return std::get<std::vector<history::Event>>(std::get<history::Store>(opened).Events({}));
    }

    const fs::path m_dir = fs::path(testing::TempDir()) / ("vornikctl-history-files-" + std::to_string(getpid()));
    const std::string m_file = (m_dir / "h.sqlite").string();
};

// A change as the listing's JSON gives it.
struct Changed {
    const char* block;
    const char* field;
    int from, to;
};

// One event of a history with what its listing line and JSON say of it.
struct Listed {
    history::Event event;
    const char* line; // the table's line after the MAC column's start
    std::vector<Changed> changes;
};

struct ListingCase {
    const char* name;
    std::vector<Listed> events;
    std::string mac; // the listing of one device; its events are those of the MAC
};

const char* const kHead =
    "TIME (UTC)                MAC                IP               PROGRAM       OPERATION         STAGE   CHANGES\n";

std::vector<ListingCase> ListingCases()
{
    using history::Stage;
    return {
        {"AnEmptyHistoryIsItsHeadAlone", {}, ""},
        {"AReadOfBothBlocksChangesNothing",
         {{At(kT0, kA, Stage::Read, 1000, 30),
           "2026-01-01T00:00:00.000Z  02-00-00-00-00-0A  10.0.0.2         vornikctl     read              read    -",
           {}}},
         ""},
        {"AWriteIsItsBlocksBeforeAndWhatItsReadBackChanged",
         {{At(kT0, kA, Stage::Read, 1000, 30),
           "2026-01-01T00:00:00.000Z  02-00-00-00-00-0A  10.0.0.2         vornikctl     read              read    -",
           {}},
          {At(kT0 + 1, kA, Stage::Before, 1000, 30),
           "2026-01-01T00:00:00.001Z  02-00-00-00-00-0A  10.0.0.2         vornikctl     apply             before  (as "
           "read before the write)",
           {}},
          {At(kT0 + 2, kA, Stage::After, 1001, 31),
           "2026-01-01T00:00:00.002Z  02-00-00-00-00-0A  10.0.0.2         vornikctl     apply             after   "
           "server1.target-port 1000 -> 1001, heartbeat-interval 30 -> 31",
           {{"network", "server1.target-port", 1000, 1001}, {"device", "heartbeat-interval", 30, 31}}}},
         ""},
        {"ABlockReadAloneIsComparedWithThatBlockAsLastSeen",
         {{At(kT0, kA, Stage::Read, 1000, 30),
           "2026-01-01T00:00:00.000Z  02-00-00-00-00-0A  10.0.0.2         vornikctl     read              read    -",
           {}},
          {At(kT0 + 1000, kA, Stage::Read, std::nullopt, 45),
           "2026-01-01T00:00:01.000Z  02-00-00-00-00-0A  10.0.0.2         vornikctl     read              read    "
           "heartbeat-interval 30 -> 45",
           {{"device", "heartbeat-interval", 30, 45}}},
          {At(kT0 + 2000, kA, Stage::Read, 1000, std::nullopt),
           "2026-01-01T00:00:02.000Z  02-00-00-00-00-0A  10.0.0.2         vornikctl     read              read    -",
           {}}},
         ""},
        {"EachDeviceAgainstItsOwnBlocksAnUnknownIpAsADash",
         {{At(kT0, kA, Stage::Read, 1000, 30),
           "2026-01-01T00:00:00.000Z  02-00-00-00-00-0A  10.0.0.2         vornikctl     read              read    -",
           {}},
          {At(kT0, kB, Stage::Read, 2000, 30, 0, "Vornik_Setup"),
           "2026-01-01T00:00:00.000Z  02-00-00-00-00-0B  -                Vornik_Setup  read              read    -",
           {}},
          {At(kT0 + 5, kA, Stage::Read, 1000, 30),
           "2026-01-01T00:00:00.005Z  02-00-00-00-00-0A  10.0.0.2         vornikctl     read              read    -",
           {}}},
         ""},
        {"OneDevicesListingLeavesTheOthersOut",
         {{At(kT0, kB, Stage::Read, 2000, 30), nullptr, {}},
          {At(kT0 + 1, kA, Stage::Read, 1000, 30),
           "2026-01-01T00:00:00.001Z  02-00-00-00-00-0A  10.0.0.2         vornikctl     read              read    -",
           {}},
          {At(kT0 + 2, kB, Stage::Read, 2500, 30), nullptr, {}},
          {At(kT0 + 3, kA, Stage::Read, 1200, 30),
           "2026-01-01T00:00:00.003Z  02-00-00-00-00-0A  10.0.0.2         vornikctl     read              read    "
           "server1.target-port 1000 -> 1200",
           {{"network", "server1.target-port", 1000, 1200}}}},
         "02-00-00-00-00-0A"},
    };
}

class Listing : public HistoryFiles, public testing::WithParamInterface<ListingCase> {};

TEST_P(Listing, TheTableAndTheJsonAreAsPrintedWhole)
{
    const ListingCase& c = GetParam();
    std::vector<history::Event> events;
    for (const Listed& l : c.events) events.push_back(l.event);
    Write(events);
    std::vector<std::string> args{"history"};
    if (!c.mac.empty()) args.push_back(c.mac);

    std::string table = kHead;
    Json list = Json::array();
    int64_t id = 0;
    for (const Listed& l : c.events) {
        ++id; // ids as the store gives them: one up from 1, in the order recorded
        if (!l.line) continue;
        table += std::string(l.line) + "\n";
        Json changes = Json::array();
        for (const Changed& ch : l.changes)
            changes.push_back(Json{{"block", ch.block}, {"field", ch.field}, {"old", ch.from}, {"new", ch.to}});
        const history::Event& e = l.event;
        list.push_back(Json{{"id", id},
                            {"time", history::TimeText(e.timeMs)},
                            {"mac", FormatMacText(e.mac)},
                            {"ip", e.ip ? Json(FormatDottedQuad(e.ip)) : Json()},
                            {"program", e.program},
                            {"operation", e.operation},
                            {"stage", history::StageName(e.stage)},
                            {"network", bool(e.network)},
                            {"device", bool(e.device)},
                            {"changes", changes}});
    }
    const RunResult text = Ctl(args);
    EXPECT_EQ(text.exitCode, 0) << text.err;
    EXPECT_EQ(text.out, table);

    args.insert(args.begin(), "--json");
    const RunResult json = Ctl(args);
    EXPECT_EQ(json.exitCode, 0) << json.err;
    const Json whole{{"command", "history"}, {"ok", true}, {"file", m_file}, {"events", list}};
    EXPECT_EQ(json.out, whole.dump(2) + "\n");
}

INSTANTIATE_TEST_SUITE_P(History, Listing, testing::ValuesIn(ListingCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(HistoryFiles, AListingOfAFileThatCannotBeReadSaysWhyAsEveryCommand)
{
    const RunResult r = Ctl({"--json", "history"});
    EXPECT_EQ(r.exitCode, 1);
    const Json doc = Json::parse(r.out);
    EXPECT_EQ(doc["ok"], false);
    EXPECT_EQ(doc["error"]["field"], "--history");
}

// history prune against a history of three devices, days before now:
// A read four times; B once, long ago; C whose network block was read
// alone twice after both blocks were.
struct PruneEvent {
    const char* label;
    MacAddress mac;
    int daysAgo;
    bool network, device;
};
const PruneEvent kPruneHistory[] = {
    {"A-100", kA, 100, true, true}, {"A-50", kA, 50, true, true},   {"A-10", kA, 10, true, true},
    {"A-1", kA, 1, true, true},     {"B-200", kB, 200, true, true}, {"C-90", {2, 0, 0, 0, 0, 0x0C}, 90, true, true},
    {"C-80", {2, 0, 0, 0, 0, 0x0C}, 80, true, false},               {"C-70", {2, 0, 0, 0, 0, 0x0C}, 70, true, false},
};

struct PruneCase {
    const char* name;
    std::vector<std::string> options;
    std::set<std::string> left;
    size_t removed;
};

const PruneCase kPruneCases[] = {
    // B's only event and C's last device block (C-90) and last network block (C-70) are each a last state.
    {"AgeOnly", {"--older-than", "30d"}, {"A-10", "A-1", "B-200", "C-90", "C-70"}, 3},
    {"KeepOnly", {"--keep", "1"}, {"A-1", "B-200", "C-90", "C-70"}, 4},
    // Gone only where neither rule keeps it: A-100 is old and not among A's last three.
    {"BothKeepWhatEitherKeeps", {"--older-than", "30d", "--keep", "3"}, {"A-50", "A-10", "A-1", "B-200", "C-90", "C-80", "C-70"}, 1},
    {"TheLastStateOfADeviceIsNeverRemoved", {"--keep", "0", "--older-than", "0s"}, {"A-1", "B-200", "C-90", "C-70"}, 4},
    {"DryRunRemovesNothing", {"--older-than", "30d", "--dry-run"},
     {"A-100", "A-50", "A-10", "A-1", "B-200", "C-90", "C-80", "C-70"}, 3},
};

class Prune : public HistoryFiles, public testing::WithParamInterface<PruneCase> {};

TEST_P(Prune, RemovesWhatNoRuleKeeps)
{
    const PruneCase& c = GetParam();
    const int64_t now = history::NowMs();
    std::vector<history::Event> events;
    std::map<int64_t, std::string> labelAt;
    for (const PruneEvent& p : kPruneHistory) {
        const int64_t t = now - int64_t(p.daysAgo) * kDay;
        events.push_back(At(t, p.mac, history::Stage::Read, p.network ? std::optional<uint16_t>(uint16_t(p.daysAgo)) : std::nullopt,
                            p.device ? std::optional<uint16_t>(uint16_t(p.daysAgo)) : std::nullopt));
        labelAt[t] = p.label;
    }
    Write(events);
    std::vector<std::string> args{"--json", "history", "prune"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const RunResult r = Ctl(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Json doc = Json::parse(r.out);
    EXPECT_EQ(doc["removed"], c.removed);
    EXPECT_EQ(doc["kept"], std::size(kPruneHistory) - c.removed);
    size_t listed = 0;
    for (const Json& d : doc["devices"]) listed += d["removed"].get<size_t>();
    EXPECT_EQ(listed, c.removed);

    std::set<std::string> left;
    for (const history::Event& e : Left()) left.insert(labelAt[e.timeMs]);
    EXPECT_EQ(left, c.left);
}

INSTANTIATE_TEST_SUITE_P(History, Prune, testing::ValuesIn(kPruneCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(HistoryFiles, PruneRefusesWhatItCannotTakeBeforeOpeningTheFile)
{
    Write({At(kT0, kA, history::Stage::Read, 1000, 30)});
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"history", "prune"},                        // no rule
             {"history", "prune", "--older-than", "30"},  // no unit
             {"history", "prune", "--older-than", "x1d"},
             {"history", "prune", "--older-than", "-1d"},
             {"history", "prune", "--keep", "-1"}}) {
        const RunResult r = Ctl(args);
        EXPECT_EQ(r.exitCode, 2) << args.back() << r.out << r.err;
    }
    EXPECT_EQ(Left().size(), 1u);
}

} // namespace
} // namespace vornik::test
