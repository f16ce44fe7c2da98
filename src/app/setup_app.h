// The application: runs the main window, wired by WindowRoot, and keeps the
// packet record from start-up to the end of the run.
#pragma once

#include <QApplication>
#include <QString>
#include <QTranslator>

#include "link/packet_capture.h"
#include "link/udp_link.h"

namespace vornik {

class CSetupApp : public QApplication {
public:
    CSetupApp(int& argc, char** argv);

    // Runs the main window until it ends and stops the link; the result is
    // the program's exit code. With pcapPath, every datagram the link sends
    // and receives is also written there as it passes.
    // Reads and writes are kept in the settings history at historyPath
    // (empty: nowhere).
    int Run(LinkConfig config, const std::string& pcapPath = {}, const std::string& historyPath = {});
    // Renders the main window and both pages to main.png, net.png and dev.png
    // in directory (and main-dev.png, about.png), without starting the link.
    int WriteScreenshots(const QString& directory);

private:
    QTranslator m_qtTexts;
    // Kept from start-up, for the window's "保存数据包记录...".
    PacketCapture m_capture;
};

} // namespace vornik
