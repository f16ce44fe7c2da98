// The program as it runs in the field (CSetupApp::Run), on a
// loopback link, closed by its own window's close after a given time:
//   flood_window PORT CLOSE_AFTER_MS
// Prints "ready" once the window takes datagrams, and on the way out the
// monotonic time the close was due ("close_due_ns"), when it was acted on
// ("closed_ns"), the longest event-loop stall, the rows listed, the
// datagrams dropped and the peak memory. Exits with the program's status.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "app/setup_app.h"
#include "app/setup_dlg.h"
#include "flood.h"
#include "sim_process.h"

using namespace vornik;
using namespace vornik::test;

namespace {

CSetupDlg* TheWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* window = dynamic_cast<CSetupDlg*>(w)) return window;
    return nullptr;
}

// Peak resident memory of this process, in KiB.
long PeakKib()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (argc < 3) {
        std::fprintf(stderr, "usage: flood_window PORT CLOSE_AFTER_MS\n");
        return 2;
    }
    const uint16_t port = uint16_t(std::atoi(argv[1]));
    const int closeAfterMs = std::atoi(argv[2]);
    CSetupApp app(argc, argv);

    int64_t closeDueNs = 0;
    int64_t closedNs = 0;
    qint64 longestStallMs = 0;
    uint64_t dropped = 0;
    int rows = 0;

    // The event loop's pulse: the longest gap between two ticks is the longest stall.
    QElapsedTimer pulse;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(2);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (pulse.isValid()) longestStallMs = std::max(longestStallMs, pulse.elapsed());
        pulse.restart();
    });

    QTimer::singleShot(0, [&] {
        CSetupDlg* window = TheWindow();
        if (!window) return;
        ticker.start();
        std::printf("ready\n");
        std::fflush(stdout);
        closeDueNs = MonotonicNs() + int64_t(closeAfterMs) * 1000000;
        QTimer::singleShot(closeAfterMs, Qt::PreciseTimer, window, [&, window] {
            closedNs = MonotonicNs();
            rows = window->DeviceList().RowCount();
            dropped = window->DroppedDatagrams();
            window->close();
        });
    });

    const int status = app.Run(LoopbackLinkConfig(port, {Loopback(2)}));
    std::printf("close_due_ns %lld closed_ns %lld stall_ms %lld rows %d dropped %llu peak_kib %ld\n",
                (long long)closeDueNs, (long long)closedNs, (long long)longestStallMs, rows,
                (unsigned long long)dropped, PeakKib());
    std::fflush(stdout);
    return status;
}
