// The main window's diagnostics and settings files: the packet record's menu
// item and the pages saved to and loaded from a settings file. The device
// list's diagnostics (adapter, sender, address conflicts) read its typed rows
// themselves (device_list_diag.h).
#include <QCoreApplication>
#include <QAction>
#include <QDateTime>
#include <QFileDialog>
#include <QFile>
#include <QSaveFile>
#include <QFileInfo>
#include <QMenu>

#include <chrono>

#include "app/setup_dlg.h"
#include "link/packet_capture.h"
#include "ops/control_ids.h"
#include "ops/settings_files.h"
#include "ops/texts.h"
#include "pages/cp936.h"

namespace vornik {

void CSetupDlg::AddDiagnosticsMenuItems()
{
    // Above the window's own items, so that "关闭" and the about item keep
    // their places at the end.
    QAction* first = m_systemMenu->actions().value(0);
    const auto add = [&](const QString& text, void (CSetupDlg::*handler)()) {
        QAction* action = new QAction(text, m_systemMenu);
        connect(action, &QAction::triggered, this, handler);
        m_systemMenu->insertAction(first, action);
        return action;
    };
    add(QCoreApplication::translate("CSetupDlg", "导出参数..."), &CSetupDlg::OnExportSettings);
    add(QCoreApplication::translate("CSetupDlg", "导入参数..."), &CSetupDlg::OnImportSettings);
    add(QCoreApplication::translate("CSetupDlg", "保存数据包记录..."), &CSetupDlg::OnSavePacketRecord)->setEnabled(m_capture != nullptr);
    m_systemMenu->insertSeparator(first);
}

namespace {

const QString kSettingsFilter = QCoreApplication::translate("CSetupDlg", "参数文件 (*.json);;所有文件 (*)");

} // namespace

void CSetupDlg::OnExportSettings()
{
    const QString path = QFileDialog::getSaveFileName(this, QCoreApplication::translate("CSetupDlg", "导出参数"),
                                                      QStringLiteral("vornik-settings.json"), kSettingsFilter);
    if (!path.isEmpty()) ExportSettings(path);
}

void CSetupDlg::OnImportSettings()
{
    const QString path = QFileDialog::getOpenFileName(this, QCoreApplication::translate("CSetupDlg", "导入参数"), QString(), kSettingsFilter);
    if (!path.isEmpty()) ImportSettings(path);
}

bool CSetupDlg::ExportSettings(const QString& path)
{
    const SettingsExport file = ExportSettingsText(*m_ops, std::chrono::system_clock::now());
    if (file.refusal936) {
        MessageBox(*file.refusal936, {}, MessageIcon::Exclamation);
        return false;
    }
    const std::string& text = file.text;
    // Put in place whole or not at all: a full disk leaves the previous export as it was.
    QSaveFile out(path);
    bool whole = out.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    // Unbuffered and to the last byte: a write cut short by a file size
    // limit reports the bytes it got down, and only the next one fails.
    for (qint64 at = 0, size = qint64(text.size()); whole && at < size;) {
        const qint64 n = out.write(text.data() + at, size - at);
        whole = n > 0;
        at += n;
    }
    if (!whole) out.cancelWriting();
    if (!whole || !out.commit()) {
        // The name as it is: code page 936 has no ç or ő.
        MessageBoxText(QString::fromStdString(ExportNotWrittenText(path.toStdString())), MessageIcon::Exclamation);
        return false;
    }
    m_ops->AppendInfoLine(ExportDoneLine936(*m_ops, path.toStdString()));
    return true;
}

bool CSetupDlg::ImportSettings(const QString& path)
{
    if (const auto failure =
            ImportSettingsFile(*m_ops, QFile::encodeName(path).toStdString(), QFileInfo(path).fileName().toStdString())) {
        MessageBoxText(QString::fromStdString(*failure), MessageIcon::Exclamation);
        return false;
    }
    return true;
}

void CSetupDlg::OnSavePacketRecord()
{
    const QString suggested =
        QStringLiteral("vornik-%1.pcap").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    const QString path = QFileDialog::getSaveFileName(this, QCoreApplication::translate("CSetupDlg", "保存数据包记录"), suggested,
                                                      QCoreApplication::translate("CSetupDlg", "数据包记录 (*.pcap);;所有文件 (*)"));
    if (!path.isEmpty()) SavePacketRecord(path);
}

bool CSetupDlg::SavePacketRecord(const QString& path)
{
    // The library's reason is English; what the operator can do about it is said instead.
    std::string error;
    if (!m_capture) {
        MessageBox(text::kPacketRecordNone, {}, MessageIcon::Exclamation);
        return false;
    }
    if (!m_capture->Save(QFile::encodeName(path).toStdString(), &error)) {
        MessageBoxText(QString::fromStdString(PacketRecordNotWrittenText(path.toStdString())), MessageIcon::Exclamation);
        return false;
    }
    m_ops->AppendInfoLine(PacketRecordSavedLine936(path.toStdString(), m_capture->Size()));
    return true;
}

} // namespace vornik
