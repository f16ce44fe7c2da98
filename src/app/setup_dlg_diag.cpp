// The main window's diagnostics and settings files: the packet record's menu
// item and the pages saved to and loaded from a settings file. The device
// list's diagnostics (adapter, sender, address conflicts) read its typed rows
// themselves (device_list_diag.h).
#include <QAction>
#include <QDateTime>
#include <QFileDialog>
#include <QFile>
#include <QMenu>

#include "app/setup_dlg.h"
#include "link/packet_capture.h"
#include "ops/control_ids.h"
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
    add(QStringLiteral(u"导出参数..."), &CSetupDlg::OnExportSettings);
    add(QStringLiteral(u"导入参数..."), &CSetupDlg::OnImportSettings);
    add(QStringLiteral(u"保存数据包记录..."), &CSetupDlg::OnSavePacketRecord)->setEnabled(m_capture != nullptr);
    m_systemMenu->insertSeparator(first);
}

namespace {

const QString kSettingsFilter = QStringLiteral(u"参数文件 (*.json);;所有文件 (*)");

QString Utf8(const std::string& text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

} // namespace

void CSetupDlg::OnExportSettings()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral(u"导出参数"),
                                                      QStringLiteral("vornik-settings.json"), kSettingsFilter);
    if (!path.isEmpty()) ExportSettings(path);
}

void CSetupDlg::OnImportSettings()
{
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral(u"导入参数"), QString(), kSettingsFilter);
    if (!path.isEmpty()) ImportSettings(path);
}

bool CSetupDlg::ExportSettings(const QString& path)
{
    const auto fail = [this](const QString& why) {
        MessageBox(ToCp936(QStringLiteral(u"导出参数失败：%1").arg(why)), {}, MessageIcon::Exclamation);
        return false;
    };
    const NetworkParams network = m_ops.NetworkPageValues();
    const std::optional<DeviceParams> device = m_ops.DevicePageValues();
    if (!device) return fail(QStringLiteral(u"terminal-address（终端地址）要为8位长度"));
    const settings::Json source{
        {"program", "Vornik_Setup"},
        {"mac", FormatMacText(m_ops.State().TargetMac)},
        {"exported", QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString()}};
    const std::string text = settings::FileText(&network, &*device, source);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(text.data(), qint64(text.size())) != qint64(text.size()) || !file.flush())
        return fail(QStringLiteral(u"无法写入 %1（%2）").arg(path, file.errorString()));
    return true;
}

bool CSetupDlg::ImportSettings(const QString& path)
{
    const auto fail = [this](const QString& why) {
        MessageBox(ToCp936(QStringLiteral(u"导入参数失败：%1").arg(why)), {}, MessageIcon::Exclamation);
        return false;
    };
    // A huge file or a device is refused before it is read, as vornikctl refuses it.
    const auto text = settings::ReadSettingsFileText(QFile::encodeName(path).toStdString());
    if (const auto* error = std::get_if<settings::InputError>(&text))
        return fail(QStringLiteral(u"无法读取 %1（%2）").arg(path, Utf8(error->message)));
    auto read = settings::PatchFromFileText(std::get<std::string>(text));
    if (const auto* error = std::get_if<settings::InputError>(&read)) {
        // The library's sentence names the field; the field is repeated for a file without one.
        const QString field = error->field.empty() ? QString() : QStringLiteral(u"字段 %1：").arg(Utf8(error->field));
        return fail(field + Utf8(error->message));
    }
    const settings::Patch& patch = std::get<settings::Patch>(read);

    // Both pages are checked before either changes.
    NetworkParams network = m_ops.NetworkPageValues();
    std::optional<DeviceParams> device = m_ops.DevicePageValues();
    const bool toDevice = patch.Touches(settings::Block::Device);
    if (toDevice && !device)
        return fail(QStringLiteral(u"设备参数页的 terminal-address（终端地址）要为8位长度"));
    if (patch.Touches(settings::Block::Network)) {
        patch.ApplyTo(network);
        m_ops.ShowNetworkParams(network);
    }
    if (toDevice) {
        patch.ApplyTo(*device);
        m_ops.ShowDeviceParams(*device);
    }
    return true;
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

} // namespace vornik
