// A search answered by many devices at once, into the offscreen window:
//   1. through the real link on loopback, with vornik_sim as the devices;
//   2. the hand-over alone: the same replies posted as the receive thread posts them.
// Prints rows listed, rows lost and the time from the search to the last row.
//   bench_gui [devices]   (default 1000)
#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include "pages/report_list.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/setup_dlg.h"
#include "ops/control_ids.h"
#include "pages/qt_control_ops.h"
#include "sim_process.h"

namespace {

using namespace vornik;
using namespace vornik::test;
constexpr qint64 kQuietMs = 2000;   // no new row for this long: the burst is over
constexpr qint64 kTimeoutMs = 20000;

struct Result {
    int rows = 0;
    qint64 lastRowMs = 0;
    int refreshes = 0; // times the info area took a new text
};

int g_refreshes = 0;

// Runs the loop until the list has `expected` rows or stops growing.
Result WaitForRows(CReportList& list, int expected, const QElapsedTimer& clock)
{
    Result r;
    g_refreshes = 0;
    qint64 lastChange = clock.elapsed();
    while (clock.elapsed() < kTimeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const int rows = list.RowCount();
        if (rows != r.rows) {
            r.rows = rows;
            r.lastRowMs = clock.elapsed();
            lastChange = r.lastRowMs;
        }
        if (rows >= expected || clock.elapsed() - lastChange > kQuietMs) break;
    }
    QtControlOps::FlushAllPending();
    r.refreshes = g_refreshes;
    return r;
}

std::vector<uint8_t> SearchReply(int i)
{
    std::vector<uint8_t> d = {0x55, 0x00, 0x11, 0x02, 0, 0, 0, 0,
                              uint8_t(i), uint8_t(i >> 8), 0xA8, 0xC0, // 192.168.x.y
                              0x02, 0, 0, 0, uint8_t(i >> 8), uint8_t(i), 100, 0, 0};
    return d;
}

void Report(const char* what, int devices, const Result& r)
{
    std::printf("%-28s %5d replies: %5d rows listed, %5d lost, last row after %8.1f ms, %d info refreshes\n", what,
                devices, r.rows, devices - r.rows, double(r.lastRowMs), r.refreshes);
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const int devices = argc > 1 ? std::atoi(argv[1]) : 1000;

    const uint16_t port = FreeUdpPort();
    const LinkConfig config = LoopbackLinkConfig(port, {Loopback(2)});

    SetupState state;
    MainWindowRef mainWindow;
    UdpLink link(config, mainWindow.ShowMessages(), mainWindow.PostDatagrams());
    auto window = std::make_unique<CSetupDlg>(state, link, mainWindow, config.hostAddresses);
    window->OnInitDialog();
    window->show();
    QCoreApplication::processEvents();
    auto* search = qobject_cast<QPushButton*>(window->Control(IDC_SEARCH));
    auto* info = qobject_cast<QPlainTextEdit*>(window->Control(IDC_INFO));
    QObject::connect(info->document(), &QTextDocument::contentsChanged, [] { ++g_refreshes; });

    {
        SimProcess sim(LoopbackSimArgs(port, {"--devices", std::to_string(devices)}));
        if (!sim.Ready()) {
            std::fprintf(stderr, "simulator did not start\n");
            return 1;
        }
        QElapsedTimer clock;
        clock.start();
        search->click();
        Report("link + simulator, loopback", devices, WaitForRows(window->DeviceList(), devices, clock));
    }
    {
        search->click(); // empties the list; nobody answers now
        QCoreApplication::processEvents();
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < devices; ++i) mainWindow.PostDatagrams()(Datagram{SearchReply(i)});
        Report("hand-over only", devices, WaitForRows(window->DeviceList(), devices, clock));
    }

    link.Stop();
    window.reset();
    return 0;
}
