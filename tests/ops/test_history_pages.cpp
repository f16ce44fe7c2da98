// The history dialog's rows from a real history file: each column as the
// entry was kept, a file that cannot be read said once and not read on, and
// a row the dialog does not show filling nothing.
#include "ops_fixture.h"

#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>

#include "history/history.h"
#include "ops/history_pages.h"
#include "proto/dev_params.h"
#include "proto/net_params.h"

namespace vornik::test {
namespace {

namespace fs = std::filesystem;

const MacAddress kChosen{0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
const MacAddress kOther{0x02, 0x00, 0x00, 0x00, 0x00, 0x02};
constexpr int64_t kNewYear = 1767225600000; // 2026-01-01T00:00:00.000Z

history::Event Entry(int64_t timeMs, const MacAddress& mac, const char* program, const char* operation,
                     history::Stage stage, uint32_t ip, std::optional<int32_t> baud, bool network)
{
    history::Event e;
    e.timeMs = timeMs;
    e.mac = mac;
    e.ip = ip;
    e.program = program;
    e.operation = operation;
    e.stage = stage;
    if (network) e.network = EncodeNetworkParams(NetworkParams{});
    if (baud) {
        DeviceParams p;
        p.baudRate = *baud;
        e.device = EncodeDeviceBlock(p);
    }
    return e;
}

// A history file of the test's own, and a second program's way into it.
struct HistoryFile {
    HistoryFile() { fs::create_directories(dir); }
    ~HistoryFile() { fs::remove_all(dir); }
    history::Store& Open()
    {
        auto opened = history::Store::Open(path);
        store.emplace(std::move(std::get<history::Store>(opened)));
        return *store;
    }
    // Spoils the device block of the entries at `timeMs`: no program writes a one-byte block.
    void Spoil(int64_t timeMs) const
    {
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        const std::string sql = "UPDATE events SET device = x'00' WHERE time_ms = " + std::to_string(timeMs);
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }
    static inline int made = 0;
    const std::string dir =
        testing::TempDir() + "vornik-history-pages-" + std::to_string(::getpid()) + "-" + std::to_string(++made);
    const std::string path = dir + "/history.sqlite";
    std::optional<history::Store> store;
};

TEST(HistoryPages, EachColumnIsTheEntryAsItWasKept)
{
    HistoryFile f;
    history::Store& store = f.Open();
    const std::vector<history::Event> kept{
        Entry(kNewYear, kChosen, "vornikctl", "read", history::Stage::Read, 0x0A090007, 4800, true),
        Entry(kNewYear + 700, kOther, "vornikctl", "read", history::Stage::Read, 0x0A090008, 2400, true),
        Entry(kNewYear + 1500, kChosen, "Vornik_Setup", "write-device", history::Stage::After, 0, 9600, false),
    };
    ASSERT_EQ(store.RecordAll(kept), std::nullopt);
    HistoryPages pages(kChosen, store);
    std::vector<HistoryRow> rows;
    ASSERT_TRUE(pages.LoadMore(rows));
    EXPECT_TRUE(pages.Complete());
    // Newest first, the other device's entry left out; an entry without an address shows none.
    const std::vector<HistoryRow> want{
        {"2026-01-01T00:00:01.500Z", "Vornik_Setup", "写设备参数", "写入后读回", "", "485口波特率 4800 → 9600"},
        {"2026-01-01T00:00:00.000Z", "vornikctl", "读取参数", "读取", "10.9.0.7", "—"},
    };
    EXPECT_EQ(rows, want);
    EXPECT_FALSE(pages.LoadMore(rows));
    EXPECT_EQ(rows.size(), 2u);
}

// A file that cannot be read is said, and the dialog reads no further page
// from it: the rows it shows stay the ones that read whole.
TEST(HistoryPages, AFileThatCannotBeReadIsSaidAndNoRowComesOfIt)
{
    const struct {
        const char* name;
        size_t entries;  // one a second from kNewYear, baud 1200 + the index
        size_t spoiled;  // the entry whose device block is spoilt
    } rows[] = {
        {"an entry of the page", 3, 2},
        // The page is whole; the state its oldest entry's changes are counted from is not.
        {"the entry just older than the page", HistoryPages::PAGE + 1, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        HistoryFile f;
        history::Store& store = f.Open();
        std::vector<history::Event> kept;
        for (size_t i = 0; i < row.entries; ++i)
            kept.push_back(Entry(kNewYear + int64_t(i) * 1000, kChosen, "vornikctl", "read", history::Stage::Read,
                                 0x0A090007, int32_t(1200 + i), true));
        ASSERT_EQ(store.RecordAll(kept), std::nullopt);
        f.Spoil(kNewYear + int64_t(row.spoiled) * 1000);

        HistoryPages pages(kChosen, store);
        std::vector<HistoryRow> shown;
        EXPECT_FALSE(pages.LoadMore(shown));
        EXPECT_TRUE(shown.empty());
        ASSERT_TRUE(pages.Failure().has_value());
        EXPECT_NE(pages.Failure()->find(f.path), std::string::npos) << *pages.Failure();
        EXPECT_FALSE(pages.Complete());
        EXPECT_EQ(pages.Size(), 0u);
        EXPECT_FALSE(pages.LoadMore(shown)) << "read on after the failure";
        EXPECT_TRUE(shown.empty());
    }
}

// Only a row the dialog shows fills the pages: one past the last, or any of a
// dialog with no rows, changes neither page and adds no line.
TEST(HistoryPages, ARowTheDialogDoesNotShowFillsNothing)
{
    HistoryFile f;
    history::Store& store = f.Open();
    const std::vector<history::Event> kept{
        Entry(kNewYear, kChosen, "vornikctl", "read", history::Stage::Read, 0x0A090007, 2400, true),
        Entry(kNewYear + 1000, kChosen, "vornikctl", "read", history::Stage::Read, 0x0A090007, 19200, true),
    };
    ASSERT_EQ(store.RecordAll(kept), std::nullopt);
    const struct {
        const char* name;
        bool load;     // the first page read before
        size_t row;
        bool fills;
        const char* baud; // the device page's baud rate after
    } rows[] = {
        {"no page read yet", false, 0, false, "4800"},
        {"one past the last row", true, 2, false, "4800"},
        {"the last row: the oldest entry", true, 1, true, "2400"},
        {"the first row: the newest entry", true, 0, true, "19200"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        OpsRig rig;
        HistoryPages pages(kChosen, store);
        std::vector<HistoryRow> shown;
        if (row.load) {
            ASSERT_TRUE(pages.LoadMore(shown));
        }
        const std::string info = rig.Info();
        EXPECT_EQ(pages.FillPages(row.row, rig.ops), row.fills);
        EXPECT_EQ(rig.dev.GetText(IDC_DEV_BAUD_RATE), row.baud);
        EXPECT_EQ(rig.Info() != info, row.fills);
        EXPECT_TRUE(rig.link.frames.empty());
    }
}

} // namespace
} // namespace vornik::test
