// The settings history at a million events: vornikctl's listing (table and
// JSON), one device's listing, the state restore --at and replace read, a
// dry run of history prune, and the file's size per event.
//
//   bench_history [EVENTS] [DEVICES] [FILE]   default 1,000,000 events, 1,000 devices
//
// The history is made first (history_maker.h, in a folder of its own that
// goes at the end, or at FILE, which stays); each vornikctl run writes to /dev/null and is timed from
// its start to its end, with its peak memory as the system counts it.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "history_maker.h"
#include "proto/mac_address.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Run {
    double seconds = 0;
    long peakKib = 0;
    int status = -1;
};

Run Vornikctl(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    std::string program = VORNIKCTL_PATH;
    argv.push_back(program.data());
    std::vector<std::string> copy = args;
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    Run run;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.peakKib = usage.ru_maxrss;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

void Line(const char* what, const Run& run)
{
    std::printf("%-44s%10.2f s%10.1f MB%6d\n", what, run.seconds, double(run.peakKib) / 1024.0, run.status);
}

} // namespace

int main(int argc, char** argv)
{
    const size_t events = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000000;
    const size_t devices = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1000;
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("vornik-bench-history-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const std::string file = argc > 3 ? argv[3] : (folder / "history.sqlite").string();
    if (argc > 3) fs::remove(file);

    const auto made = Clock::now();
    // 2026-01-01T00:00:00Z
    if (auto error = vornik::bench::MakeHistory(file, events, devices, 1767225600000)) {
        std::fprintf(stderr, "bench_history: %s\n", error->c_str());
        return 1;
    }
    const double makeSeconds = std::chrono::duration<double>(Clock::now() - made).count();
    // The write-ahead log folded in, so that the size is the file's own.
    {
        auto opened = vornik::history::Store::Open(file);
        (void)opened;
    }
    const auto bytes = fs::file_size(file);
    std::printf("A history of %zu events over %zu devices, made in %.1f s\n", events, devices, makeSeconds);
    std::printf("%-44s%10.1f MB (%.0f bytes per event)\n\n", "file", double(bytes) / 1048576.0,
                double(bytes) / double(events));

    std::printf("%-44s%12s%13s%6s\n", "vornikctl", "time", "peak memory", "exit");
    Line("history", Vornikctl({"--history", file, "history"}));
    Line("--json history", Vornikctl({"--history", file, "--json", "history"}));
    const std::string one = vornik::FormatMacText(vornik::bench::DeviceMac(devices / 2));
    Line(("history " + one + " (" + std::to_string(events / devices) + " events)").c_str(),
         Vornikctl({"--history", file, "history", one}));
    Line("history export MAC - --at (restore --at's read)",
         Vornikctl({"--history", file, "history", "export", one, "-", "--at", "2026-01-02T00:00:00Z"}));
    Line("history prune --keep 100 --dry-run", Vornikctl({"--history", file, "history", "prune", "--keep", "100", "--dry-run"}));

    // The reads restore --at and replace make, in this process.
    {
        auto opened = vornik::history::Store::Open(file, {.create = false});
        auto& store = std::get<vornik::history::Store>(opened);
        const int rounds = 1000;
        const auto start = Clock::now();
        for (int i = 0; i < rounds; ++i)
            (void)store.StateAt(vornik::bench::DeviceMac(size_t(i) % devices), std::numeric_limits<int64_t>::max());
        const double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count() / rounds;
        std::printf("\n%-44s%10.1f us\n", "a device's last state (StateAt), each", us);
    }
    std::printf("(targets: history and --json history under 10 s at 1,000,000 events, memory that does not grow"
                " with the events)\n");
    fs::remove_all(folder);
    return 0;
}
