// vornik_demo_walk: walks the real window through one operator's road against
// the simulated devices that scripts/run --demo starts, and keeps a PNG of the
// window after each step (the README's pictures):
//   01-search.png        "搜索" pressed, every device listed
//   02-network.png       the first device double-clicked, its network page filled
//   03-device-read.png   "设备参数": "读取设备参数" pressed, the page filled
//   04-device-write.png  a value changed, "配置设备参数" pressed, acknowledged and read back
// The link comes from the development variables (VORNIK_PORT, ...), as in the
// program itself. Exits 1 naming the step that did not come about.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include "pages/report_list.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "app/dev_link_config.h"
#include "app/setup_app.h"
#include "app/setup_dlg.h"
#include "app/tab_ctrl.h"
#include "app/window_root.h"
#include "ops/control_ids.h"

namespace {

using namespace vornik;

constexpr int kStepTimeoutMs = 5000;
constexpr char kUsage[] = "usage: vornik_demo_walk OUTPUT_DIR DEVICES\n";

bool WaitFor(const std::function<bool()>& done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > kStepTimeoutMs) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QtControlOps::FlushAllPending();
    }
    // Replies that come late, duplicates, repaints: let them land before the picture.
    QTest::qWait(150);
    QtControlOps::FlushAllPending();
    QApplication::processEvents();
    return true;
}

class Walk {
public:
    Walk(CSetupDlg& window, const QDir& dir) : m_window(window), m_dir(dir) {}

    QString Log() const
    {
        return static_cast<QPlainTextEdit*>(m_window.Control(IDC_INFO))->toPlainText();
    }

    bool LogHas(const QString& line) const { return Log().contains(line); }

    void Click(QtControlOps& dialog, int id) const
    {
        auto* button = static_cast<QPushButton*>(dialog.Control(id));
        QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, button->rect().center());
    }

    bool Step(const char* picture, const char* what, bool done)
    {
        if (!done) {
            std::fprintf(stderr, "vornik_demo_walk: %s did not come about; the info area says:\n%s\n", what,
                         qPrintable(Log()));
            return false;
        }
        const QString path = m_dir.filePath(QString::fromLatin1(picture));
        if (!m_window.grab().save(path)) {
            std::fprintf(stderr, "vornik_demo_walk: cannot write %s\n", qPrintable(path));
            return false;
        }
        std::printf("%s: %s\n", qPrintable(path), what);
        return true;
    }

    bool Run(int devices)
    {
        Click(m_window, IDC_SEARCH);
        if (!Step("01-search.png", "the search listing every device",
                  WaitFor([&] { return m_window.DeviceList().RowCount() >= devices; })))
            return false;

        CReportList& list = m_window.DeviceList();
        const QPoint row = list.RowRect(0).center();
        QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, row);
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, row);
        if (!Step("02-network.png", "the network parameters of the first device",
                  WaitFor([&] { return LogHas(QStringLiteral(u"读取网络参数成功！")); })))
            return false;

        QTabBar* tabs = m_window.Tab().Bar();
        QTest::mouseClick(tabs, Qt::LeftButton, Qt::NoModifier, tabs->tabRect(1).center());
        Click(m_window.DevPage(), IDC_DEV_READ);
        if (!Step("03-device-read.png", "the device parameters read",
                  WaitFor([&] { return LogHas(QStringLiteral(u"读取设备参数成功！")); })))
            return false;

        // A visible change, so that the write is more than the read sent back.
        auto* upload = static_cast<QLineEdit*>(m_window.DevPage().Control(IDC_DEV_UPLOAD_INTERVAL));
        upload->selectAll();
        QTest::keyClicks(upload, QStringLiteral("15"));
        Click(m_window.DevPage(), IDC_DEV_WRITE);
        // The picture shows the write settled: its read-back line follows the acknowledgement.
        return Step("04-device-write.png", "the device parameters written and confirmed by their read-back",
                    WaitFor([&] { return LogHas(QStringLiteral(u"读回确认：")); }));
    }

private:
    CSetupDlg& m_window;
    QDir m_dir;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const int devices = std::atoi(argv[2]);
    CSetupApp app(argc, argv);
    const QString directory = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(directory)) {
        std::fprintf(stderr, "vornik_demo_walk: cannot create %s\n", argv[1]);
        return 1;
    }

    WindowRoot root(LinkConfigFromEnvironment());
    CSetupDlg& window = root.Window();
    window.OnInitDialog();
    window.show();

    // A message box would hold the walk in its own loop: note it, close it,
    // and let the step that waited on it fail.
    bool boxSeen = false;
    QTimer boxWatch;
    QObject::connect(&boxWatch, &QTimer::timeout, [&] {
        if (QWidget* box = QApplication::activeModalWidget(); box && box != &window) {
            std::fprintf(stderr, "vornik_demo_walk: a message box came up: %s\n", qPrintable(box->windowTitle()));
            boxSeen = true;
            box->close();
        }
    });
    boxWatch.start(200);

    WaitFor([] { return true; });
    Walk walk(window, QDir(directory));
    const bool ok = walk.Run(devices) && !boxSeen;
    window.hide();
    return ok ? 0 : 1;
}
