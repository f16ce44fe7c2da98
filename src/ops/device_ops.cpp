#include "ops/device_ops.h"

#include "ops/control_ids.h"
#include "ops/read_back.h"
#include "ops/texts.h"
#include "proto/cp936.h"
#include "proto/text_conv.h"

namespace vornik {

using text::Cp936;

DeviceOps::DeviceOps(SetupState& state, IControlOps& mainWindow, IControlOps& netPage, IControlOps& devPage,
                     IFrameSender& link)
    : m_state(state), m_main(mainWindow), m_net(netPage), m_dev(devPage), m_link(link)
{
}

void DeviceOps::RefreshInfoArea() { m_info.Refresh(); }

void DeviceOps::RestartLog()
{
    m_info.Restart();
    m_history.StartOperation();
}

void DeviceOps::StartLog(const std::string& line936)
{
    m_info.Start(line936);
    m_history.StartOperation();
}

void DeviceOps::Send(const Frame& frame) { m_link.SendFrame(frame.data(), frame.size()); }

void DeviceOps::ShowWelcome()
{
    // The port in use: another than 1901 in the demo and under the simulator.
    m_main.SetText(IDC_LOCAL_PORT, std::to_string(m_link.Port()));
    m_info.Add(text::kWelcomeText);
    RefreshInfoArea();
}

void DeviceOps::AppendInfoLine(const std::string& line936)
{
    m_info.Add(line936);
    RefreshInfoArea();
}

void DeviceOps::SetStartupValues() { m_pages.SetStartupValues(); }

void DeviceOps::OnIpModeChanged() { m_pages.ApplyIpModeRule(); }

// ---- Discovery ----

void DeviceOps::SearchDevices()
{
    RestartLog();
    RefreshInfoArea();
    m_info.Add(text::kLogSearching);
    m_link.OpenEndpoints();
    // Rows go before the request leaves, so every reply to it stays listed.
    m_main.ClearRows(IDC_DEVICE_LIST);
    m_listing.Restart();
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

void DeviceOps::CheckAnswers()
{
    const std::shared_ptr<engine::Exchange> pending = m_pending;
    if (!pending) return;
    pending->Poll(m_clock(), [this](const Frame& frame) { Send(frame); });
    // A reply handled inside a send may have begun another operation.
    if (pending != m_pending || m_awaiting == Awaiting::Nothing || !pending->Done()) return;
    if (m_awaiting == Awaiting::SearchReply)
        m_info.Add(text::kLogNothingFound);
    else if (m_awaiting == Awaiting::NetworkReadBack)
        m_info.Add(NoReadBackLine936(m_awaitedMac, settings::Block::Network));
    else if (m_awaiting == Awaiting::DeviceReadBack)
        m_info.Add(NoReadBackLine936(m_awaitedMac, settings::Block::Device));
    else
        m_info.AddMacLine(text::kLogNoAnswerBefore, m_awaitedMac, text::kLogNoAnswerAfter);
    m_awaiting = Awaiting::Nothing;
    RefreshInfoArea();
}

void DeviceOps::HandleSearchReply(const SearchReplyFields& reply)
{
    const DeviceRow row{reply.ipAddress, reply.mac, reply.firmware,
                        m_replyFrom.sender, m_replyFrom.senderPort, m_replyFrom.adapter};
    switch (m_listing.Next()) {
    case SearchListing::Reply::Listed:
        m_main.InsertDeviceRow(IDC_DEVICE_LIST, 0, row);
        m_info.Add(text::kLogDeviceFound);
        break;
    case SearchListing::Reply::ListFull: m_info.Add(text::kLogListFull); break;
    case SearchListing::Reply::Omitted: break;
    }
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

void DeviceOps::StartWrite(Awaiting what, engine::Written want)
{
    // Confirmed by what the device gives back, acknowledged or not.
    m_write.emplace(m_state.TargetMac, std::move(want), PACING.tries);
    Await(what, m_write->NextRound());
}

bool DeviceOps::WrittenAgain(Awaiting what)
{
    if (m_write->Take(m_pending->Outcomes()) != engine::Next::WriteAgain) return false;
    Await(what, m_write->NextRound());
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

bool DeviceOps::FollowWrittenMac(const MacAddress& from)
{
    if (!m_macWritten || from != *m_macWritten) return false;
    m_state.TargetMac = from;
    m_macWritten.reset();
    m_info.AddMacLine(text::kLogFollowingMacBefore, from, text::kLogFollowingMacAfter);
    return true;
}

bool DeviceOps::FromChosenDevice(const MacAddress& from)
{
    // A late reply of a device chosen before, or of one never asked, must not
    // fill the pages: the next write would carry its values to this device.
    if (from == m_state.TargetMac || FollowWrittenMac(from)) return true;
    m_info.AddMacLine(text::kLogIgnoredReplyBefore, from, text::kLogIgnoredReplyAfter);
    return false;
}

void DeviceOps::HandleNetworkReply(const MacAddress& from, const NetworkParamsImage& image)
{
    if (!FromChosenDevice(from)) return;
    const history::Blocks blocks{from, ReplyIp(), image, std::nullopt};
    m_history.Keep(blocks);
    if (AnsweredNow(Awaiting::NetworkReadBack)) {
        if (WrittenAgain(Awaiting::NetworkReadBack)) return;
        // The page keeps what was written; the line names what the device kept otherwise.
        m_awaiting = Awaiting::Nothing;
        Record(history::Stage::After, "write-network", blocks);
        m_info.Add(ReadBackLine936(from, settings::Block::Network, m_write->Differences()));
        SayHistoryFailure();
        return;
    }
    if (AnsweredNow(Awaiting::NetworkRead)) m_awaiting = Awaiting::Nothing;
    Record(history::Stage::Read, "read", blocks);
    m_state.networkParams = DecodeNetworkParams(image);
    m_pages.ShowNetwork(m_state.networkParams);
    m_pages.SetSource(settings::Block::Network, {true, from, m_chosenIp});
    m_info.Add(text::kLogNetworkRead);
    SayHistoryFailure();
}

void DeviceOps::OnWriteNetworkParams()
{
    // Nothing typed is wrapped or guessed: a value out of range stops the write.
    if (m_pages.Refuses(settings::Block::Network)) return;
    m_state.networkParams = NetworkPageValues();
    // After the restart: a history that fails here is said in this write's lines.
    RestartLog();
    RecordBefore("write-network", true, false);
    RefreshInfoArea();
    m_info.Add(text::kLogWriting);
    SayHistoryFailure();
    StartWrite(Awaiting::NetworkReadBack, {m_state.networkParams, std::nullopt});
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
            m_info.AddMacLine(text::kLogSearchAfterMacBefore, *newMac, text::kLogSearchAfterMacAfter);
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
        const history::Blocks blocks{from, ReplyIp(), std::nullopt, *read};
        m_history.Keep(blocks);
        if (WrittenAgain(Awaiting::DeviceReadBack)) return;
        m_awaiting = Awaiting::Nothing;
        Record(history::Stage::After, "write-device", blocks);
        m_info.Add(ReadBackLine936(from, settings::Block::Device, m_write->Differences()));
        SayHistoryFailure();
        return;
    }
    if (function == DEVICE_FUNC_WRITE) {
        m_info.Add(text::kLogDeviceWritten);
    } else if (read) {
        m_state.deviceParams = *read;
        if (AnsweredNow(Awaiting::DeviceRead)) m_awaiting = Awaiting::Nothing;
        m_deviceParamsRead = true;
        Record(history::Stage::Read, "read", {from, ReplyIp(), std::nullopt, *read});
        m_pages.ShowDevice(m_state.deviceParams);
        m_pages.SetSource(settings::Block::Device, {true, from, m_chosenIp});
        m_info.Add(text::kLogDeviceRead);
        SayHistoryFailure();
    }
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
    if (m_pages.Refuses(settings::Block::Device)) return;
    m_state.deviceParams = *p;
    StartLog(text::kLogWriting);
    RecordBefore("write-device", false, true);
    SayHistoryFailure();
    // The acknowledgement still gets its line; the read-back decides.
    StartWrite(Awaiting::DeviceReadBack, {std::nullopt, m_state.deviceParams});
    RefreshInfoArea();
}

// ---- History ----

void DeviceOps::Record(history::Stage stage, const char* operation, const history::Blocks& blocks)
{
    m_history.Record(stage, operation, blocks);
}

void DeviceOps::RecordBefore(const char* operation, bool network, bool device)
{
    m_history.RecordBefore(operation, m_state.TargetMac, m_chosenIp, network, device);
}

void DeviceOps::SayHistoryFailure()
{
    const std::string line = m_history.TakeFailureLine936();
    if (line.empty()) return;
    m_info.Add(line);
    RefreshInfoArea();
}

void DeviceOps::ShowRecordedState(const std::optional<NetworkParamsImage>& network,
                                  const std::optional<DeviceParams>& device, const std::string& when936)
{
    if (network) {
        // The write starts from the recorded block, so bytes no field shows go back as they were.
        m_state.networkParams = DecodeNetworkParams(*network);
        m_pages.ShowNetwork(m_state.networkParams);
        m_pages.SetSource(settings::Block::Network, {},
                          Cp936(QT_TRANSLATE_NOOP("vornik::text", "来自历史记录\n")) + when936);
    }
    if (device) {
        m_state.deviceParams = *device;
        m_pages.ShowDevice(*device);
        m_pages.SetSource(settings::Block::Device, {},
                          Cp936(QT_TRANSLATE_NOOP("vornik::text", "来自历史记录\n")) + when936);
        m_deviceParamsRead = true;
    }
}

// ---- Settings files ----

std::optional<std::string> DeviceOps::ImportPatch(const settings::Patch& patch, const std::string& fileName936)
{
    const PageValues::Imported imported = m_pages.Import(patch, fileName936);
    if (imported.wholeDeviceBlock) m_deviceParamsRead = true;
    return imported.refusal936;
}

} // namespace vornik
