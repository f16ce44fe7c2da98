// The history store where it must not stop a configuration: damaged,
// foreign, newer, locked and full files, two programs writing at once, the
// layouts it brings up to date. Its diff and queries are checked through
// vornikctl (tests/cli/test_cli_history.cpp) against simulated devices.
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>
#include <vector>

#include "history/history.h"

using namespace vornik;
using namespace vornik::history;
namespace fs = std::filesystem;

namespace {

// A folder of the test's own; `path` is its history file.
struct Folder {
    Folder() { fs::create_directories(dir); }
    ~Folder() { fs::remove_all(dir); }
    static inline int made = 0;
    const std::string dir = testing::TempDir() + "vornik-history-" + std::to_string(::getpid()) + "-" + std::to_string(++made);
    const std::string path = dir + "/h.sqlite";
};

// A second program's connection, without the store.
struct RawDb {
    explicit RawDb(const std::string& path) { sqlite3_open(path.c_str(), &db); }
    ~RawDb() { sqlite3_close(db); }
    int Exec(const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }
    int64_t Number(const char* sql)
    {
        sqlite3_stmt* s = nullptr;
        int64_t v = -1;
        if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
            v = sqlite3_column_int64(s, 0);
        sqlite3_finalize(s);
        return v;
    }
    sqlite3* db = nullptr;
};

std::string ReadAll(const std::string& path)
{
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

Event AnEvent(int64_t timeMs, const char* program = "vornikctl")
{
    Event e;
    e.timeMs = timeMs;
    e.mac = {0x02, 0x5A, 0xC3, 0x00, 0x00, 0x01};
    e.program = program;
    e.operation = "read";
    e.network.emplace().fill(0);
    return e;
}

size_t Count(const Store& store) { return std::get<std::vector<Event>>(store.Events({})).size(); }

// Each row makes the file (or folder) at `path` as another program left it.
struct BadFile {
    const char* name;
    std::function<std::string(const Folder&)> make; // the path to open
    Status status;
};
class BadFiles : public testing::TestWithParam<BadFile> {};

TEST_P(BadFiles, AnswerWithAnErrorNamingTheFileAndLeaveItAsItWas)
{
    Folder f;
    const std::string path = GetParam().make(f);
    const std::string before = ReadAll(path);
    auto opened = Store::Open(path);
    ASSERT_TRUE(std::holds_alternative<Error>(opened));
    const Error& error = std::get<Error>(opened);
    EXPECT_EQ(error.status, GetParam().status) << error.message;
    EXPECT_EQ(error.message.find('\n'), std::string::npos);
    EXPECT_NE(error.message.find(path), std::string::npos) << error.message;
    if (fs::is_regular_file(path)) EXPECT_EQ(ReadAll(path), before) << "the file was changed";
}

std::string Written(const Folder& f, const std::string& bytes)
{
    std::ofstream(f.path, std::ios::binary) << bytes;
    return f.path;
}
std::string ByAnother(const Folder& f, const char* sql)
{
    RawDb(f.path).Exec(sql);
    return f.path;
}

INSTANTIATE_TEST_SUITE_P(
    Open, BadFiles,
    testing::Values(
        BadFile{"TextFile", [](const Folder& f) { return Written(f, std::string(4096, 'x')); }, Status::Damaged},
        // A database's first 16 bytes, a page size of 3 (no power of two), garbage.
        BadFile{"HeaderThenGarbage", [](const Folder& f) { return Written(f, std::string("SQLite format 3\0\0\3", 18) + "xyz"); },
                Status::Damaged},
        BadFile{"FolderIsAFile", [](const Folder& f) { return Written(f, "x") + "/h.sqlite"; }, Status::CannotOpen},
        BadFile{"LaterLayout",
                [](const Folder& f) {
                    return ByAnother(f, "CREATE TABLE schema_version (version INTEGER NOT NULL);"
                                        "INSERT INTO schema_version VALUES (2)");
                },
                Status::TooNew},
        BadFile{"SomeoneElsesDatabase", [](const Folder& f) { return ByAnother(f, "CREATE TABLE invoices (n INTEGER)"); },
                Status::Foreign}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Locked, AWriterHoldingTheLockGivesLockedAfterTheTimeoutWhileReadingGoesOn)
{
    Folder f;
    auto store = std::get<Store>(Store::Open(f.path, Options{.busyTimeoutMs = 200}));
    ASSERT_TRUE(std::holds_alternative<int64_t>(store.Record(AnEvent(1))));
    RawDb other(f.path);
    ASSERT_EQ(other.Exec("BEGIN IMMEDIATE"), SQLITE_OK);
    const auto start = std::chrono::steady_clock::now();
    const auto recorded = store.Record(AnEvent(2));
    const auto waited = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(std::holds_alternative<Error>(recorded));
    EXPECT_EQ(std::get<Error>(recorded).status, Status::Locked) << std::get<Error>(recorded).message;
    EXPECT_GE(waited, std::chrono::milliseconds(150));
    EXPECT_LT(waited, std::chrono::seconds(10));
    EXPECT_EQ(Count(store), 1u);
    ASSERT_EQ(other.Exec("COMMIT"), SQLITE_OK);
    ASSERT_TRUE(std::holds_alternative<int64_t>(store.Record(AnEvent(3))));
    EXPECT_EQ(Count(store), 2u);
}

// A statement refused inside the transaction (here by a trigger another
// program put in) leaves the transaction to the store to end: one left open
// would hold every other program's write lock until this one exits.
TEST(Refused, ARecordThatFailsHalfWayLeavesNoTransactionOpen)
{
    Folder f;
    auto store = std::get<Store>(Store::Open(f.path, Options{.busyTimeoutMs = 200}));
    ASSERT_TRUE(std::holds_alternative<int64_t>(store.Record(AnEvent(1))));
    RawDb other(f.path);
    ASSERT_EQ(other.Exec("CREATE TRIGGER refuse BEFORE INSERT ON events WHEN NEW.operation = 'refused'"
                         " BEGIN SELECT RAISE(ABORT, 'refused'); END"),
              SQLITE_OK);
    Event refused = AnEvent(2);
    refused.operation = "refused";
    const std::vector<Event> batch{AnEvent(3), refused};
    ASSERT_TRUE(store.RecordAll(batch).has_value());
    // Another connection writes at once, not after the busy timeout.
    sqlite3_busy_timeout(other.db, 0);
    EXPECT_EQ(other.Exec("DELETE FROM events WHERE time_ms = 12345"), SQLITE_OK) << sqlite3_errmsg(other.db);
    EXPECT_EQ(other.Number("SELECT COUNT(*) FROM events"), 1) << "no half batch";
    ASSERT_TRUE(std::holds_alternative<int64_t>(store.Record(AnEvent(4))));
    EXPECT_EQ(Count(store), 2u);
}

// Many devices' states read at once, as a write of a batch asks them: each
// its own, each block from the last event that holds it, in the order asked;
// an event no program could have recorded fails the read and leaves no
// transaction open.
TEST(States, ManyDevicesReadAtOnceAreEachTheirOwn)
{
    Folder f;
    auto store = std::get<Store>(Store::Open(f.path));
    const MacAddress a{0x02, 0, 0, 0, 0, 0x0A}, b{0x02, 0, 0, 0, 0, 0x0B}, never{0x02, 0, 0, 0, 0, 0x0C};
    std::vector<Event> events(3, AnEvent(0));
    events[0].timeMs = 1, events[0].mac = a, events[0].network->fill(0x11), events[0].device.emplace().fill(0x21);
    events[1].timeMs = 2, events[1].mac = a, events[1].network->fill(0x12); // a network write only
    events[2].timeMs = 3, events[2].mac = b, events[2].network.reset(), events[2].device.emplace().fill(0x23);
    ASSERT_EQ(store.RecordAll(events), std::nullopt);
    // Each state as the first byte of its network and device block ("-" for none), "none" for no state.
    const auto shown = [](const std::optional<Event>& e) -> std::string {
        if (!e) return "none";
        return (e->network ? std::to_string((*e->network)[0]) : "-") + "/" + (e->device ? std::to_string((*e->device)[0]) : "-");
    };
    const struct { const char* name; int64_t at; std::vector<MacAddress> macs; std::vector<std::string> want; } rows[] = {
        {"after every event, one device twice", 10, {never, a, b, a}, {"none", "18/33", "-/35", "18/33"}},
        {"between the events", 2, {b, a}, {"none", "18/33"}},
        {"before the first", 0, {a}, {"none"}},
        {"none asked", 10, {}, {}},
    };
    for (const auto& row : rows) {
        auto states = store.StatesAt(row.macs, row.at);
        ASSERT_TRUE(std::holds_alternative<std::vector<std::optional<Event>>>(states)) << row.name;
        std::vector<std::string> got;
        for (const auto& e : std::get<std::vector<std::optional<Event>>>(states)) got.push_back(shown(e));
        EXPECT_EQ(got, row.want) << row.name;
    }
    RawDb other(f.path);
    ASSERT_EQ(other.Exec("UPDATE events SET device = x'00' WHERE time_ms = 3"), SQLITE_OK);
    const auto damaged = store.StatesAt(std::vector<MacAddress>{a, b}, 10);
    ASSERT_TRUE(std::holds_alternative<Error>(damaged));
    EXPECT_EQ(std::get<Error>(damaged).status, Status::Damaged);
    EXPECT_TRUE(std::holds_alternative<int64_t>(store.Record(AnEvent(4)))) << "the read left a transaction open";
}

// A prune however it ends, a dry run and one that finds nothing to remove
// included, holds no transaction after it: another program writes at once.
// Five events of one device, one a millisecond; the numbers are worked out by
// hand from which of them each rule keeps.
TEST(Prune, EndsItsTransactionHoweverItEnds)
{
    const struct {
        const char* name;
        PruneRule rule;
        bool dryRun;
        size_t removed, kept, left; // left: events in the file after
        int64_t fromMs, toMs;       // the first and last removed
    } rows[] = {
        {"a dry run", PruneRule{.keepLast = 2}, true, 3, 2, 5, 1, 3},
        {"nothing to remove", PruneRule{.keepLast = 10}, false, 0, 5, 5, 0, 0},
        {"the last two kept", PruneRule{.keepLast = 2}, false, 3, 2, 2, 1, 3},
        {"those from the fourth millisecond kept", PruneRule{.keepFromMs = 4}, false, 3, 2, 2, 1, 3},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Folder f;
        auto store = std::get<Store>(Store::Open(f.path, Options{.busyTimeoutMs = 200}));
        for (int64_t t = 1; t <= 5; ++t) ASSERT_TRUE(std::holds_alternative<int64_t>(store.Record(AnEvent(t))));
        const auto pruned = store.Prune(row.rule, row.dryRun);
        ASSERT_TRUE(std::holds_alternative<PruneSummary>(pruned)) << std::get<Error>(pruned).message;
        const PruneSummary& summary = std::get<PruneSummary>(pruned);
        EXPECT_EQ(summary.removed, row.removed);
        EXPECT_EQ(summary.kept, row.kept);
        ASSERT_EQ(summary.devices.size(), row.removed ? 1u : 0u);
        if (row.removed) {
            EXPECT_EQ(summary.devices[0].removed, row.removed);
            EXPECT_EQ(summary.devices[0].fromMs, row.fromMs);
            EXPECT_EQ(summary.devices[0].toMs, row.toMs);
        }
        EXPECT_EQ(Count(store), row.left);
        RawDb other(f.path);
        sqlite3_busy_timeout(other.db, 0);
        EXPECT_EQ(other.Exec("BEGIN IMMEDIATE"), SQLITE_OK) << "the prune left its transaction open";
        EXPECT_EQ(other.Exec("COMMIT"), SQLITE_OK);
        EXPECT_TRUE(std::holds_alternative<int64_t>(store.Record(AnEvent(6))));
    }
}

// Events of one millisecond are in the order they were recorded: the state
// is the later one's, whichever block it holds.
TEST(States, OfOneMillisecondTheLaterRecordedIsTheState)
{
    const struct {
        const char* name;
        bool firstNetwork, firstDevice, laterNetwork, laterDevice;
        const char* want; // the state's program, then its blocks' first bytes
    } rows[] = {
        {"a network read, then a device read", true, false, false, true, "later 17/34"},
        {"a device read, then a network read", false, true, true, false, "later 18/33"},
        {"both, then the network again", true, true, true, false, "later 18/33"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Folder f;
        auto store = std::get<Store>(Store::Open(f.path));
        std::vector<Event> events(2, AnEvent(7));
        events[0].program = "first", events[1].program = "later";
        const auto blocks = [](Event& e, bool network, bool device, uint8_t n, uint8_t d) {
            e.network.reset();
            if (network) e.network.emplace().fill(n);
            if (device) e.device.emplace().fill(d);
        };
        blocks(events[0], row.firstNetwork, row.firstDevice, 0x11, 0x21);
        blocks(events[1], row.laterNetwork, row.laterDevice, 0x12, 0x22);
        ASSERT_EQ(store.RecordAll(events), std::nullopt);
        for (const auto& state : {store.StateAt(events[0].mac, 7), store.StateAt(events[0].mac, 8)}) {
            const auto& e = std::get<std::optional<Event>>(state);
            ASSERT_TRUE(e.has_value());
            EXPECT_EQ(e->program + " " + (e->network ? std::to_string((*e->network)[0]) : "-") + "/" +
                          (e->device ? std::to_string((*e->device)[0]) : "-"),
                      row.want);
        }
        const auto many = store.StatesAt(std::vector<MacAddress>{events[0].mac}, 7);
        ASSERT_TRUE(std::holds_alternative<std::vector<std::optional<Event>>>(many));
        ASSERT_TRUE(std::get<std::vector<std::optional<Event>>>(many)[0].has_value());
        EXPECT_EQ(std::get<std::vector<std::optional<Event>>>(many)[0]->program, "later");
    }
}

TEST(Full, AStoreAtItsLimitAnswersFullKeepsWhatItHeldAndStoresNoHalfBatch)
{
    Folder f;
    auto store = std::get<Store>(Store::Open(f.path, Options{.maxBytes = 64 * 1024}));
    size_t recorded = 0;
    std::optional<Error> error;
    // 64 KiB hold about 200 events of 292 bytes, far fewer than 5000.
    while (!error && recorded < 5000) {
        auto r = store.Record(AnEvent(int64_t(recorded)));
        if (auto* e = std::get_if<Error>(&r)) error = *e;
        else ++recorded;
    }
    ASSERT_TRUE(error.has_value()) << "never full";
    EXPECT_EQ(error->status, Status::Full) << error->message;
    EXPECT_EQ(Count(store), recorded);
    const std::vector<Event> batch(20, AnEvent(9999));
    ASSERT_TRUE(store.RecordAll(batch).has_value());
    EXPECT_EQ(Count(store), recorded);
}

TEST(TwoWriters, OpeningAFreshFileAndRecordingAtOnceLosesNoEvent)
{
    Folder f;
    constexpr int kEach = 150;
    std::atomic<bool> go{false};
    auto writer = [&](const char* program) {
        while (!go.load()) std::this_thread::yield();
        auto opened = Store::Open(f.path, Options{.busyTimeoutMs = 10000});
        ASSERT_TRUE(std::holds_alternative<Store>(opened)) << std::get<Error>(opened).message;
        for (int i = 0; i < kEach; ++i) {
            const auto r = std::get<Store>(opened).Record(AnEvent(i, program));
            EXPECT_TRUE(std::holds_alternative<int64_t>(r)) << std::get<Error>(r).message;
        }
    };
    std::thread a(writer, "vornikctl"), b(writer, "Vornik_Setup");
    go = true;
    a.join();
    b.join();
    RawDb check(f.path);
    EXPECT_EQ(check.Number("SELECT count(*) FROM events WHERE program = 'vornikctl'"), kEach);
    EXPECT_EQ(check.Number("SELECT count(*) FROM events WHERE program = 'Vornik_Setup'"), kEach);
    EXPECT_EQ(check.Number("SELECT count(DISTINCT id) FROM events"), 2 * kEach);
    EXPECT_EQ(check.Number("SELECT count(*) FROM schema_version WHERE version = 1"), 1);
}

// The switch to WAL of a file just made is where programs opening it at
// once met: the one that lost was told "locked" at once, with no wait.
TEST(TwoWriters, ProgramsOpeningOneFreshFileTogetherEachRecordInIt)
{
    constexpr int kRounds = 40, kPrograms = 4;
    for (int round = 0; round < kRounds; ++round) {
        Folder f;
        std::atomic<int> waiting{kPrograms};
        auto program = [&] {
            --waiting;
            while (waiting.load() > 0) std::this_thread::yield();
            auto opened = Store::Open(f.path);
            ASSERT_TRUE(std::holds_alternative<Store>(opened)) << "round " << round << ": " << std::get<Error>(opened).message;
            EXPECT_TRUE(std::holds_alternative<int64_t>(std::get<Store>(opened).Record(AnEvent(round))));
        };
        std::vector<std::thread> threads;
        for (int i = 0; i < kPrograms; ++i) threads.emplace_back(program);
        for (auto& t : threads) t.join();
        ASSERT_EQ(RawDb(f.path).Number("SELECT count(*) FROM events"), kPrograms) << "round " << round;
    }
}

// Times worked out with date(1): date -u -d 2026-12-08T07:01:02Z +%s is 1796713262.
struct Time {
    const char* name;
    int64_t ms;
    const char* shown;
};
TEST(Times, ShowUtcWithMillisecondsAndReadBackToTheSameMillisecond)
{
    const Time rows[] = {
        {"the epoch", 0, "1970-01-01T00:00:00.000Z"},
        {"one millisecond before it", -1, "1969-12-31T23:59:59.999Z"},
        {"a time of this year", 1796713262123, "2026-12-08T07:01:02.123Z"},
        {"the last millisecond of February", 1772323199999, "2026-02-28T23:59:59.999Z"},
        // Before 1970, where msvcrt's gmtime and _mkgmtime give up.
        {"the Moon landing, 1969", -14182940000, "1969-07-20T20:17:40.000Z"},
        {"the 1st of March of a leap year before 1970", -310435200000, "1960-03-01T00:00:00.000Z"},
        {"1904, a leap year, its 29th of February", -2077704000250, "1904-02-29T11:59:59.750Z"},
        {"1900, no leap year though divisible by four", -2208988800000, "1900-01-01T00:00:00.000Z"},
        // 11644473600 s: the well-known distance of Windows' FILETIME origin from 1970.
        {"1601, the origin of Windows' file times", -11644473600000, "1601-01-01T00:00:00.000Z"},
        {"the first day of year 1", -62135596800000, "0001-01-01T00:00:00.000Z"},
        // Past 2038, where a 32-bit time_t ends.
        {"one second past 32-bit time", 2147483648000, "2038-01-19T03:14:08.000Z"},
        {"2000, a leap year though divisible by 100", 951868799999, "2000-02-29T23:59:59.999Z"},
        {"the last millisecond of year 9999", 253402300799999, "9999-12-31T23:59:59.999Z"},
    };
    for (const Time& t : rows) {
        EXPECT_EQ(TimeText(t.ms), t.shown) << t.name;
        EXPECT_EQ(ParseTimeText(t.shown), t.ms) << t.name;
    }
    EXPECT_EQ(TimeText(253402300800000), "10000-01-01T00:00:00.000Z") << "a year of five digits, shown whole";
    // Without milliseconds, the last one of that second: a time shown so includes its events.
    EXPECT_EQ(ParseTimeText("2026-12-08 07:01:02"), 1796713262999);
    EXPECT_EQ(ParseTimeText("2026-12-08T07:01:02.000"), 1796713262000);
    EXPECT_EQ(ParseTimeText("2026-02-29T00:00:00Z"), std::nullopt) << "2026 is no leap year";
    EXPECT_EQ(ParseTimeText("2028-02-29T00:00:00Z"), 1835395200999) << "2028 is one";
    EXPECT_EQ(ParseTimeText("1900-02-29T00:00:00Z"), std::nullopt) << "1900 is no leap year";
    EXPECT_EQ(ParseTimeText("1969-04-31T00:00:00Z"), std::nullopt) << "April has 30 days";
}

// Files as earlier programs (or none) left them; the first layout as its
// statements create it, written out here rather than taken from the store.
struct Migration {
    const char* name;
    const char* sql; // nullptr: no file; "": an empty file
    int64_t events;
};
class Migrations : public testing::TestWithParam<Migration> {};

TEST_P(Migrations, EndAtTheCurrentLayoutInWalKeepingEveryEvent)
{
    Folder f;
    if (const char* sql = GetParam().sql) {
        std::ofstream(f.path).close();
        ASSERT_EQ(RawDb(f.path).Exec(sql), SQLITE_OK);
    }
    {
        auto opened = Store::Open(f.path);
        ASSERT_TRUE(std::holds_alternative<Store>(opened)) << std::get<Error>(opened).message;
        EXPECT_EQ(int64_t(Count(std::get<Store>(opened))), GetParam().events);
        ASSERT_TRUE(std::holds_alternative<int64_t>(std::get<Store>(opened).Record(AnEvent(5))));
    }
    // Bytes 18 and 19 of a database file are 2 in WAL.
    const std::string header = ReadAll(f.path).substr(0, 20);
    EXPECT_EQ(header.substr(18), std::string("\x02\x02"));
    RawDb check(f.path);
    EXPECT_EQ(check.Number("SELECT count(*) FROM schema_version WHERE version = 1"), 1);
    EXPECT_EQ(check.Number("SELECT count(*) FROM schema_version"), 1);
    EXPECT_EQ(check.Number("SELECT count(*) FROM events"), GetParam().events + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Open, Migrations,
    testing::Values(Migration{"NoFile", nullptr, 0}, Migration{"EmptyFile", "", 0},
                    Migration{"Version0", "CREATE TABLE schema_version (version INTEGER NOT NULL);"
                                          "INSERT INTO schema_version VALUES (0)", 0},
                    Migration{"Version1WithAnEvent",
                              "CREATE TABLE schema_version (version INTEGER NOT NULL);"
                              "INSERT INTO schema_version VALUES (1);"
                              "CREATE TABLE events (id INTEGER PRIMARY KEY AUTOINCREMENT, time_ms INTEGER NOT NULL,"
                              " mac TEXT NOT NULL, ip TEXT, program TEXT NOT NULL, operation TEXT NOT NULL,"
                              " stage TEXT NOT NULL, network BLOB, device BLOB);"
                              "INSERT INTO events (time_ms, mac, program, operation, stage, device)"
                              " VALUES (1, '025AC3000001', 'vornikctl', 'read', 'read', zeroblob(92))",
                              1}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
