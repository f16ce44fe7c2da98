#include "app/setup_app.h"

#include <QDir>
#include <QPixmap>
#include <QTextStream>

#include <cstdio>

#include "app/about_dlg.h"
#include "app/dev_link_config.h"
#include "app/qt_translation.h"
#include "app/setup_dlg.h"
#include "app/tab_ctrl.h"
#include "app/window_root.h"
#include "pages/qt_control_ops.h"

namespace vornik {

CSetupApp::CSetupApp(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QString::fromLatin1(kApplicationName));
    // Without it the standard buttons and menus stay English; nothing else depends on it.
    InstallQtChineseTranslation(m_qtTexts);
}

int CSetupApp::Run(LinkConfig config, const std::string& pcapPath, const std::string& historyPath)
{
    std::string error;
    if (!pcapPath.empty() && !m_capture.StreamTo(pcapPath, &error)) {
        std::fprintf(stderr, "--pcap %s: %s\n", pcapPath.c_str(), error.c_str());
        return 2;
    }
    WindowRoot root(std::move(config), &m_capture, historyPath);
    CSetupDlg& dialog = root.Window();
    dialog.OnInitDialog();
    dialog.setWindowTitle(dialog.windowTitle() + QString::fromStdString(DemoTitleMark()));
    dialog.exec();
    return 0;
}

int CSetupApp::WriteScreenshots(const QString& directory)
{
    if (!QDir().mkpath(directory)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(directory));
        return 1;
    }
    WindowRoot root(LinkConfig{});
    CSetupDlg& dialog = root.Window();
    dialog.OnInitDialog(false);
    dialog.show();
    processEvents();
    QtControlOps::FlushAllPending();
    processEvents();

    const QDir dir(directory);
    bool ok = dialog.grab().save(dir.filePath(QStringLiteral("main.png")));
    ok = dialog.NetPage().grab().save(dir.filePath(QStringLiteral("net.png"))) && ok;
    dialog.Tab().SetCurSel(1);
    processEvents();
    ok = dialog.DevPage().grab().save(dir.filePath(QStringLiteral("dev.png"))) && ok;
    ok = dialog.grab().save(dir.filePath(QStringLiteral("main-dev.png"))) && ok;
    CAboutDlg about(&dialog);
    about.show();
    processEvents();
    ok = about.grab().save(dir.filePath(QStringLiteral("about.png"))) && ok;
    about.hide();
    dialog.hide();
    return ok ? 0 : 1;
}

} // namespace vornik
