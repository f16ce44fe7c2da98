#include "app/main_window_ref.h"

#include <QMessageBox>

#include "app/setup_dlg.h"
#include "ops/link_texts.h"
#include "pages/cp936.h"

namespace vornik {

void MainWindowRef::Set(CSetupDlg* window)
{
    m_queue.Reset();
    m_window.store(window);
}

UdpLink::DatagramSink MainWindowRef::PostDatagrams()
{
    // The wake-up is posted to the window itself: the window stops the link
    // before it goes, so the pointer is live whenever the receive thread uses
    // it, and Qt drops whatever is still queued for a window once it is destroyed.
    return [this](Datagram datagram) {
        CSetupDlg* window = Get();
        if (!window) return;
        if (m_queue.Push(std::move(datagram)))
            QMetaObject::invokeMethod(window, [window] { window->OnDatagramsWaiting(); }, Qt::QueuedConnection);
    };
}

UdpLink::ErrorSink MainWindowRef::ShowMessages()
{
    return [this](const LinkError& error) {
        const std::string text936 = LinkErrorText936(error);
        if (CSetupDlg* window = Get()) {
            // Shown once the operation that sent has returned: a box runs an
            // event loop of its own, and replies handled inside it would meet
            // an operation half done.
            QMetaObject::invokeMethod(window, [window, text936] { window->MessageBox(text936); }, Qt::QueuedConnection);
        } else {
            QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kApplicationName), FromCp936(text936),
                            QMessageBox::Ok);
            box.exec();
        }
    };
}

} // namespace vornik
