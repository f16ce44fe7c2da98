// The program closed by its window while a flood of replies comes in, twenty
// times over: each run ends by itself with status 0, promptly. (How promptly
// is the benchmark's business; here a run that hangs is the fault.)
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>

#include "flood.h"
#include "sim_process.h"

namespace vornik::test {
namespace {

constexpr int kRuns = 20;
constexpr int kRepliesPerSecond = 25000;
constexpr int kCloseAfterMs = 400;
// Far above the benchmark's figures, well below a hang.
constexpr auto kEndWithin = std::chrono::seconds(5);

TEST(FloodClose, TwentyClosesDuringAFloodEachEndCleanly)
{
    for (int run = 0; run < kRuns; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        const uint16_t port = FreeUdpPort();
        ChildProgram program({FLOOD_WINDOW_PATH, std::to_string(port), std::to_string(kCloseAfterMs)});
        ASSERT_TRUE(program.Started());
        std::string line;
        ASSERT_TRUE(program.ReadLine(line, std::chrono::seconds(20)));
        ASSERT_EQ(line, "ready");
        Flood flood(port, kRepliesPerSecond);

        int status = -1;
        int64_t endedNs = 0;
        ASSERT_TRUE(program.Wait(std::chrono::milliseconds(kCloseAfterMs) + kEndWithin, status, endedNs))
            << "the program did not end after its close";
        flood.Stop();
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        EXPECT_EQ(WEXITSTATUS(status), 0);

        // close_due_ns N closed_ns N stall_ms N rows N dropped N
        std::istringstream report(program.Rest());
        std::string key;
        long long closeDueNs = 0, closedNs = 0;
        report >> key >> closeDueNs >> key >> closedNs;
        ASSERT_GT(closedNs, 0) << "the close never ran";
        std::printf("run %2d: %llu replies sent, close acted on after %.1f ms, ended %.1f ms after it was due\n", run,
                    (unsigned long long)flood.Sent(), double(closedNs - closeDueNs) / 1e6,
                    double(endedNs - closeDueNs) / 1e6);
        EXPECT_GT(flood.Sent(), 0u);
    }
}

} // namespace
} // namespace vornik::test
