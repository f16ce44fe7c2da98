// Vornik_Setup.exe: finds Vornik multi-probe devices on the LAN and edits
// their network and device parameters; the native Windows window.
#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "history/history.h"
#include "link/link_environment.h"
#include "link/packet_capture.h"
#include "version.h"
#include "win32/setup_dlg.h"
#include "win32/wide_text.h"

namespace {

constexpr wchar_t kUsage[] = LR"(Usage: Vornik_Setup [--pcap FILE] [--history FILE | --no-history]
       Vornik_Setup --screenshot DIR | --version | --help

Opens the configuration window for Vornik multi-probe temperature and
humidity devices on the local network (UDP port 1901).

  --pcap FILE        also write every datagram sent and received to FILE,
                     a pcap file for Wireshark, as it passes
  --history FILE     keep every read and write in this settings history
                     (default %LOCALAPPDATA%\vornik\history.sqlite, the file
                     vornikctl history and restore use)
  --no-history       keep no history
  --screenshot DIR   write PNGs of the window with each page to DIR and exit
                     (no network traffic)
  --version          print the version and the commit it was built from
  --help             this text
)";

// A window program has no console of its own: the text goes where the
// caller's output goes, or into a box when there is none.
void Say(const std::wstring& text)
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!out || out == INVALID_HANDLE_VALUE) {
        if (AttachConsole(ATTACH_PARENT_PROCESS)) out = GetStdHandle(STD_OUTPUT_HANDLE);
    }
    DWORD wrote = 0;
    if (out && out != INVALID_HANDLE_VALUE) {
        if (GetFileType(out) == FILE_TYPE_CHAR && WriteConsoleW(out, text.c_str(), DWORD(text.size()), &wrote, nullptr))
            return;
        const std::string utf8 = vornik::Utf8FromWide(text);
        if (WriteFile(out, utf8.data(), DWORD(utf8.size()), &wrote, nullptr)) return;
    }
    MessageBoxW(nullptr, text.c_str(), vornik::kApplicationNameW, MB_OK);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::wstring> args(argv + 1, argv + argc);
    LocalFree(argv);
    if (!args.empty() && args[0] == L"--version") {
        Say(vornik::WideFromUtf8(std::string("Vornik_Setup ") + VORNIK_VERSION + " (" + VORNIK_COMMIT + ")\n"));
        return 0;
    }
    if (!args.empty() && (args[0] == L"--help" || args[0] == L"/?")) {
        Say(kUsage);
        return 0;
    }
    if (args.size() >= 2 && args[0] == L"--screenshot") {
        vornik::win32::CSetupDlg window(instance, {});
        if (!window.Create(false)) return 1;
        return window.WriteScreenshots(args[1]) ? 0 : 1;
    }
    std::string pcap;
    std::string historyPath = vornik::history::DefaultPath();
    bool noHistory = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == L"--no-history") noHistory = true;
        if (i + 1 < args.size() && args[i] == L"--pcap") pcap = vornik::Utf8FromWide(args[i + 1]);
        if (i + 1 < args.size() && args[i] == L"--history") historyPath = vornik::Utf8FromWide(args[i + 1]);
    }
    if (noHistory) historyPath.clear();

    vornik::PacketCapture record;
    std::string error;
    if (!pcap.empty() && !record.StreamTo(pcap, &error)) {
        Say(vornik::WideFromUtf8("--pcap " + pcap + ": " + error + "\n"));
        return 2;
    }
    vornik::win32::CSetupDlg::Options options;
    options.link = vornik::LinkConfigFromEnvironment();
    options.record = &record;
    options.historyPath = historyPath;
    vornik::win32::CSetupDlg window(instance, std::move(options));
    if (!window.Create()) return 1;
    return window.Run();
}
