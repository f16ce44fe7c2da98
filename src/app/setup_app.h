// The application: owns the objects that live for the whole run, runs the
// main window and stops the link after it.
#pragma once

#include <QApplication>
#include <QString>
#include <QTranslator>

#include "app/setup_dlg.h"
#include "link/udp_link.h"
#include "ops/device_ops.h"

namespace vornik {

class CSetupApp : public QApplication {
public:
    CSetupApp(int& argc, char** argv);

    // Runs the main window until it ends and stops the link; the result is
    // the program's exit code.
    int InitInstance(LinkConfig config);
    // Renders the main window and both pages to main.png, net.png and dev.png
    // in directory (and main-dev.png, about.png), without starting the link.
    int WriteScreenshots(const QString& directory);

private:
    QTranslator m_qtTexts;
    SetupState m_state;
    MainWindowRef m_mainWindow;
};

} // namespace vornik
