#include "app/window_root.h"

#include "link/packet_capture.h"
#include "ops/device_history.h"

namespace vornik {

WindowRoot::WindowRoot(LinkConfig config, PacketCapture* record, std::string historyPath)
    : m_history(std::move(historyPath), WindowHistoryOptions()),
      m_hostAddresses(config.hostAddresses),
      m_link(Recorded(std::move(config), record), m_mainWindow.ShowMessages(), m_mainWindow.PostDatagrams()),
      m_window(m_link, m_mainWindow, m_hostAddresses)
{
    m_ops.emplace(m_state, m_window, m_window.NetPage(), m_window.DevPage(), m_link);
    // The info area shows each chunk's share at once: adding its lines
    // costs more than handling the replies, and counts against the slice too.
    m_pump.emplace(&m_window, m_mainWindow.Queue(),
                   [this](const Datagram& datagram) { m_window.OnFrameReceived(datagram); },
                   [this] { m_window.FlushPendingTexts(); });
    m_window.Attach(*m_ops, *m_pump);
    m_window.SetPacketCapture(record);
    m_window.SetHistory(&m_history);
}

// The one place the link stops: before the window its thread posts to goes.
WindowRoot::~WindowRoot() { m_link.Stop(); }

} // namespace vornik
