// The window as it ships, run by scripts/vlan on the tool's host of a virtual
// LAN whose two device hosts each hold a device set to the same IP address:
// one search must list both rows, tinted as a conflict, with tooltips naming
// both MAC addresses and the adapter 10.201.0.1; the packet record saved from
// the window must open in tshark with the search replies dissected on port
// 1901 (skipped where tshark is missing).
//
//   gui_vlan_diagnostics SAVED.pcap [SCREENSHOT.png]
//
// Exits 0 on success, 1 on failure, and 77 (skipped) outside a virtual LAN.
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include "pages/report_list.h"

#include <cstdio>
#include <cstdlib>

#include "app/device_list_diag.h"
#include "app/setup_dlg.h"
#include "app/window_root.h"
#include "link/packet_capture.h"
#include "ops/control_ids.h"
#include "pages/qt_control_ops.h"
#include "tshark.h"

using namespace vornik;

namespace {

bool Check(bool condition, const char* what)
{
    if (!condition) std::fprintf(stderr, "FAILED: %s\n", what);
    return condition;
}

void RunFor(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: gui_vlan_diagnostics SAVED.pcap [SCREENSHOT.png]\n");
        return 1;
    }
    if (!std::getenv("VORNIK_VLAN")) {
        std::fprintf(stderr, "gui_vlan_diagnostics: runs only inside scripts/vlan; skipped\n");
        return 77;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    bool ok = true;

    QTimer boxes;
    QObject::connect(&boxes, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            std::fprintf(stderr, "message box: %s\n", qPrintable(box->text()));
            ok = false;
            box->done(QMessageBox::Ok);
        }
    });
    boxes.start(10);

    PacketCapture capture;
    {
        WindowRoot root(LinkConfig{}, &capture);
        CSetupDlg& window = root.Window();
        window.OnInitDialog();
        window.show();
        QApplication::processEvents();
        qobject_cast<QPushButton*>(window.Control(IDC_SEARCH))->click();
        CReportList& list = window.DeviceList();
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 10000 && list.RowCount() < 2)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        RunFor(300);
        QtControlOps::FlushAllPending();

        const DeviceListDiagnostics& diagnostics = window.ListDiagnostics();
        ok = Check(list.RowCount() == 2, "two rows") && ok;
        for (int r = 0; r < list.RowCount(); ++r) {
            const QString tip = diagnostics.ToolTip(r);
            std::printf("row %d: %s %s\n  %s\n", r, window.GetCell(IDC_DEVICE_LIST, r, COL_DEVICE_IP).c_str(),
                        window.GetCell(IDC_DEVICE_LIST, r, COL_MAC).c_str(), qPrintable(tip));
            ok = Check(window.GetCell(IDC_DEVICE_LIST, r, COL_DEVICE_IP) == "10.201.9.9", "the shared address") && ok;
            ok = Check(diagnostics.InConflict(r), "tinted as a conflict") && ok;
            ok = Check(tip.startsWith(QStringLiteral(u"IP地址冲突：020000010001、020000020001")), "the MACs named") && ok;
            ok = Check(tip.contains(QStringLiteral(u"接收网卡（本机地址）：10.201.0.1")), "the adapter named") && ok;
        }
        if (argc > 2) window.grab().save(QString::fromLocal8Bit(argv[2]));

        ok = Check(window.SavePacketRecord(QString::fromLocal8Bit(argv[1])), "the record saved") && ok;
    }

    if (!test::TsharkInstalled()) {
        std::printf("tshark is not installed: the saved record is not dissected\n");
        return ok ? 0 : 1;
    }
    test::Tshark tshark(test::fs::path(argv[1]).parent_path() / "tshark");
    ok = Check(!tshark.Failed(), "tshark loads the dissector") && ok;
    const auto rows = tshark.Fields(argv[1], "", "vornik.marker == 0x55 && vornik.command == 0x02",
                                    {"vornik.search.ip", "vornik.search.mac"});
    for (const auto& row : rows) std::printf("tshark: %s %s\n", row[0].c_str(), row[1].c_str());
    ok = Check(rows.size() == 2 && rows[0][0] == "10.201.9.9" && rows[1][0] == "10.201.9.9", "tshark's dissection") &&
         ok;
    return ok ? 0 : 1;
}
