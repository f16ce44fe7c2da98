// The spool a report waits in: whatever happens to its file (none can be
// made, the disk fills half way), what comes out is every byte put in, in
// order, once; and where its file cannot give them back, it says so and the
// command fails instead of printing a report with devices missing.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "cli/reporter.h"
#include "cli/spool.h"

namespace vornik::cli {
namespace {

std::FILE* NoFile() { return nullptr; }

// A file that takes no byte: opened for reading only.
std::FILE* ReadOnlyFile()
{
    static const std::string path = testing::TempDir() + "spool-read-only";
    std::fclose(std::fopen(path.c_str(), "wb"));
    return std::fopen(path.c_str(), "rb");
}

// A file that takes every byte and gives none back: opened for writing only.
std::FILE* WriteOnlyFile()
{
    static const std::string path = testing::TempDir() + "spool-write-only";
    return std::fopen(path.c_str(), "wb");
}

#ifndef _WIN32
// A "disk" that fills after 300 KiB: the spool's first writes to it succeed,
// a later one fails; unless `readable`, it gives nothing back either.
template <bool readable>
std::FILE* SmallDisk()
{
    static char disk[300 * 1024];
    return fmemopen(disk, sizeof disk, readable ? "w+" : "w");
}
#endif

struct Case {
    const char* name;
    std::FILE* (*makeFile)();
    size_t pieces; // of 1,000 bytes each, every one different
    bool inFile;   // where the spool holds them in the end
    bool whole = true;
};

TEST(Spool, GivesBackEveryByteInOrderWhereverItKeptThem)
{
    const std::vector<Case> cases = {
        {"nothing", nullptr, 0, false},
        {"a short report stays in memory", nullptr, 20, false},
        {"a long report goes to a file", nullptr, 2000, true},
        {"no file can be made", NoFile, 2000, false},
        {"the file takes nothing", ReadOnlyFile, 2000, false},
        {"the file gives nothing back", WriteOnlyFile, 2000, true, false},
#ifndef _WIN32
        {"the disk fills half way", SmallDisk<true>, 2000, false},
        {"the disk fills half way and gives nothing back", SmallDisk<false>, 2000, false, false},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Spool spool(c.makeFile);
        std::string expected;
        for (size_t k = 0; k < c.pieces; ++k) {
            std::string piece = "piece " + std::to_string(k) + ":";
            piece.resize(1000, char('a' + k % 26));
            expected += piece;
            spool.Write(piece);
        }
        EXPECT_EQ(spool.InFile(), c.inFile);
        std::ostringstream out;
        EXPECT_EQ(spool.CopyTo(out), c.whole);
        if (c.whole) {
            ASSERT_EQ(out.str().size(), expected.size());
            EXPECT_TRUE(out.str() == expected) << "the bytes differ";
        } else {
            EXPECT_LT(out.str().size(), expected.size());
        }
        std::ostringstream again;
        EXPECT_TRUE(spool.CopyTo(again)) << "an empty spool lost nothing";
        EXPECT_EQ(again.str(), "") << "given once";
    }
}

// Every device confirmed, but a report too long for memory whose file gives
// nothing back: the devices' lines are missing, so the command must not end
// as confirmed, in either form.
TEST(ResultReport, ADeviceLineItsSpoolLostFailsTheCommand)
{
    const struct {
        const char* name;
        std::FILE* (*makeFile)();
        bool json;
        int exitCode;
    } rows[] = {
        {"table, read back whole", nullptr, false, EXIT_CONFIRMED},
        {"table, lost", WriteOnlyFile, false, EXIT_DEVICE_FAILED},
        {"json, lost", WriteOnlyFile, true, EXIT_DEVICE_FAILED},
    };
    const std::string lost = "the report lost device lines";
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Context context;
        context.globals.json = row.json;
        ResultReport report(context, {}, row.makeFile);
        constexpr size_t kDevices = 8000; // a line of some 50 bytes each: past what memory holds
        for (size_t k = 0; k < kDevices; ++k) {
            DeviceResult r;
            r.mac = MacAddress{0x02, 0, 0, 0, uint8_t(k >> 8), uint8_t(k)};
            r.ok = true;
            r.result = engine::Result::Confirmed;
            report.Add(r);
        }
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const int exitCode = report.Finish();
        const std::string out = testing::internal::GetCapturedStdout(), err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(exitCode, row.exitCode);
        const bool said = row.exitCode != EXIT_CONFIRMED;
        EXPECT_EQ(err.find(lost) != std::string::npos, said) << err;
        if (row.json) {
            EXPECT_NE(out.find("\"message\": \"" + lost), std::string::npos) << "in the document's error";
        }
        if (!said) {
            EXPECT_NE(out.find("02-00-00-00-1F-3F"), std::string::npos) << "the last device listed";
        }
    }
}

} // namespace
} // namespace vornik::cli
