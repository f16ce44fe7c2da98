// A started main window on a loopback link: requests go to 127.255.255.255 on
// a port of this process's own, never to the machine's network.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QStringEncoder>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include <gtest/gtest.h>

#include "app/setup_dlg.h"
#include "app/window_root.h"
#include "link/packet_capture.h"
#include "pages/qt_control_ops.h"
#include "sim_process.h"

namespace vornik::test {

inline constexpr uint32_t kLocalAddress = 0x7F000002; // 127.0.0.2

// Text as the controls hold it: code page 936.
inline std::string Cp936(const char* utf8)
{
    QStringEncoder encoder("GBK");
    const QByteArray bytes = encoder.encode(QString::fromUtf8(utf8));
    return std::string(bytes.constData(), size_t(bytes.size()));
}

// Lets the event loop run until pred holds or the time is up.
inline bool WaitFor(const std::function<bool()>& pred, int timeoutMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!pred()) {
        if (clock.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Every modal dialog that opens while this lives is recorded and closed.
class ModalWatcher {
public:
    struct Seen {
        std::string type; // typeid name of the dialog's class
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QWidget* parent = nullptr;
    };

    ModalWatcher()
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
        m_timer.start();
    }

    const std::vector<Seen>& Dialogs() const { return m_seen; }

private:
    void Poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) return;
        Seen seen;
        seen.type = typeid(*modal).name();
        seen.title = modal->windowTitle();
        seen.parent = modal->parentWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen.text = box->text();
            seen.icon = box->icon();
        }
        m_seen.push_back(seen);
        if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->done(QDialog::Accepted);
        else modal->close();
    }

    QTimer m_timer;
    std::vector<Seen> m_seen;
};

// The window as the program wires it (WindowRoot), started. A fixture that
// needs another link sets m_config (and m_record) in its constructor.
class WindowTest : public ::testing::Test {
protected:
    WindowTest() : m_config(LoopbackLinkConfig(FreeUdpPort(), {kLocalAddress})) {}

    void SetUp() override
    {
        m_root = std::make_unique<WindowRoot>(m_config, m_record, m_historyPath);
        Window().OnInitDialog();
        Window().show();
        Settle();
    }

    void TearDown() override { m_root.reset(); }

    // Runs what is queued, the info area's refresh included.
    static void Settle()
    {
        QCoreApplication::processEvents();
        QtControlOps::FlushAllPending();
    }

    CSetupDlg& Window() { return m_root->Window(); }
    UdpLink& Link() { return m_root->Link(); }
    SetupState& State() { return m_root->State(); }
    QtControlOps& Main() { return Window(); }
    QtControlOps& Net() { return Window().NetPage(); }
    QtControlOps& Dev() { return Window().DevPage(); }

    template <class T> T* Main(int id) { return qobject_cast<T*>(Main().Control(id)); }
    template <class T> T* Net(int id) { return qobject_cast<T*>(Net().Control(id)); }
    template <class T> T* Dev(int id) { return qobject_cast<T*>(Dev().Control(id)); }

    // A datagram as the receive thread hands it over.
    void Deliver(std::vector<uint8_t> bytes) { m_root->MainWindow().PostDatagrams()(Datagram{std::move(bytes)}); }

    LinkConfig m_config;
    PacketCapture* m_record = nullptr;
    std::string m_historyPath; // the settings history the window keeps (empty: none)
    std::unique_ptr<WindowRoot> m_root;
};

// The program's own arrangement: a record attached to the link from the start.
class RecordedWindowTest : public WindowTest {
protected:
    RecordedWindowTest() { m_record = &m_capture; }

    PacketCapture m_capture;
};

} // namespace vornik::test
