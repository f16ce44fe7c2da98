// The reference through which the link reaches the one main window: set
// during start-up, once the pages exist, and cleared when the window goes.
// It outlives the link; WindowRoot makes them in that order.
#pragma once

#include <atomic>

#include "link/datagram_queue.h"
#include "link/udp_link.h"

namespace vornik {

class CSetupDlg;

class MainWindowRef {
public:
    CSetupDlg* Get() const { return m_window.load(); }
    // A new window starts with an empty hand-over queue.
    void Set(CSetupDlg* window);
    void Clear(CSetupDlg* window) { m_window.compare_exchange_strong(window, nullptr); }

    // The link's hand-over ends: datagrams wait in a queue bounded in bytes,
    // and the window's thread is woken once for however many are waiting;
    // link messages are boxes of the main window.
    UdpLink::DatagramSink PostDatagrams();
    UdpLink::ErrorSink ShowMessages();

    DatagramQueue& Queue() { return m_queue; }

private:
    // Written on the window's thread, read on the receive thread too.
    std::atomic<CSetupDlg*> m_window{nullptr};
    DatagramQueue m_queue;
};

} // namespace vornik
