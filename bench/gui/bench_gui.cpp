// Replies into the offscreen window through the real link on loopback.
//
// Table 1: one search answered by 1,000, 10,000 and 100,000 simulated devices
// (vornik_sim): rows listed and lost, the time from the search to the last
// row, the time per reply, the longest stall of the event loop and the peak
// memory of the window's process. Each count runs in a process of its own
// (this program with --devices N), so the peak is that run's alone.
//
// Table 2: a flood of search replies at 50,000 per second for 30 seconds, then
// the window's close: the time from the close falling due to the end of the
// program (tests/gui/flood_window, the program's own run), the longest stall,
// rows listed, replies dropped and the peak memory, which the device list's
// and the info log's bounds hold however long the flood lasts.
//
// Table 3: the history dialog of a device with 100,000 events: the time from
// asking for it to its list showing the newest, and to the next page.
//
//   bench_gui                               all three tables
//   bench_gui --devices N                   one run of table 1, one line of figures
//   bench_gui --flood-seconds S [RATE]      table 2 with a flood of S seconds (RATE replies/s)
//   bench_gui --history-dialog EVENTS       table 3 for a device with EVENTS events
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <QTreeWidget>

#include <filesystem>
#include <unistd.h>

#include "app/history_dlg.h"
#include "app/setup_dlg.h"
#include "app/window_root.h"
#include "flood.h"
#include "history_maker.h"
#include "ops/control_ids.h"
#include "pages/qt_control_ops.h"
#include "sim_process.h"

namespace {

using namespace vornik;
using namespace vornik::test;
constexpr qint64 kQuietMs = 2000; // no new row for this long: the burst is over
constexpr qint64 kTimeoutMs = 60000;
constexpr int kFloodRate = 50000;
constexpr int kFloodSeconds = 30;

// Peak resident memory of this process, in KiB.
long PeakKib()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

// One search into the window; prints "rows last_ms stall_ms peak_kib dropped".
int RunSearch(int argc, char** argv, int devices)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const uint16_t port = FreeUdpPort();
    const LinkConfig config = LoopbackLinkConfig(port, {Loopback(2)});

    auto root = std::make_unique<WindowRoot>(config);
    CSetupDlg* window = &root->Window();
    window->OnInitDialog();
    window->show();
    QCoreApplication::processEvents();
    auto* search = qobject_cast<QPushButton*>(window->Control(IDC_SEARCH));

    SimProcess sim(LoopbackSimArgs(port, {"--devices", std::to_string(devices)}));
    if (!sim.Ready()) {
        std::fprintf(stderr, "simulator did not start\n");
        return 1;
    }

    QElapsedTimer clock;
    qint64 lastRowMs = 0;
    qint64 longestStallMs = 0;
    qint64 lastTickMs = 0;
    CReportList& list = window->DeviceList();
    QObject::connect(list.model(), &QAbstractItemModel::rowsInserted, [&] { lastRowMs = clock.elapsed(); });

    QEventLoop loop;
    QTimer ticker; // the event loop's pulse; the longest gap is the longest stall
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(2);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longestStallMs = std::max(longestStallMs, now - lastTickMs);
        lastTickMs = now;
        if (list.RowCount() >= devices || now - std::max(lastRowMs, qint64(0)) > kQuietMs || now > kTimeoutMs)
            loop.quit();
    });
    clock.start();
    ticker.start();
    search->click();
    loop.exec();
    QtControlOps::FlushAllPending();

    std::printf("%d %lld %lld %ld %llu\n", list.RowCount(), (long long)lastRowMs, (long long)longestStallMs,
                PeakKib(), (unsigned long long)window->DroppedDatagrams());
    root.reset();
    return 0;
}

void SearchTable(const char* self)
{
    const int counts[] = {1000, 10000, 100000};
    struct Row {
        int devices, rows;
        long long lastMs, stallMs;
        long peakKib;
        unsigned long long dropped;
    };
    std::vector<Row> rows;
    for (int devices : counts) {
        ChildProgram run({self, "--devices", std::to_string(devices)});
        std::string line;
        int status = 0;
        int64_t ended = 0;
        Row r{devices, 0, 0, 0, 0, 0};
        if (run.ReadLine(line, std::chrono::seconds(120))) {
            std::istringstream in(line);
            in >> r.rows >> r.lastMs >> r.stallMs >> r.peakKib >> r.dropped;
        }
        run.Wait(std::chrono::seconds(30), status, ended);
        rows.push_back(r);
    }
    std::printf("One search through the link (loopback, vornik_sim) into the offscreen window\n");
    std::printf("%-24s", "devices");
    for (const Row& r : rows) std::printf("%14d", r.devices);
    std::printf("\n%-24s", "rows listed");
    for (const Row& r : rows) std::printf("%14d", r.rows);
    std::printf("\n%-24s", "rows lost");
    for (const Row& r : rows) std::printf("%14d", r.devices - r.rows);
    std::printf("\n%-24s", "  of them dropped");
    for (const Row& r : rows) std::printf("%14llu", r.dropped);
    std::printf("\n%-24s", "time to last row (ms)");
    for (const Row& r : rows) std::printf("%14lld", r.lastMs);
    std::printf("\n%-24s", "time per reply (us)");
    for (const Row& r : rows) std::printf("%14.1f", r.rows ? 1000.0 * double(r.lastMs) / r.rows : 0.0);
    std::printf("\n%-24s", "longest stall (ms)");
    for (const Row& r : rows) std::printf("%14lld", r.stallMs);
    std::printf("\n%-24s", "peak memory (MB)");
    for (const Row& r : rows) std::printf("%14.1f", double(r.peakKib) / 1024.0);
    std::printf("\n(targets: 100,000 of 100,000 in under 1 s; per reply at 100,000 within 1.5 x that at 1,000;"
                " stall under 100 ms; peak under 150 MB)\n\n");
}

void FloodTable(int seconds, int rate)
{
    const uint16_t port = FreeUdpPort();
    ChildProgram program({FLOOD_WINDOW_PATH, std::to_string(port), std::to_string(seconds * 1000)});
    std::string line;
    if (!program.ReadLine(line, std::chrono::seconds(20)) || line != "ready") {
        std::fprintf(stderr, "flood_window did not start\n");
        return;
    }
    Flood flood(port, rate);
    int status = -1;
    int64_t endedNs = 0;
    const bool ended = program.Wait(std::chrono::seconds(seconds + 60), status, endedNs);
    flood.Stop();
    std::istringstream report(program.Rest());
    std::string key;
    long long closeDueNs = 0, closedNs = 0, stallMs = 0;
    int rows = 0;
    unsigned long long dropped = 0;
    long peakKib = 0;
    report >> key >> closeDueNs >> key >> closedNs >> key >> stallMs >> key >> rows >> key >> dropped >> key >>
        peakKib;

    std::printf("A flood of %d replies/s for %d s, then the window's close (tests/gui/flood_window)\n", rate, seconds);
    std::printf("%-34s%14llu\n", "replies sent", (unsigned long long)flood.Sent());
    std::printf("%-34s%14d\n", "rows listed by the close", rows);
    std::printf("%-34s%14llu\n", "replies dropped (counted)", dropped);
    std::printf("%-34s%14lld\n", "longest stall (ms)", stallMs);
    std::printf("%-34s%14.1f\n", "peak memory (MB)", double(peakKib) / 1024.0);
    std::printf("%-34s%14.1f\n", "close acted on after (ms)", double(closedNs - closeDueNs) / 1e6);
    if (ended)
        std::printf("%-34s%14.1f\n", "program ended after (ms)", double(endedNs - closeDueNs) / 1e6);
    else
        std::printf("%-34s%14s\n", "program ended after (ms)", "never");
    std::printf("%-34s%14d\n", "exit status", ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    std::printf("(targets: peak memory under 250 MB at any rate and length; stall under 100 ms;"
                " ended under 500 ms after the close)\n\n");
}

// The history dialog of one device with `events` events.
int HistoryDialogTable(int argc, char** argv, size_t events)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("vornik-bench-dialog-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const std::string file = (folder / "history.sqlite").string();
    if (auto error = vornik::bench::MakeHistory(file, events, 1, 1767225600000)) {
        std::fprintf(stderr, "bench_gui: %s\n", error->c_str());
        return 1;
    }
    auto root = std::make_unique<WindowRoot>(LoopbackLinkConfig(FreeUdpPort(), {Loopback(2)}), nullptr, file);
    CSetupDlg* window = &root->Window();
    window->OnInitDialog(false);
    auto opened = root->History().Open();
    if (!std::holds_alternative<history::Store*>(opened)) return 1;

    QElapsedTimer clock;
    clock.start();
    qint64 shownMs = 0, pageMs = 0;
    int firstRows = 0, rowsAfter = 0;
    {
        CHistoryDlg dialog(window, vornik::bench::DeviceMac(0), *std::get<history::Store*>(opened), window->Ops());
        dialog.show();
        QCoreApplication::processEvents();
        shownMs = clock.elapsed();
        firstRows = dialog.List().topLevelItemCount();
        clock.restart();
        dialog.List().scrollToBottom();
        QCoreApplication::processEvents();
        pageMs = clock.elapsed();
        rowsAfter = dialog.List().topLevelItemCount();
    }
    std::printf("The history dialog of a device with %zu events (offscreen)\n", events);
    std::printf("%-34s%14lld\n", "open, newest shown (ms)", (long long)shownMs);
    std::printf("%-34s%14d\n", "  rows shown", firstRows);
    std::printf("%-34s%14lld\n", "scrolled to the end, next page (ms)", (long long)pageMs);
    std::printf("%-34s%14d\n", "  rows shown", rowsAfter);
    std::printf("%-34s%14.1f\n", "peak memory (MB)", double(PeakKib()) / 1024.0);
    std::printf("(target: open under 200 ms at any length; the window never blocked over 100 ms)\n");
    root.reset();
    fs::remove_all(folder);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 2 && std::strcmp(argv[1], "--devices") == 0) return RunSearch(argc, argv, std::atoi(argv[2]));
    if (argc > 2 && std::strcmp(argv[1], "--flood-seconds") == 0) {
        FloodTable(std::atoi(argv[2]), argc > 3 ? std::atoi(argv[3]) : kFloodRate);
        return 0;
    }
    if (argc > 2 && std::strcmp(argv[1], "--history-dialog") == 0)
        return HistoryDialogTable(argc, argv, std::strtoul(argv[2], nullptr, 10));
    SearchTable(argv[0]);
    FloodTable(kFloodSeconds, kFloodRate);
    ChildProgram dialog({argv[0], "--history-dialog", "100000"});
    std::string line;
    while (dialog.ReadLine(line, std::chrono::seconds(120))) std::printf("%s\n", line.c_str());
    int status = 0;
    int64_t ended = 0;
    dialog.Wait(std::chrono::seconds(30), status, ended);
    return 0;
}
