// The program exactly as it ships (port 1901, 255.255.255.255, the host's own
// addresses), run by scripts/vlan on the tool's host of a virtual LAN: one
// press of "搜索" must list every simulated device.
//
//   gui_vlan_search EXPECTED_DEVICES [SCREENSHOT.png]
//
// Exits 0 on success, 1 on failure, and 77 (skipped) outside a virtual LAN,
// where these constants would reach a real network.
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include "pages/report_list.h"

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "app/setup_dlg.h"
#include "app/window_root.h"
#include "ops/control_ids.h"
#include "pages/qt_control_ops.h"

using namespace vornik;

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: gui_vlan_search EXPECTED_DEVICES [SCREENSHOT.png]\n");
        return 1;
    }
    if (!std::getenv("VORNIK_VLAN")) {
        std::fprintf(stderr, "gui_vlan_search: runs only inside scripts/vlan; skipped\n");
        return 77;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const int expected = std::atoi(argv[1]);
    bool ok = true;

    // A box of the link would wait for a click that never comes: note it, close it.
    QTimer boxes;
    QObject::connect(&boxes, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            std::fprintf(stderr, "message box: %s\n", qPrintable(box->text()));
            ok = false;
            box->done(QMessageBox::Ok);
        }
    });
    boxes.start(10);

    {
        WindowRoot root(LinkConfig{});
        CSetupDlg& window = root.Window();
        window.OnInitDialog();
        window.show();
        QApplication::processEvents();

        std::printf("local address shown: %s\n", window.GetText(IDC_LOCAL_IP).c_str());
        qobject_cast<QPushButton*>(window.Control(IDC_SEARCH))->click();
        CReportList& list = window.DeviceList();
        // processEvents returns at once when idle: the waits run on a clock.
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 10000 && list.RowCount() < expected)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        // Late duplicates would show as extra rows; give them a moment.
        const qint64 settled = clock.elapsed() + 300;
        while (clock.elapsed() < settled) QApplication::processEvents(QEventLoop::AllEvents, 10);
        QtControlOps::FlushAllPending();

        const int rows = list.RowCount();
        std::set<std::string> macs;
        for (int r = 0; r < rows; ++r) {
            const std::string ip = window.GetCell(IDC_DEVICE_LIST, r, COL_DEVICE_IP);
            const std::string mac = window.GetCell(IDC_DEVICE_LIST, r, COL_MAC);
            std::printf("%-15s %s %s\n", ip.c_str(), mac.c_str(), window.GetCell(IDC_DEVICE_LIST, r, COL_FIRMWARE).c_str());
            if (ip.rfind("10.201.", 0) != 0 || mac.size() != 12 ||
                !window.GetCell(IDC_DEVICE_LIST, r, COL_DEVICE_NAME).empty())
                ok = false;
            macs.insert(mac);
        }
        std::printf("%d rows, %zu devices, %d expected\n", rows, macs.size(), expected);
        if (int(macs.size()) != expected) ok = false;

        if (argc > 2) window.grab().save(QString::fromLocal8Bit(argv[2]));
    }
    return ok ? 0 : 1;
}
