// The main window's diagnostics: the packet record's menu item and the
// device list's per-row record (adapter, sender, address conflicts).
#include <QAction>
#include <QDateTime>
#include <QFileDialog>
#include <QMenu>
#include <QTreeWidget>

#include "app/device_list_diag.h"
#include "app/setup_dlg.h"
#include "link/packet_capture.h"
#include "ops/control_ids.h"
#include "pages/cp936.h"

namespace vornik {

void CSetupDlg::AddDiagnosticsMenuItems()
{
    // Above the window's own items, so that "关闭" and the about item keep
    // their places at the end.
    QAction* first = m_systemMenu->actions().value(0);
    QAction* save = new QAction(QStringLiteral(u"保存数据包记录..."), m_systemMenu);
    save->setEnabled(m_capture != nullptr);
    connect(save, &QAction::triggered, this, [this] { OnSavePacketRecord(); });
    m_systemMenu->insertAction(first, save);
    m_systemMenu->insertSeparator(first);
}

void CSetupDlg::OnSavePacketRecord()
{
    const QString suggested =
        QStringLiteral("vornik-%1.pcap").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral(u"保存数据包记录"), suggested,
                                                      QStringLiteral(u"数据包记录 (*.pcap);;所有文件 (*)"));
    if (!path.isEmpty()) SavePacketRecord(path);
}

bool CSetupDlg::SavePacketRecord(const QString& path)
{
    std::string error = "no packet record";
    if (m_capture && m_capture->Save(path.toStdString(), &error)) return true;
    MessageBox(ToCp936(QStringLiteral(u"保存数据包记录失败：%1\n%2").arg(path, QString::fromStdString(error))),
               {}, MessageIcon::Exclamation);
    return false;
}

void CSetupDlg::ClearRows(int id)
{
    QtControlOps::ClearRows(id);
    if (id == IDC_DEVICE_LIST) m_listDiagnostics->Rows().Clear();
}

void CSetupDlg::InsertRow(int id, int row, const std::string& firstCell936)
{
    QtControlOps::InsertRow(id, row, firstCell936);
    if (id != IDC_DEVICE_LIST) return;
    DeviceRowInfo info;
    info.ip = firstCell936;
    if (m_dispatching) {
        info.localAddress = m_dispatching->localAddress;
        info.sourceAddress = m_dispatching->sourceAddress;
        info.sourcePort = m_dispatching->sourcePort;
    }
    m_listDiagnostics->Rows().Insert(row, std::move(info));
}

void CSetupDlg::SetCell(int id, int row, int column, const std::string& text936)
{
    QtControlOps::SetCell(id, row, column, text936);
    if (id != IDC_DEVICE_LIST || column != COL_MAC) return;
    m_listDiagnostics->Rows().SetMac(row, text936);
    // A new MAC can tint rows already painted, far from this one.
    m_deviceList->viewport()->update();
}

} // namespace vornik
