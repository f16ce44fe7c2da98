#include "app/window_root.h"

#include "link/packet_capture.h"

namespace vornik {

namespace {

LinkConfig Recorded(LinkConfig config, PacketCapture* record)
{
    if (record) record->Attach(config);
    return config;
}

// The window's thread waits while another program holds the history: not
// long, since a history left out costs one line and a frozen window costs
// the operator.
history::Options WindowHistory()
{
    history::Options options;
    options.busyTimeoutMs = 500;
    return options;
}

} // namespace

WindowRoot::WindowRoot(LinkConfig config, PacketCapture* record, std::string historyPath)
    : m_history(std::move(historyPath), WindowHistory()),
      m_hostAddresses(config.hostAddresses),
      m_link(Recorded(std::move(config), record), m_mainWindow.ShowMessages(), m_mainWindow.PostDatagrams()),
      m_window(m_state, m_link, m_mainWindow, m_hostAddresses)
{
    m_window.SetPacketCapture(record);
    m_window.SetHistory(&m_history);
}

WindowRoot::~WindowRoot() { m_link.Stop(); }

} // namespace vornik
