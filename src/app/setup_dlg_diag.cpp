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

#include "app/setup_dlg.h"
#include "link/packet_capture.h"
#include "ops/control_ids.h"
#include "ops/page_checks.h"
#include "proto/text_conv.h"
#include "pages/cp936.h"
#include "settings/settings.h"

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
    const auto fail = [this](const std::string& why936) {
        MessageBox(ToCp936(QCoreApplication::translate("CSetupDlg", "导出参数失败：")) + why936, {}, MessageIcon::Exclamation);
        return false;
    };
    // A block is written only as a device gave it: one with start-up values
    // or a file's would be taken for a device's settings.
    const PageSource& netSource = m_ops->NetworkSource();
    const PageSource& devSource = m_ops->DeviceSource();
    if (!netSource.fromDevice && !devSource.fromDevice)
        return fail(ToCp936(QCoreApplication::translate("CSetupDlg", "两页的参数都不是从设备读取的；请先双击设备读取网络参数，"
                                                                     "并按“读取设备参数”。未写入文件。")));
    for (const auto& [block, filled] : {std::pair{settings::Block::Network, netSource.fromDevice},
                                        std::pair{settings::Block::Device, devSource.fromDevice}})
        if (filled)
            if (const auto refusal = m_ops->PageRefusal936(block))
                return fail(*refusal + ToCp936(QCoreApplication::translate("CSetupDlg", "。未写入文件。")));
    const NetworkParams network = m_ops->NetworkPageValues();
    const std::optional<DeviceParams> device = m_ops->DevicePageValues();

    settings::Json source{{"program", "Vornik_Setup"}};
    const auto from = [](const PageSource& s) {
        return settings::Json{{"mac", FormatMacText(s.mac)}, {"ip", FormatDottedQuad(s.ip)}};
    };
    // "mac" as vornikctl export writes it, when one device gave every block written.
    if (!(netSource.fromDevice && devSource.fromDevice) || netSource.mac == devSource.mac)
        source["mac"] = FormatMacText(netSource.fromDevice ? netSource.mac : devSource.mac);
    if (netSource.fromDevice) source["network"] = from(netSource);
    if (devSource.fromDevice) source["device"] = from(devSource);
    source["exported"] = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString();
    const std::string text = settings::FileText(netSource.fromDevice ? &network : nullptr,
                                                devSource.fromDevice && device ? &*device : nullptr, source);
    // Put in place whole or not at all: a full disk leaves the previous export as it was.
    QSaveFile file(path);
    bool whole = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    // Unbuffered and to the last byte: a write cut short by a file size
    // limit reports the bytes it got down, and only the next one fails.
    for (qint64 at = 0, size = qint64(text.size()); whole && at < size;) {
        const qint64 n = file.write(text.data() + at, size - at);
        whole = n > 0;
        at += n;
    }
    if (!whole) file.cancelWriting();
    if (!whole || !file.commit()) {
        // The name as it is: code page 936 has no ç or ő.
        MessageBoxText(QCoreApplication::translate("CSetupDlg", "导出参数失败：") +
                           QCoreApplication::translate("CSetupDlg", "无法写入文件 %1（目录是否存在、能否写入、磁盘是否已满）")
                               .arg(path),
                       MessageIcon::Exclamation);
        return false;
    }

    QString done = QCoreApplication::translate("CSetupDlg", "已导出参数到 %1：").arg(path);
    const auto part = [](const QString& name, const PageSource& s) {
        return s.fromDevice ? QCoreApplication::translate("CSetupDlg", "%1（来自设备 %2）").arg(name, QString::fromStdString(FormatMacText(s.mac)))
                            : QCoreApplication::translate("CSetupDlg", "%1页不是从设备读取的，未导出").arg(name);
    };
    done += part(QCoreApplication::translate("CSetupDlg", "网络参数"), netSource) + QCoreApplication::translate("CSetupDlg", "；") +
            part(QCoreApplication::translate("CSetupDlg", "设备参数"), devSource) + QStringLiteral("\r\n");
    m_ops->AppendInfoLine(ToCp936(done));
    return true;
}

bool CSetupDlg::ImportSettings(const QString& path)
{
    const auto fail = [this](const QString& why) {
        MessageBoxText(QCoreApplication::translate("CSetupDlg", "导入参数失败：") + why +
                           QCoreApplication::translate("CSetupDlg", "。参数页没有改变。"),
                       MessageIcon::Exclamation);
        return false;
    };
    // A huge file or a device is refused before it is read, as vornikctl refuses it.
    const auto text = settings::ReadSettingsFileText(QFile::encodeName(path).toStdString());
    if (const auto* error = std::get_if<settings::InputError>(&text)) {
        // The sentences are code page 936; the file's name goes in as it is
        // (code page 936 has no ç or ő), where the mark stands. Nothing of
        // the file's content is in these sentences, so the mark is the only one.
        return fail(FromCp936(SettingsErrorText936(*error, "\x01")).replace(QChar(1), path));
    }
    auto read = settings::PatchFromFileText(std::get<std::string>(text));
    if (const auto* error = std::get_if<settings::InputError>(&read))
        return fail(FromCp936(SettingsErrorText936(*error, ToCp936(path))));
    if (const auto refusal = m_ops->ImportPatch(std::get<settings::Patch>(read), ToCp936(QFileInfo(path).fileName())))
        return fail(FromCp936(*refusal));
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
        MessageBox(ToCp936(QCoreApplication::translate("CSetupDlg", "保存数据包记录失败：本次运行没有记录数据包。")), {}, MessageIcon::Exclamation);
        return false;
    }
    if (!m_capture->Save(QFile::encodeName(path).toStdString(), &error)) {
        MessageBoxText(
            QCoreApplication::translate("CSetupDlg", "保存数据包记录失败：无法写入文件 %1（目录是否存在、能否写入、磁盘是否已满）")
                .arg(path),
            MessageIcon::Exclamation);
        return false;
    }
    m_ops->AppendInfoLine(ToCp936(QCoreApplication::translate("CSetupDlg", "已保存数据包记录到 %1（%2 个数据报）\r\n")
                                     .arg(path)
                                     .arg(qulonglong(m_capture->Size()))));
    return true;
}

} // namespace vornik
