// Vornik_Setup: finds Vornik multi-probe devices on the LAN and edits their
// network and device parameters.
#include <cstdio>
#include <cstring>
#include <string>

#include "app/dev_link_config.h"
#include "app/setup_app.h"
#include "history/history.h"
#include "version.h"

namespace {

constexpr char kUsage[] = R"(Usage: Vornik_Setup [--pcap FILE] [--history FILE | --no-history]
       Vornik_Setup --screenshot DIR | --version | --help

Opens the configuration window for Vornik multi-probe temperature and
humidity devices on the local network (UDP port 1901).

  --pcap FILE        also write every datagram sent and received to FILE,
                     a pcap file for Wireshark, as it passes
  --history FILE     keep every read and write in this settings history
                     (default $XDG_DATA_HOME/vornik/history.sqlite, the file
                     vornikctl history and restore use)
  --no-history       keep no history
  --screenshot DIR   write PNGs of the window and its pages to DIR and exit
                     (no network traffic; works with QT_QPA_PLATFORM=offscreen)
  --version          print the version and the commit it was built from
  --help             this text
)";

} // namespace

int main(int argc, char** argv)
{
    // Answered before Qt starts, so that they need no display.
    if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("Vornik_Setup %s (%s)\n", VORNIK_VERSION, VORNIK_COMMIT);
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    vornik::CSetupApp app(argc, argv);
    if (argc >= 3 && std::strcmp(argv[1], "--screenshot") == 0)
        return app.WriteScreenshots(QString::fromLocal8Bit(argv[2]));
    // --pcap FILE: a record of every datagram sent and received, as it passes.
    std::string pcap;
    std::string history = vornik::history::DefaultPath();
    bool noHistory = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-history") == 0) noHistory = true;
        if (i + 1 < argc && std::strcmp(argv[i], "--pcap") == 0) pcap = argv[i + 1];
        if (i + 1 < argc && std::strcmp(argv[i], "--history") == 0) history = argv[i + 1];
    }
    if (noHistory) history.clear();
    return app.Run(vornik::LinkConfigFromEnvironment(), pcap, history);
}
