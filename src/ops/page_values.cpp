#include "ops/page_values.h"

#include <algorithm>
#include <cstdio>

#include "ops/control_ids.h"
#include "ops/drop_downs.h"
#include "ops/text.h"
#include "proto/cp936.h"
#include "proto/text_conv.h"
#include "ops/texts.h"

namespace vornik {

using text::Cp936;

namespace {

const int DATA_BITS_FIRST = DropDownOf(IDC_DEV_DATA_BITS).first;
const int STOP_BITS_FIRST = DropDownOf(IDC_DEV_STOP_BITS).first;

std::string Decimal(unsigned value) { return std::to_string(value); }


} // namespace

void PageValues::SetSource(settings::Block block, const PageSource& now, const std::string& elsewhere936)
{
    const bool network = block == settings::Block::Network;
    (network ? m_networkSource : m_deviceSource) = now;
    IControlOps& page = Page(block);
    const int labelId = network ? IDC_NET_SOURCE : IDC_DEV_SOURCE;
    // Two short lines: the label sits beside the page's buttons.
    if (now.fromDevice)
        page.SetText(labelId, Cp936(QT_TRANSLATE_NOOP("vornik::text", "来自 ")) + FormatDottedQuad(now.ip) + "\nMAC " +
                                  FormatMacText(now.mac));
    else if (!elsewhere936.empty())
        page.SetText(labelId, elsewhere936);
    else
        page.SetText(labelId, Cp936(QT_TRANSLATE_NOOP("vornik::text", "未读取设备\n(启动时的默认值)")));
}

void PageValues::FollowMac(const MacAddress& from, const MacAddress& to, uint32_t ip)
{
    for (const settings::Block block : {settings::Block::Network, settings::Block::Device}) {
        const PageSource& source = block == settings::Block::Network ? m_networkSource : m_deviceSource;
        if (source.fromDevice && source.mac == from) SetSource(block, {true, to, ip});
    }
}

const PageField* PageValues::FirstRefused(settings::Block block,
                                          const std::function<bool(const PageField&)>& skip) const
{
    const bool network = block == settings::Block::Network;
    const IControlOps& page = Page(block);
    for (const PageField& field : network ? NetworkPageFields() : DevicePageFields()) {
        if (skip && skip(field)) continue;
        const std::string text = page.GetText(field.control);
        // A target address that still reads as the reply filled it goes back as the reply's bytes.
        const auto filled = std::find_if(SERVER_CONTROL_IDS.begin(), SERVER_CONTROL_IDS.end(),
                                         [&](const ServerControls& ids) { return ids.targetAddress == field.control; });
        if (network && filled != SERVER_CONTROL_IDS.end()) {
            const FilledTarget& f = m_targetFilled[size_t(filled - SERVER_CONTROL_IDS.begin())];
            if (f.valid && f.text == text) continue;
        }
        if (!page.TextFits936(field.control) || RefusalOf(field, text)) return &field;
    }
    return nullptr;
}

std::string PageValues::RefusalSentence(settings::Block block, const PageField& field) const
{
    const IControlOps& page = Page(block);
    const std::string text = page.GetText(field.control);
    if (!page.TextFits936(field.control))
        return FieldLabel936(field.block, field.field) + Cp936("：“") + text + Cp936("”") + text::kMsgNotIn936.Cp936();
    return vornik::Refusal936(field, text);
}

bool PageValues::Refuses(settings::Block block)
{
    const PageField* refused = FirstRefused(block, nullptr);
    if (!refused) return false;
    Page(block).MessageBox(RefusalSentence(block, *refused) + Cp936(QT_TRANSLATE_NOOP("vornik::text", "。未发送任何数据。")),
                           text::kCaptionHint, MessageIcon::Exclamation);
    return true;
}

std::optional<std::string> PageValues::Refusal936(settings::Block block) const
{
    const PageField* refused = FirstRefused(block, nullptr);
    if (!refused) return std::nullopt;
    return RefusalSentence(block, *refused);
}

void PageValues::SetStartupValues()
{
    m_net.SetText(IDC_NET_IP_ADDRESS, "192.168.0.9");
    m_net.SetText(IDC_NET_SUBNET_MASK, "255.255.255.0");
    m_net.SetText(IDC_NET_GATEWAY, "192.168.0.1");
    for (size_t k = 0; k < SERVER_CONTROL_IDS.size(); ++k) {
        const ServerControls& ids = SERVER_CONTROL_IDS[k];
        m_net.SetText(ids.localPort, Decimal(unsigned(2000 + k)));
        m_net.SetText(ids.targetPort, Decimal(unsigned(2000 + k)));
        m_net.SetText(ids.targetAddress, "192.168.0.166");
    }
    m_net.SetSel(IDC_NET_MAX_CONNECTIONS, 8);
    m_net.SetText(IDC_NET_MAC, "02-5A-C3-00-00-00");
    m_net.Enable(IDC_NET_IP_ADDRESS, true);
    m_net.Enable(IDC_NET_SUBNET_MASK, true);
    m_net.Enable(IDC_NET_GATEWAY, true);
    m_net.SetSel(IDC_NET_IP_MODE, 0);

    m_dev.SetSel(IDC_DEV_SERVER_COUNT, 8);
    char address[9];
    std::snprintf(address, sizeof address, "%02X%02X%02X%02X", 0x12, 0x34, 0x56, 0x78);
    m_dev.SetText(IDC_DEV_TERMINAL_ADDRESS, address);
    m_dev.SetText(IDC_DEV_LOGIN_INTERVAL, DlgItemText(3));
    m_dev.SetText(IDC_DEV_HEARTBEAT_INTERVAL, DlgItemText(60));
    m_dev.SetText(IDC_DEV_UPLOAD_INTERVAL, DlgItemText(5));
    m_dev.SetSel(IDC_DEV_WORK_MODE, 0);
    m_dev.SetText(IDC_DEV_BAUD_RATE, DlgItemText(4800));
    m_dev.SetSel(IDC_DEV_DATA_BITS, 8 - DATA_BITS_FIRST);
    m_dev.SetSel(IDC_DEV_PARITY, 0);
    m_dev.SetSel(IDC_DEV_STOP_BITS, 1 - STOP_BITS_FIRST);
    m_dev.SetText(IDC_DEV_MODBUS_TERMINAL_COUNT, DlgItemText(1));
    for (size_t c = 0; c < CHANNEL_ADDRESS_IDS.size(); ++c)
        m_dev.SetText(CHANNEL_ADDRESS_IDS[c], DlgItemText(int32_t(c + 1)));
    for (const LimitControls& ids : LimitEditIds) {
        m_dev.SetText(ids.tempUpper, "99.9");
        m_dev.SetText(ids.tempLower, "0");
        m_dev.SetText(ids.humidityUpper, "99.9");
        m_dev.SetText(ids.humidityLower, "0");
    }
    SetSource(settings::Block::Network, {});
    SetSource(settings::Block::Device, {});
}

void PageValues::ShowNetwork(const NetworkParams& np)
{
    m_net.SetSel(IDC_NET_IP_MODE, IpModeFromFlag(np.ipMode));
    m_net.SetText(IDC_NET_IP_ADDRESS, FormatDottedQuad(np.ipAddress));
    m_net.SetText(IDC_NET_SUBNET_MASK, FormatDottedQuad(np.subnetMask));
    m_net.SetText(IDC_NET_GATEWAY, FormatDottedQuad(np.gateway));
    ApplyIpModeRule();
    for (size_t k = 0; k < SERVER_COUNT; ++k) {
        const ServerControls& ids = SERVER_CONTROL_IDS[k];
        const ServerEntry& s = np.servers[k];
        m_net.SetText(ids.localPort, Decimal(s.localPort));
        m_net.SetText(ids.targetAddress, TargetAddressText(s.targetAddress));
        m_net.SetText(ids.targetPort, Decimal(s.targetPort));
        // The field may not show every byte as it came (bytes that are no
        // code page 936 text); while it reads back as filled, the write
        // sends the reply's bytes.
        m_targetFilled[k] = FilledTarget{true, m_net.GetText(ids.targetAddress), s.targetAddress};
    }
    m_net.SetSel(IDC_NET_MAX_CONNECTIONS, np.maxConnections);
}

void PageValues::ApplyIpModeRule()
{
    // Only a DHCP device ignores the static address fields.
    const bool editable = m_net.GetSel(IDC_NET_IP_MODE) != 1;
    m_net.Enable(IDC_NET_IP_ADDRESS, editable);
    m_net.Enable(IDC_NET_SUBNET_MASK, editable);
    m_net.Enable(IDC_NET_GATEWAY, editable);
}

NetworkParams PageValues::NetworkValues() const
{
    // Read-modify-write: bytes the page does not show go back as the device sent them.
    NetworkParams np = m_network;
    np.ipAddress = ParseDottedQuad(m_net.GetText(IDC_NET_IP_ADDRESS));
    np.subnetMask = ParseDottedQuad(m_net.GetText(IDC_NET_SUBNET_MASK));
    np.gateway = ParseDottedQuad(m_net.GetText(IDC_NET_GATEWAY));
    np.ipMode = IpModeToFlag(m_net.GetSel(IDC_NET_IP_MODE));
    for (size_t k = 0; k < SERVER_COUNT; ++k) {
        const ServerControls& ids = SERVER_CONTROL_IDS[k];
        ServerEntry& s = np.servers[k];
        const std::string target = m_net.GetText(ids.targetAddress);
        if (m_targetFilled[k].valid && target == m_targetFilled[k].text)
            s.targetAddress = m_targetFilled[k].bytes;
        else
            StoreTargetAddress(s.targetAddress, target);
        s.localPort = PortFromText(m_net.GetText(ids.localPort));
        s.targetPort = PortFromText(m_net.GetText(ids.targetPort));
    }
    np.maxConnections = uint8_t(m_net.GetSel(IDC_NET_MAX_CONNECTIONS));
    return np;
}

void PageValues::ShowDevice(const DeviceParams& p)
{
    m_dev.SetSel(IDC_DEV_SERVER_COUNT, p.serverCount);
    m_dev.SetText(IDC_DEV_TERMINAL_ADDRESS, FormatTerminalAddress(p.terminalAddress));
    m_dev.SetText(IDC_DEV_LOGIN_INTERVAL, DlgItemText(p.loginInterval));
    m_dev.SetText(IDC_DEV_HEARTBEAT_INTERVAL, DlgItemText(p.heartbeatInterval));
    m_dev.SetText(IDC_DEV_UPLOAD_INTERVAL, DlgItemText(p.uploadInterval));
    m_dev.SetSel(IDC_DEV_WORK_MODE, p.workMode);
    m_dev.SetText(IDC_DEV_BAUD_RATE, DlgItemText(int32_t(p.baudRate)));
    m_dev.SetSel(IDC_DEV_DATA_BITS, int(p.dataBits) - DATA_BITS_FIRST);
    m_dev.SetSel(IDC_DEV_PARITY, p.parity);
    m_dev.SetSel(IDC_DEV_STOP_BITS, int(p.stopBits) - STOP_BITS_FIRST);
    m_dev.SetText(IDC_DEV_MODBUS_TERMINAL_COUNT, DlgItemText(p.modbusTerminalCount));
    for (size_t c = 0; c < CHANNEL_COUNT; ++c) m_dev.SetText(CHANNEL_ADDRESS_IDS[c], DlgItemText(p.channelAddress[c]));
    for (size_t c = 0; c < CHANNEL_COUNT; ++c) {
        const LimitControls& ids = LimitEditIds[c];
        m_dev.SetText(ids.tempUpper, FormatTenthsSigned(p.tempUpperLimit[c]));
        m_dev.SetText(ids.tempLower, FormatTenthsSigned(p.tempLowerLimit[c]));
        m_dev.SetText(ids.humidityUpper, FormatTenthsUnsigned(p.humidityUpperLimit[c]));
        m_dev.SetText(ids.humidityLower, FormatTenthsUnsigned(p.humidityLowerLimit[c]));
    }
}

std::optional<DeviceParams> PageValues::DeviceValues() const
{
    DeviceParams p = m_device;
    p.serverCount = uint8_t(m_dev.GetSel(IDC_DEV_SERVER_COUNT));

    // Bytes, not characters: a double-byte character counts twice.
    const std::string address = m_dev.GetText(IDC_DEV_TERMINAL_ADDRESS);
    if (address.size() != TERMINAL_ADDRESS_DIGITS) return std::nullopt;
    p.terminalAddress = TerminalAddressFromText(address);

    const auto intOf = [this](int id) { return DlgItemInt(m_dev.GetText(id)); };
    p.loginInterval = uint16_t(intOf(IDC_DEV_LOGIN_INTERVAL));
    p.heartbeatInterval = uint16_t(intOf(IDC_DEV_HEARTBEAT_INTERVAL));
    p.uploadInterval = uint16_t(intOf(IDC_DEV_UPLOAD_INTERVAL));
    p.workMode = uint8_t(m_dev.GetSel(IDC_DEV_WORK_MODE));
    p.baudRate = uint32_t(intOf(IDC_DEV_BAUD_RATE));
    p.dataBits = uint8_t(m_dev.GetSel(IDC_DEV_DATA_BITS) + DATA_BITS_FIRST);
    p.parity = uint8_t(m_dev.GetSel(IDC_DEV_PARITY));
    p.stopBits = uint8_t(m_dev.GetSel(IDC_DEV_STOP_BITS) + STOP_BITS_FIRST);
    p.modbusTerminalCount = uint8_t(intOf(IDC_DEV_MODBUS_TERMINAL_COUNT));
    for (size_t c = 0; c < CHANNEL_COUNT; ++c) p.channelAddress[c] = uint8_t(intOf(CHANNEL_ADDRESS_IDS[c]));
    for (size_t c = 0; c < CHANNEL_COUNT; ++c) {
        const LimitControls& ids = LimitEditIds[c];
        p.tempUpperLimit[c] = ParseTenths(m_dev.GetText(ids.tempUpper));
        p.tempLowerLimit[c] = ParseTenths(m_dev.GetText(ids.tempLower));
        p.humidityUpperLimit[c] = HumidityTenthsFromText(m_dev.GetText(ids.humidityUpper));
        p.humidityLowerLimit[c] = HumidityTenthsFromText(m_dev.GetText(ids.humidityLower));
    }
    return p;
}

PageValues::Imported PageValues::Import(const settings::Patch& patch, const std::string& fileName936)
{
    using settings::Block;
    // Every check comes before the first change: a file refused for the
    // device page must not have changed the network page already.
    const struct {
        Block block;
        IControlOps& page;
        const char* pageName;
    } pages[] = {{Block::Network, m_net, QT_TRANSLATE_NOOP("vornik::text", "网络参数页的 ")},
                 {Block::Device, m_dev, QT_TRANSLATE_NOOP("vornik::text", "设备参数页的 ")}};
    for (const auto& p : pages) {
        if (!patch.Touches(p.block)) continue;
        // What the file gives replaces what the page shows, so only the rest must pass.
        const PageField* refused =
            FirstRefused(p.block, [&](const PageField& f) { return patch.Contains(f.block, f.field); });
        if (refused)
            return {Cp936(p.pageName) + RefusalSentence(p.block, *refused) +
                        Cp936(QT_TRANSLATE_NOOP("vornik::text", "；文件中没有这一项，请先改正。")),
                    false};
    }

    Imported imported;
    const std::string fromFile936 = fileName936.empty()
                                        ? std::string()
                                        : Cp936(QT_TRANSLATE_NOOP("vornik::text", "来自导入的文件\n")) + fileName936;
    if (patch.Touches(Block::Network)) {
        NetworkParams network = NetworkValues();
        patch.ApplyTo(network);
        ShowNetwork(network);
        SetSource(Block::Network, {false, {}, 0, true}, fromFile936);
    }
    if (patch.Touches(Block::Device)) {
        // Checked above: only a terminal address the file gives can leave the page's unreadable.
        DeviceParams device = DeviceValues().value_or(m_device);
        patch.ApplyTo(device);
        ShowDevice(device);
        SetSource(Block::Device, {false, {}, 0, true}, fromFile936);
        // A whole block is a block to write, as one read from a device is.
        const auto& all = settings::Fields();
        if (std::all_of(all.begin(), all.end(), [&](const settings::FieldInfo& f) {
                return f.block != Block::Device || patch.Contains(Block::Device, f.name);
            }))
            imported.wholeDeviceBlock = true;
    }
    return imported;
}

} // namespace vornik
