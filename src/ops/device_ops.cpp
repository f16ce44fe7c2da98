#include "ops/device_ops.h"

#include "ops/control_ids.h"
#include "ops/drop_downs.h"
#include "ops/page_checks.h"
#include "ops/read_back.h"
#include "engine/confirm.h"
#include "proto/cp936.h"
#include "proto/byte_io.h"
#include "proto/text_conv.h"
#include "ops/texts.h"

#include <algorithm>
#include <cstdio>

namespace vornik {

namespace {

const int DATA_BITS_FIRST = DropDownOf(IDC_DEV_DATA_BITS).first;
const int STOP_BITS_FIRST = DropDownOf(IDC_DEV_STOP_BITS).first;

std::string Decimal(unsigned value) { return std::to_string(value); }

std::string Cp936(const char* utf8) { return Cp936FromUtf8Lossy(utf8); }

} // namespace

DeviceOps::DeviceOps(SetupState& state, IControlOps& mainWindow, IControlOps& netPage, IControlOps& devPage,
                     IFrameSender& link)
    : m_state(state), m_main(mainWindow), m_net(netPage), m_dev(devPage), m_link(link)
{
}

void DeviceOps::RefreshInfoArea()
{
    // The area takes only what was added since its last refresh, so a reply
    // costs the same however long the log has grown. Anything else (a new
    // log, or one changed elsewhere) gives it the whole text again.
    const std::string& log = m_state.InfoLog;
    const bool grewOnly = m_infoShownValid && !m_infoRestarted && log.size() >= m_infoShownSize &&
                          log.compare(m_infoShownSize - m_infoShownEnd.size(), m_infoShownEnd.size(),
                                      m_infoShownEnd) == 0;
    if (grewOnly)
        m_main.AppendText(IDC_INFO, log.substr(m_infoShownSize));
    else
        m_main.SetText(IDC_INFO, log);
    m_infoShownValid = true;
    m_infoRestarted = false;
    m_infoShownSize = log.size();
    const size_t end = std::min(log.size(), kInfoEndCheck);
    m_infoShownEnd.assign(log, log.size() - end, end);
}

void DeviceOps::RestartLog()
{
    m_state.InfoLog.clear();
    m_history.StartOperation();
    m_infoRestarted = true;
}

void DeviceOps::StartLog(const char* line)
{
    m_state.InfoLog.assign(line);
    m_history.StartOperation();
    m_infoRestarted = true;
}

void DeviceOps::Send(const Frame& frame) { m_link.SendFrame(frame.data(), frame.size()); }

void DeviceOps::ShowWelcome()
{
    // The port in use: another than 1901 in the demo and under the simulator.
    m_main.SetText(IDC_LOCAL_PORT, Decimal(m_link.Port()));
    m_state.InfoLog += text::kWelcomeText;
    RefreshInfoArea();
}

void DeviceOps::SetStartupValues()
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
    SetSource(m_networkSource, IDC_NET_SOURCE, m_net, {});
    SetSource(m_deviceSource, IDC_DEV_SOURCE, m_dev, {});
}

void DeviceOps::SetSource(PageSource& source, int labelId, IControlOps& page, const PageSource& now,
                          const std::string& elsewhere936)
{
    // Two short lines: the label sits beside the page's buttons.
    source = now;
    if (now.fromDevice)
        page.SetText(labelId, Cp936("来自 ") + FormatDottedQuad(now.ip) + "\nMAC " + FormatMacText(now.mac));
    else if (!elsewhere936.empty())
        page.SetText(labelId, elsewhere936);
    else
        page.SetText(labelId, Cp936("未读取设备\n(启动时的默认值)"));
}

void DeviceOps::AppendInfoLine(const std::string& line936)
{
    m_state.InfoLog += line936;
    RefreshInfoArea();
}

// ---- Discovery ----

void DeviceOps::SearchDevices()
{
    RestartLog();
    RefreshInfoArea();
    m_state.InfoLog += text::kLogSearching;
    m_link.OpenEndpoints();
    // Rows go before the request leaves, so every reply to it stays listed.
    m_main.ClearRows(IDC_DEVICE_LIST);
    // Sent once: every reply to a search is a row of its own.
    engine::Request search = engine::Awaited(BuildSearchRequest(), ReplyKind::Search, {});
    search.tries = 1;
    search.interval = std::chrono::duration_cast<std::chrono::milliseconds>(ANSWER_TIME);
    search.anyDevice = true;
    Await(Awaiting::SearchReply, {search});
    RefreshInfoArea();
}

void DeviceOps::Await(Awaiting what, std::vector<engine::Request> requests)
{
    m_awaiting = what;
    m_awaitedMac = m_state.TargetMac;
    const auto pending = std::make_shared<engine::Exchange>(std::move(requests), PACING);
    m_pending = pending;
    pending->Poll(m_clock(), [this](const Frame& frame) { Send(frame); });
}

std::vector<engine::Request> DeviceOps::NetworkWriteRequests() const
{
    const MacAddress& mac = m_state.TargetMac;
    return {engine::SentOnce(BuildNetworkWriteRequest(mac, EncodeNetworkParams(m_networkWritten)),
                             ReplyKind::NetworkWriteAck, mac),
            engine::Awaited(BuildNetworkReadRequest(mac), ReplyKind::NetworkRead, mac)};
}

std::vector<engine::Request> DeviceOps::DeviceWriteRequests() const
{
    const MacAddress& mac = m_state.TargetMac;
    return {engine::SentOnce(BuildDeviceWriteRequest(mac, m_deviceWritten), ReplyKind::DeviceWriteAck, mac),
            engine::Awaited(BuildDeviceReadRequest(mac), ReplyKind::DeviceRead, mac)};
}

void DeviceOps::CheckAnswers()
{
    const std::shared_ptr<engine::Exchange> pending = m_pending;
    if (!pending) return;
    pending->Poll(m_clock(), [this](const Frame& frame) { Send(frame); });
    // A reply handled inside a send may have begun another operation.
    if (pending != m_pending || m_awaiting == Awaiting::Nothing || !pending->Done()) return;
    if (m_awaiting == Awaiting::SearchReply)
        m_state.InfoLog += text::kLogNothingFound;
    else if (m_awaiting == Awaiting::NetworkReadBack)
        m_state.InfoLog += NoReadBackLine936(m_awaitedMac, settings::Block::Network);
    else if (m_awaiting == Awaiting::DeviceReadBack)
        m_state.InfoLog += NoReadBackLine936(m_awaitedMac, settings::Block::Device);
    else
        AppendMacLine(text::kLogNoAnswerBefore, m_awaitedMac, text::kLogNoAnswerAfter);
    m_awaiting = Awaiting::Nothing;
    RefreshInfoArea();
}

void DeviceOps::HandleSearchReply(const SearchReplyFields& reply)
{
    const DeviceRow row{reply.ipAddress, reply.mac, reply.firmware,
                        m_replyFrom.sender, m_replyFrom.senderPort, m_replyFrom.adapter};
    m_main.InsertDeviceRow(IDC_DEVICE_LIST, 0, row);
    m_state.InfoLog += text::kLogDeviceFound;
    if (AnsweredNow(Awaiting::SearchReply)) m_awaiting = Awaiting::Nothing;
    FollowWrittenMac(reply.mac);
    RefreshInfoArea();
}

void DeviceOps::DispatchFrame(std::span<const uint8_t> datagram, const ReplyOrigin& from)
{
    m_replyFrom = from;
    vornik::DispatchFrame(datagram, m_state.frameBuffer, *this);
    m_offered = {};
}

bool DeviceOps::Accept(const ClassifiedReply& reply)
{
    m_offered = {};
    if (const std::shared_ptr<engine::Exchange> pending = m_pending)
        m_offered = pending->Offer(reply, Datagram{}, m_clock());
    // The device answered an earlier send of a request sent again: one
    // request, one answer in the info area.
    return m_offered.match != engine::Exchange::Match::Duplicate;
}

bool DeviceOps::WrittenAgain(const std::vector<settings::Difference>& differences, Awaiting what)
{
    if (engine::AfterReadBack(differences, m_round, PACING.tries) != engine::Next::WriteAgain) return false;
    ++m_round;
    Await(what, what == Awaiting::NetworkReadBack ? NetworkWriteRequests() : DeviceWriteRequests());
    return true;
}

// ---- Network parameters ----

void DeviceOps::OnDeviceListDoubleClick()
{
    const int row = m_main.FirstSelectedRow(IDC_DEVICE_LIST);
    const std::optional<DeviceRow> device = row < 0 ? std::nullopt : m_main.DeviceRowAt(IDC_DEVICE_LIST, row);
    if (!device) return;
    // The row's own bytes: whatever its MAC cell shows.
    m_state.TargetMac = device->mac;
    m_chosenIp = device->ip;
    // The operator sees which row the pages will show.
    m_main.MarkRow(IDC_DEVICE_LIST, row);
    m_macWritten.reset();
    m_net.SetText(IDC_NET_MAC, FormatMacText(m_state.TargetMac));
    StartLog(text::kLogReadingNetwork);
    Await(Awaiting::NetworkRead,
          {engine::Awaited(BuildNetworkReadRequest(m_state.TargetMac), ReplyKind::NetworkRead, m_state.TargetMac)});
    RefreshInfoArea();
}

void DeviceOps::AppendMacLine(const char* before, const MacAddress& mac, const char* after)
{
    m_state.InfoLog += before;
    m_state.InfoLog += FormatMacText(mac);
    m_state.InfoLog += after;
}

bool DeviceOps::FollowWrittenMac(const MacAddress& from)
{
    if (!m_macWritten || from != *m_macWritten) return false;
    m_state.TargetMac = from;
    m_macWritten.reset();
    AppendMacLine(text::kLogFollowingMacBefore, from, text::kLogFollowingMacAfter);
    return true;
}

bool DeviceOps::FromChosenDevice(const MacAddress& from)
{
    // A late reply of a device chosen before, or of one never asked, must not
    // fill the pages: the next write would carry its values to this device.
    if (from == m_state.TargetMac || FollowWrittenMac(from)) return true;
    AppendMacLine(text::kLogIgnoredReplyBefore, from, text::kLogIgnoredReplyAfter);
    return false;
}

void DeviceOps::HandleNetworkReply(const MacAddress& from, const NetworkParamsImage& image)
{
    if (!FromChosenDevice(from)) return;
    const NetworkParams received = DecodeNetworkParams(image);
    m_networkRead = {from, image};
    if (AnsweredNow(Awaiting::NetworkReadBack)) {
        const auto differences = engine::ReadBackDifferences({m_networkWritten, std::nullopt}, {received, std::nullopt});
        if (WrittenAgain(differences, Awaiting::NetworkReadBack)) return;
        // The page keeps what was written; the line names what the device kept otherwise.
        m_awaiting = Awaiting::Nothing;
        Record(history::Stage::After, "write-network", {from, ReplyIp(), image, std::nullopt});
        m_state.InfoLog += ReadBackLine936(from, settings::Block::Network, differences);
        SayHistoryFailure();
        return;
    }
    if (AnsweredNow(Awaiting::NetworkRead)) m_awaiting = Awaiting::Nothing;
    Record(history::Stage::Read, "read", {from, ReplyIp(), image, std::nullopt});
    m_state.networkParams = received;
    ShowNetworkParams(m_state.networkParams);
    SetSource(m_networkSource, IDC_NET_SOURCE, m_net, {true, from, m_chosenIp});
    m_state.InfoLog += text::kLogNetworkRead;
    SayHistoryFailure();
}

void DeviceOps::ShowNetworkParams(const NetworkParams& np)
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

void DeviceOps::OnIpModeChanged() { ApplyIpModeRule(); }

void DeviceOps::ApplyIpModeRule()
{
    // Only a DHCP device ignores the static address fields.
    const bool editable = m_net.GetSel(IDC_NET_IP_MODE) != 1;
    m_net.Enable(IDC_NET_IP_ADDRESS, editable);
    m_net.Enable(IDC_NET_SUBNET_MASK, editable);
    m_net.Enable(IDC_NET_GATEWAY, editable);
}

NetworkParams DeviceOps::NetworkPageValues() const
{
    // Read-modify-write: bytes the page does not show go back as the device sent them.
    NetworkParams np = m_state.networkParams;
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

const PageField* DeviceOps::FirstRefused(const IControlOps& page, const std::vector<PageField>& fields,
                                         const std::function<bool(const PageField&)>& skip) const
{
    for (const PageField& field : fields) {
        if (skip && skip(field)) continue;
        const std::string text = page.GetText(field.control);
        // A target address that still reads as the reply filled it goes back as the reply's bytes.
        const auto filled = std::find_if(SERVER_CONTROL_IDS.begin(), SERVER_CONTROL_IDS.end(),
                                         [&](const ServerControls& ids) { return ids.targetAddress == field.control; });
        if (&page == &m_net && filled != SERVER_CONTROL_IDS.end()) {
            const FilledTarget& f = m_targetFilled[size_t(filled - SERVER_CONTROL_IDS.begin())];
            if (f.valid && f.text == text) continue;
        }
        if (RefusalOf(field, text)) return &field;
    }
    return nullptr;
}

bool DeviceOps::PageRefuses(IControlOps& page, const std::vector<PageField>& fields)
{
    const PageField* refused = FirstRefused(page, fields, nullptr);
    if (!refused) return false;
    page.MessageBox(*RefusalOf(*refused, page.GetText(refused->control)), text::kCaptionHint, MessageIcon::Exclamation);
    return true;
}

void DeviceOps::OnWriteNetworkParams()
{
    // Nothing typed is wrapped or guessed: a value out of range stops the write.
    if (PageRefuses(m_net, NetworkPageFields())) return;
    m_state.networkParams = NetworkPageValues();
    // After the restart: a history that fails here is said in this write's lines.
    RestartLog();
    RecordBefore("write-network", true, false);
    RefreshInfoArea();
    m_state.InfoLog += text::kLogWriting;
    SayHistoryFailure();
    // Confirmed by what the device gives back, acknowledged or not.
    m_networkWritten = m_state.networkParams;
    m_round = 1;
    Await(Awaiting::NetworkReadBack, NetworkWriteRequests());
    RefreshInfoArea();
}

void DeviceOps::OnWriteMac()
{
    const std::optional<MacAddress> newMac = ParseMacText(m_net.GetText(IDC_NET_MAC));
    if (!newMac) {
        StartLog(text::kLogBadMac);
    } else {
        StartLog(text::kLogWritingMac);
        Send(BuildWriteMacRequest(m_state.TargetMac, *newMac));
        // Until the device shows itself under the new MAC, every request
        // would still go to the old one, which nothing answers any more.
        if (*newMac != m_state.TargetMac) {
            m_macWritten = *newMac;
            AppendMacLine(text::kLogSearchAfterMacBefore, *newMac, text::kLogSearchAfterMacAfter);
        }
    }
    RefreshInfoArea();
}

void DeviceOps::OnFactoryDefaults()
{
    const Frame frame = BuildFactoryDefaultsRequest(m_state.TargetMac);
    // Both blocks go back to the device's own values, which no one can undo without them.
    StartLog(text::kLogFactoryDefaults);
    RecordBefore("factory-defaults", true, true);
    Send(frame);
    SayHistoryFailure();
    RefreshInfoArea();
}

// ---- Device parameters ----

void DeviceOps::OnReadDeviceParams()
{
    StartLog(text::kLogReadingDevice);
    Await(Awaiting::DeviceRead,
          {engine::Awaited(BuildDeviceReadRequest(m_state.TargetMac), ReplyKind::DeviceRead, m_state.TargetMac)});
    RefreshInfoArea();
}

void DeviceOps::HandleDeviceReply(const MacAddress& from, uint8_t function, const DeviceParams* read)
{
    if (!FromChosenDevice(from)) return;
    if (read && AnsweredNow(Awaiting::DeviceReadBack)) {
        m_deviceRead = {from, *read};
        const auto differences = engine::ReadBackDifferences({std::nullopt, m_deviceWritten}, {std::nullopt, *read});
        if (WrittenAgain(differences, Awaiting::DeviceReadBack)) return;
        m_awaiting = Awaiting::Nothing;
        Record(history::Stage::After, "write-device", {from, ReplyIp(), std::nullopt, *read});
        m_state.InfoLog += ReadBackLine936(from, settings::Block::Device, differences);
        SayHistoryFailure();
        return;
    }
    if (function == DEVICE_FUNC_WRITE) {
        m_state.InfoLog += text::kLogDeviceWritten;
    } else if (read) {
        m_state.deviceParams = *read;
        if (AnsweredNow(Awaiting::DeviceRead)) m_awaiting = Awaiting::Nothing;
        m_deviceParamsRead = true;
        m_deviceRead = {from, *read};
        Record(history::Stage::Read, "read", {from, ReplyIp(), std::nullopt, *read});
        ShowDeviceParams(m_state.deviceParams);
        SetSource(m_deviceSource, IDC_DEV_SOURCE, m_dev, {true, from, m_chosenIp});
        m_state.InfoLog += text::kLogDeviceRead;
        SayHistoryFailure();
    }
}

void DeviceOps::ShowDeviceParams(const DeviceParams& p)
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

std::optional<DeviceParams> DeviceOps::DevicePageValues() const
{
    DeviceParams p = m_state.deviceParams;
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

void DeviceOps::OnWriteDeviceParams()
{
    if (!m_deviceParamsRead) {
        m_dev.MessageBox(text::kMsgReadFirst, text::kCaptionHint, MessageIcon::Exclamation);
        return;
    }
    const std::optional<DeviceParams> p = DevicePageValues();
    if (!p) {
        m_dev.MessageBox(text::kMsgTerminalAddressLength, text::kCaptionTerminalAddress, MessageIcon::Exclamation);
        return;
    }
    if (PageRefuses(m_dev, DevicePageFields())) return;
    m_state.deviceParams = *p;
    StartLog(text::kLogWriting);
    RecordBefore("write-device", false, true);
    SayHistoryFailure();
    // The acknowledgement still gets its line; the read-back decides.
    m_deviceWritten = m_state.deviceParams;
    m_round = 1;
    Await(Awaiting::DeviceReadBack, DeviceWriteRequests());
    RefreshInfoArea();
}

// ---- History ----

void DeviceOps::Record(history::Stage stage, const char* operation, const history::Blocks& blocks)
{
    if (!m_history.Enabled()) return;
    if (stage != history::Stage::Before) m_lastReply = {blocks.mac, blocks.ip};
    if (std::optional<std::string> failure = m_history.Record(stage, operation, blocks)) m_historyFailure = *failure;
}

void DeviceOps::RecordBefore(const char* operation, bool network, bool device)
{
    if (!m_history.Enabled()) return;
    const MacAddress& mac = m_state.TargetMac;
    // What this run read from another device says nothing about this one.
    std::optional<NetworkParamsImage> net;
    std::optional<DeviceParams> dev;
    if (network && m_networkRead && m_networkRead->first == mac) net = m_networkRead->second;
    if (device && m_deviceRead && m_deviceRead->first == mac) dev = m_deviceRead->second;
    if ((network && !net) || (device && !dev)) {
        if (const std::optional<history::Event> known = m_history.LastKnown(mac)) {
            if (network && !net) net = known->network;
            if (device && !dev && known->device) dev = DecodeDeviceBlock(*known->device);
        }
    }
    // The address its replies came from, as its other events give it.
    const uint32_t ip = m_lastReply && m_lastReply->first == mac ? m_lastReply->second : m_chosenIp;
    Record(history::Stage::Before, operation, {mac, ip, net, dev});
}

void DeviceOps::SayHistoryFailure()
{
    if (m_historyFailure.empty()) return;
    m_state.InfoLog += Cp936("未能写入历史记录，配置照常进行：") + Cp936FromUtf8Lossy(m_historyFailure) + "\r\n";
    m_historyFailure.clear();
    RefreshInfoArea();
}

void DeviceOps::ShowRecordedState(const std::optional<NetworkParamsImage>& network,
                                  const std::optional<DeviceParams>& device, const std::string& when936)
{
    if (network) {
        // The write starts from the recorded block, so bytes no field shows go back as they were.
        m_state.networkParams = DecodeNetworkParams(*network);
        ShowNetworkParams(m_state.networkParams);
        SetSource(m_networkSource, IDC_NET_SOURCE, m_net, {}, Cp936("来自历史记录\n") + when936);
    }
    if (device) {
        m_state.deviceParams = *device;
        ShowDeviceParams(*device);
        SetSource(m_deviceSource, IDC_DEV_SOURCE, m_dev, {}, Cp936("来自历史记录\n") + when936);
        m_deviceParamsRead = true;
    }
}

// ---- Settings files ----

std::optional<std::string> DeviceOps::PageRefusal936(settings::Block block) const
{
    const bool network = block == settings::Block::Network;
    const IControlOps& page = network ? m_net : m_dev;
    const PageField* refused = FirstRefused(page, network ? NetworkPageFields() : DevicePageFields(), nullptr);
    if (!refused) return std::nullopt;
    return refused->label936 + Cp936("：“") + page.GetText(refused->control) + Cp936("”无效，应为") + refused->range936;
}

std::optional<std::string> DeviceOps::ImportPatch(const settings::Patch& patch, const std::string& fileName936)
{
    using settings::Block;
    // Every check comes before the first change: a file refused for the
    // device page must not have changed the network page already.
    const struct {
        Block block;
        IControlOps& page;
        const std::vector<PageField>& fields;
        const char* pageName;
    } pages[] = {{Block::Network, m_net, NetworkPageFields(), "网络参数页的 "},
                 {Block::Device, m_dev, DevicePageFields(), "设备参数页的 "}};
    for (const auto& p : pages) {
        if (!patch.Touches(p.block)) continue;
        // What the file gives replaces what the page shows, so only the rest must pass.
        const PageField* refused = FirstRefused(p.page, p.fields, [&](const PageField& f) {
            return patch.Contains(f.block, f.field);
        });
        if (refused)
            return Cp936(p.pageName) + refused->label936 + Cp936("：“") + p.page.GetText(refused->control) +
                   Cp936("”无效，应为") + refused->range936 + Cp936("；文件中没有这一项，请先改正。");
    }

    const std::string fromFile936 = fileName936.empty() ? std::string() : Cp936("来自导入的文件\n") + fileName936;
    if (patch.Touches(Block::Network)) {
        NetworkParams network = NetworkPageValues();
        patch.ApplyTo(network);
        ShowNetworkParams(network);
        SetSource(m_networkSource, IDC_NET_SOURCE, m_net, {}, fromFile936);
    }
    if (patch.Touches(Block::Device)) {
        // Checked above: only a terminal address the file gives can leave the page's unreadable.
        DeviceParams device = DevicePageValues().value_or(m_state.deviceParams);
        patch.ApplyTo(device);
        ShowDeviceParams(device);
        SetSource(m_deviceSource, IDC_DEV_SOURCE, m_dev, {}, fromFile936);
        // A whole block is a block to write, as one read from a device is.
        const auto& all = settings::Fields();
        if (std::all_of(all.begin(), all.end(), [&](const settings::FieldInfo& f) {
                return f.block != Block::Device || patch.Contains(Block::Device, f.name);
            }))
            m_deviceParamsRead = true;
    }
    return std::nullopt;
}

} // namespace vornik
