// A search answered by many devices at once, into the offscreen window:
//   1. through the real link on loopback, with vornik_sim as the devices;
//   2. the hand-over alone: the same replies posted as the receive thread posts them.
// Prints rows listed, rows lost and the time from the search to the last row.
//   bench_gui [devices]   (default 1000)
#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/setup_dlg.h"
#include "ops/control_ids.h"
#include "pages/qt_control_ops.h"

extern char** environ;

namespace {

using namespace vornik;

constexpr uint32_t kLoopbackBroadcast = 0x7FFFFFFF; // 127.255.255.255
constexpr uint32_t kLocalAddress = 0x7F000002;       // 127.0.0.2
constexpr qint64 kQuietMs = 2000;   // no new row for this long: the burst is over
constexpr qint64 kTimeoutMs = 20000;

uint16_t FreeUdpPort()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t size = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    ::close(fd);
    return ntohs(a.sin_port);
}

// vornik_sim on loopback; gone with this object.
class Simulator {
public:
    Simulator(uint16_t port, int devices)
    {
        int ready[2];
        if (::pipe(ready) != 0) std::exit(1);
        const std::vector<std::string> args = {VORNIK_SIM_PATH, "--port", std::to_string(port), "--reply-to",
                                               "127.255.255.255", "--devices", std::to_string(devices),
                                               "--ready-fd", std::to_string(ready[1])};
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
            std::fprintf(stderr, "cannot start %s\n", VORNIK_SIM_PATH);
            std::exit(1);
        }
        ::close(ready[1]);
        char line[16] = {};
        [[maybe_unused]] ssize_t n = ::read(ready[0], line, sizeof line - 1);
        ::close(ready[0]);
    }
    ~Simulator()
    {
        ::kill(m_pid, SIGTERM);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }

private:
    pid_t m_pid = -1;
};

struct Result {
    int rows = 0;
    qint64 lastRowMs = 0;
    int refreshes = 0; // times the info area took a new text
};

int g_refreshes = 0;

// Runs the loop until the list has `expected` rows or stops growing.
Result WaitForRows(QTreeWidget& list, int expected, const QElapsedTimer& clock)
{
    Result r;
    g_refreshes = 0;
    qint64 lastChange = clock.elapsed();
    while (clock.elapsed() < kTimeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const int rows = list.topLevelItemCount();
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
    LinkConfig config;
    config.port = port;
    config.broadcastAddress = kLoopbackBroadcast;
    config.hostAddresses = [] { return std::vector<uint32_t>{kLocalAddress}; };

    SetupState state;
    UdpLink link(config, ShowOnMainWindow(), PostToMainWindow());
    auto window = std::make_unique<CSetupDlg>(state, link, config.hostAddresses);
    window->OnInitDialog();
    window->show();
    QCoreApplication::processEvents();
    auto* search = qobject_cast<QPushButton*>(window->Control(IDC_SEARCH));
    auto* info = qobject_cast<QPlainTextEdit*>(window->Control(IDC_INFO));
    QObject::connect(info->document(), &QTextDocument::contentsChanged, [] { ++g_refreshes; });

    {
        Simulator sim(port, devices);
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
        for (int i = 0; i < devices; ++i) PostToMainWindow()(SearchReply(i));
        Report("hand-over only", devices, WaitForRows(window->DeviceList(), devices, clock));
    }

    link.Stop();
    window.reset();
    return 0;
}
