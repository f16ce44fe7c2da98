// What the window and vornikctl hand the history, and what it makes of it:
// one event per device that holds a block, one time for one moment, the
// device block kept byte for byte, and a failure said once per operation; the
// file opened at the first event and again after it could not be.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "history/history.h"
#include "history/store_file.h"
#include "vectors.h"
#include "hex.h"

using namespace vornik;
using namespace vornik::history;
namespace fs = std::filesystem;

namespace {

const MacAddress kFirst{0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
const MacAddress kSecond{0x02, 0x00, 0x00, 0x00, 0x00, 0x02};

// Keeps what it is given, or fails every call while `failure` is set.
struct Memory : Sink {
    std::vector<std::vector<Event>> calls;
    std::optional<std::string> failure;
    std::optional<std::string> Keep(std::span<const Event> events) override
    {
        if (failure) return failure;
        calls.emplace_back(events.begin(), events.end());
        return std::nullopt;
    }
    std::optional<Event> LastKnown(const MacAddress&) override { return std::nullopt; }
};

DeviceParams StartupParams()
{
    const auto bytes = test::Hex(test::kStartupBlock);
    DeviceBlock block;
    std::copy(bytes.begin(), bytes.end(), block.begin());
    return DecodeDeviceBlock(block);
}

TEST(Recorder, ABatchOfThousandsIsKeptInSharesAndAFailedShareIsSaidOnce)
{
    // Fails the calls it is told to; keeps the rest.
    struct Shares : Sink {
        std::vector<size_t> sizes;
        std::vector<Event> kept;
        std::set<size_t> failing; // by call, from 0
        std::optional<std::string> Keep(std::span<const Event> events) override
        {
            const size_t call = sizes.size();
            sizes.push_back(events.size());
            // Each share's failure its own words: the one said is the first.
            if (failing.count(call)) return "disk full in share " + std::to_string(call + 1);
            kept.insert(kept.end(), events.begin(), events.end());
            return std::nullopt;
        }
        std::optional<Event> LastKnown(const MacAddress&) override { return std::nullopt; }
    };
    // 3,000 devices, every third without a block: 2,000 events.
    std::vector<Blocks> devices;
    for (uint32_t i = 0; i < 3000; ++i) {
        const MacAddress mac{0x02, 0x00, 0x00, 0x00, uint8_t(i >> 8), uint8_t(i)};
        if (i % 3 == 2)
            devices.push_back({mac, 0, std::nullopt, std::nullopt});
        else
            devices.push_back({mac, 0x0A000000 + i, NetworkParamsImage{}, std::nullopt});
    }
    const struct {
        const char* name;
        std::set<size_t> failing;
        const char* said; // "" for nothing
        size_t kept;
    } rows[] = {
        {"every share kept", {}, "", 2000},
        {"the second share refused", {1}, "disk full in share 2", 1024},
        {"the first share refused", {0}, "disk full in share 1", 976},
        {"every share refused", {0, 1}, "disk full in share 1", 0},
    };
    for (const auto& row : rows) {
        Shares sink;
        sink.failing = row.failing;
        Recorder recorder("vornikctl", &sink);
        EXPECT_EQ(recorder.Record(Stage::Before, "apply", devices).value_or(""), row.said) << row.name;
        // Every device with a block handed over once, a refused share not
        // holding the next back.
        EXPECT_EQ(sink.sizes, (std::vector<size_t>{1024, 976})) << row.name;
        EXPECT_EQ(sink.kept.size(), row.kept) << row.name;
        for (size_t k = 1; k < sink.kept.size(); ++k)
            EXPECT_EQ(sink.kept[k].timeMs, sink.kept[0].timeMs) << row.name << ": one moment, one time";
        // The second failure of the same operation is not said again.
        EXPECT_FALSE(recorder.Record(Stage::After, "apply", devices).has_value()) << row.name;
    }
}

TEST(Recorder, OneMomentIsOneCallOfEventsThatHoldABlock)
{
    Memory memory;
    Recorder recorder("vornikctl", &memory);
    NetworkParamsImage network{};
    network[0] = 0x80;
    const std::vector<Blocks> devices = {
        {kFirst, 0x0A000005, network, std::nullopt},
        {kSecond, 0, std::nullopt, std::nullopt}, // nothing read: nothing to keep
        {kSecond, 0x0A000006, std::nullopt, StartupParams()},
    };
    EXPECT_EQ(recorder.Record(Stage::Before, "apply", devices), std::nullopt);
    ASSERT_EQ(memory.calls.size(), 1u);
    const auto& events = memory.calls[0];
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].mac, kFirst);
    EXPECT_EQ(events[0].ip, 0x0A000005u);
    EXPECT_EQ(events[0].network, network);
    EXPECT_FALSE(events[0].device);
    EXPECT_EQ(events[1].mac, kSecond);
    ASSERT_TRUE(events[1].device);
    // The bytes of the worked example, as the device sent them.
    EXPECT_EQ(test::ToHex(*events[1].device), test::ToHex(test::Hex(test::kStartupBlock)));
    for (const Event& e : events) {
        EXPECT_EQ(e.program, "vornikctl");
        EXPECT_EQ(e.operation, "apply");
        EXPECT_EQ(e.stage, Stage::Before);
        EXPECT_EQ(e.timeMs, events[0].timeMs) << "one moment, one time";
        EXPECT_GT(e.timeMs, 1700000000000) << "stamped now";
    }
    // A moment without any block reaches no store at all.
    EXPECT_EQ(recorder.Record(Stage::Read, "read", Blocks{kFirst, 0, std::nullopt, std::nullopt}), std::nullopt);
    EXPECT_EQ(memory.calls.size(), 1u);
}

TEST(Recorder, AFailureIsSaidOnceAnOperation)
{
    Memory memory;
    memory.failure = "history /x: database is locked";
    Recorder recorder("Vornik_Setup", &memory);
    const Blocks read{kFirst, 0, std::nullopt, StartupParams()};
    struct Step {
        const char* name;
        bool newOperation;
        bool failing;
        bool said;
    } steps[] = {
        {"first failure", false, true, true},
        {"second failure, same operation", false, true, false},
        {"new operation, failing still", true, true, true},
        {"recorded again", true, false, false},
        {"its first failure, after a success", false, true, true},
        {"its second", false, true, false},
        {"next operation", true, true, true},
    };
    for (const Step& s : steps) {
        if (s.newOperation) recorder.StartOperation();
        if (s.failing)
            memory.failure = "history /x: database is locked";
        else
            memory.failure.reset();
        const auto said = recorder.Record(Stage::Read, "read", read);
        EXPECT_EQ(said.has_value(), s.said) << s.name;
        if (said) EXPECT_EQ(*said, "history /x: database is locked") << s.name;
    }
    EXPECT_EQ(memory.calls.size(), 1u);
}

TEST(Recorder, WithoutASinkRecordsNothingInSilence)
{
    Recorder recorder("vornikctl");
    EXPECT_FALSE(recorder.Enabled());
    EXPECT_EQ(recorder.Record(Stage::Read, "read", Blocks{kFirst, 0, std::nullopt, StartupParams()}), std::nullopt);
    EXPECT_EQ(recorder.LastKnown(kFirst), std::nullopt);
}

// A file that cannot be opened at the first event (its folder is a plain
// file) is opened at a later one, once it can be, by the window and by vornikctl alike.
TEST(StoreFile, AFileThatCouldNotBeOpenedIsUsedOnceItCan)
{
    const fs::path dir = testing::TempDir() + "vornik-recorder-" + std::to_string(::getpid());
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path blocker = dir / "folder";
    std::ofstream(blocker) << "not a folder";
    {
        StoreFile file((blocker / "h.sqlite").string());
        Recorder recorder("vornikctl", &file);
        const Blocks read{kFirst, 0, std::nullopt, StartupParams()};
        EXPECT_TRUE(recorder.Record(Stage::Read, "read", read).has_value());
        fs::remove(blocker);
        recorder.StartOperation();
        EXPECT_EQ(recorder.Record(Stage::Read, "read", read), std::nullopt);
        const auto known = recorder.LastKnown(kFirst);
        ASSERT_TRUE(known.has_value());
        ASSERT_TRUE(known->device.has_value());
        EXPECT_EQ(DecodeDeviceBlock(*known->device), StartupParams());
    } // closed first: Windows removes no folder with a file open in it
    fs::remove_all(dir);
}

// No file at all (no home for the default one) is a history that cannot be
// written, and the recorder says so rather than keep nothing in silence.
TEST(StoreFile, NoPathIsAFailureToSay)
{
    StoreFile file("");
    Recorder recorder("vornikctl", &file);
    const auto said = recorder.Record(Stage::Read, "read", Blocks{kFirst, 0, std::nullopt, StartupParams()});
    ASSERT_TRUE(said.has_value());
    EXPECT_NE(said->find("no file named"), std::string::npos) << *said;
}

} // namespace
