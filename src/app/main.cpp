// Vornik_Setup: finds Vornik multi-probe devices on the LAN and edits their
// network and device parameters.
#include <cstring>
#include <string>

#include "app/dev_link_config.h"
#include "app/setup_app.h"

int main(int argc, char** argv)
{
    vornik::CSetupApp app(argc, argv);
    if (argc >= 3 && std::strcmp(argv[1], "--screenshot") == 0)
        return app.WriteScreenshots(QString::fromLocal8Bit(argv[2]));
    // --pcap FILE: a record of every datagram sent and received, as it passes.
    std::string pcap;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--pcap") == 0) pcap = argv[i + 1];
    return app.InitInstance(vornik::LinkConfigFromEnvironment(), pcap);
}
