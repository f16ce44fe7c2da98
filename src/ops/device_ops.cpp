#include "ops/device_ops.h"

#include <algorithm>

#include "ops/control_ids.h"
#include "ops/page_checks.h"
#include "ops/read_back.h"
#include "ops/texts.h"
#include "proto/cp936.h"
#include "proto/text_conv.h"
#include "settings/addressing.h"

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
    m_late.reset();
    m_info.Restart();
    m_history.StartOperation();
}

void DeviceOps::StartLog(const std::string& line936)
{
    m_late.reset();
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
    if (m_macWrite) m_macWrite->searchEnds = m_clock() + ANSWER_TIME;
    RefreshInfoArea();
}

void DeviceOps::Await(Awaiting what, std::vector<engine::Request> requests)
{
    m_awaiting = what;
    m_awaitedMac = m_state.TargetMac;
    m_requests = requests;
    const auto pending = std::make_shared<engine::Exchange>(std::move(requests), PACING);
    m_pending = pending;
    pending->Poll(m_clock(), [this](const Frame& frame) { Send(frame); });
}

void DeviceOps::CheckAnswers()
{
    // Every device answers a search within its answer time, the first reply ending no wait.
    if (m_macWrite && m_macWrite->searchEnds && m_clock() >= *m_macWrite->searchEnds) SayMacNotFound();
    const std::shared_ptr<engine::Exchange> pending = m_pending;
    if (!pending) return;
    pending->Poll(m_clock(), [this](const Frame& frame) { Send(frame); });
    // A reply handled inside a send may have begun another operation.
    if (pending != m_pending || !pending->Done()) return;
    if (ResetUnderWay()) {
        AdvanceReset();
        return;
    }
    if (m_awaiting == Awaiting::Nothing) return;
    if (m_awaiting == Awaiting::SearchReply) {
        m_info.Add(text::kLogNothingFound);
        if (m_firewallHint) m_info.Add(text::kLogFirewallRule);
    }
    else if (m_awaiting == Awaiting::NetworkReadBack || m_awaiting == Awaiting::DeviceReadBack) {
        const settings::Block block =
            m_awaiting == Awaiting::NetworkReadBack ? settings::Block::Network : settings::Block::Device;
        m_info.Add(NoReadBackLine936(m_awaitedMac, block));
        // Its read-back may still come, and would otherwise read as a read.
        m_late = LateWrite{m_awaitedMac, block, m_write->Want()};
    } else
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
    FollowWrittenMac(reply.mac, reply.ipAddress);
    RefreshInfoArea();
}

void DeviceOps::DispatchFrame(std::span<const uint8_t> datagram, const ReplyOrigin& from)
{
    m_replyFrom = from;
    vornik::DispatchFrame(datagram, m_state.frameBuffer, *this);
    m_offered = {};
    if (ResetUnderWay() && m_pending && m_pending->Done()) AdvanceReset();
}

bool DeviceOps::Accept(const ClassifiedReply& reply)
{
    m_offered = {};
    if (const std::shared_ptr<engine::Exchange> pending = m_pending) {
        Datagram from;
        from.sourceAddress = m_replyFrom.sender;
        m_offered = pending->Offer(reply, std::move(from), m_clock());
    }
    // Its acknowledgement may carry either MAC.
    if (m_macWrite) m_macWrite->write.Heard(reply);
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
    m_net.SetText(IDC_NET_MAC, FormatMacText(m_state.TargetMac));
    StartLog(text::kLogReadingNetwork);
    Await(Awaiting::NetworkRead,
          {engine::Awaited(BuildNetworkReadRequest(m_state.TargetMac), ReplyKind::NetworkRead, m_state.TargetMac)});
    RefreshInfoArea();
}

bool DeviceOps::FollowWrittenMac(const MacAddress& from, uint32_t ip)
{
    if (!m_macWrite || from != m_macWrite->newMac) return false;
    const MacWriting done = std::move(*m_macWrite);
    m_macWrite.reset();
    // A MAC write changes no byte of the blocks: the device's history goes on under its new MAC.
    history::Blocks after = done.before;
    after.mac = from;
    after.ip = ip;
    Record(history::Stage::After, "write-mac", after);
    // Another device chosen since keeps its place.
    if (m_state.TargetMac == done.oldMac) {
        m_state.TargetMac = from;
        m_chosenIp = ip;
        m_pages.FollowMac(done.oldMac, from, ip);
    }
    m_info.AddMacLine(text::kLogFollowingMacBefore, from, text::kLogFollowingMacAfter);
    SayHistoryFailure();
    return true;
}

void DeviceOps::SayMacNotFound()
{
    engine::MacWrite& write = m_macWrite->write;
    write.Searched(false);
    m_info.AddMacLine(text::kLogMacNotFoundBefore, m_macWrite->newMac,
                      write.Word() == engine::Result::Written ? text::kLogMacNotFoundAcknowledged
                                                              : text::kLogMacNotFoundSilent);
    m_macWrite.reset();
    RefreshInfoArea();
}

bool DeviceOps::RefusedWithoutDevice(IControlOps& page)
{
    if (m_state.TargetMac == MacAddress{}) {
        page.MessageBox(text::kMsgChooseDeviceFirst, text::kCaptionHint, MessageIcon::Exclamation);
        return true;
    }
    // Nothing answers under the old MAC if the write took.
    if (m_macWrite && m_macWrite->oldMac == m_state.TargetMac) {
        page.MessageBox(text::kMsgMacPendingBefore.Cp936() + FormatMacText(m_macWrite->newMac) +
                            text::kMsgMacPendingAfter.Cp936(),
                        text::kCaptionHint, MessageIcon::Exclamation);
        return true;
    }
    return false;
}

bool DeviceOps::RefusedNotFromChosen(settings::Block block)
{
    const bool network = block == settings::Block::Network;
    const PageSource& source = network ? m_pages.NetworkSource() : m_pages.DeviceSource();
    if (source.chosenByOperator || (source.fromDevice && source.mac == m_state.TargetMac)) return false;
    IControlOps& page = network ? m_net : m_dev;
    page.MessageBox((network ? text::kMsgNetworkNotFromChosenBefore : text::kMsgDeviceNotFromChosenBefore).Cp936() +
                        FormatMacText(m_state.TargetMac) +
                        (network ? text::kMsgNetworkNotFromChosenAfter : text::kMsgDeviceNotFromChosenAfter).Cp936(),
                    text::kCaptionHint, MessageIcon::Exclamation);
    return true;
}

bool DeviceOps::RefusedAddressing(const NetworkParams& want)
{
    // What the device holds is the last reply's image once the page came from it.
    const NetworkParams* held = m_pages.NetworkSource().fromDevice ? &m_state.networkParams : nullptr;
    if (!settings::AddressingToCheck(want, held)) return false;
    using settings::AddressingFault;
    const AddressingFault fault = settings::FindAddressingFault(want.ipAddress, want.subnetMask, want.gateway);
    const text::Text* why = nullptr;
    switch (fault) {
    case AddressingFault::None: return false;
    case AddressingFault::MaskNotContiguous: why = &text::kMsgMaskNotContiguous; break;
    case AddressingFault::MaskEmpty: why = &text::kMsgMaskEmpty; break;
    case AddressingFault::IpIsNetwork: why = &text::kMsgIpIsNetwork; break;
    case AddressingFault::IpIsBroadcast: why = &text::kMsgIpIsBroadcast; break;
    case AddressingFault::GatewayOutside: why = &text::kMsgGatewayOutside; break;
    }
    const std::string field = settings::AddressingFaultField(fault);
    const auto& fields = NetworkPageFields();
    const auto shown = std::find_if(fields.begin(), fields.end(), [&](const PageField& f) { return f.field == field; });
    const std::string typed = shown == fields.end() ? std::string() : m_net.GetText(shown->control);
    m_net.MessageBox(FieldLabel936(settings::Block::Network, field) + Cp936("：“") + typed + Cp936("”") + why->Cp936(),
                     text::kCaptionHint, MessageIcon::Exclamation);
    return true;
}

bool DeviceOps::FromChosenDevice(const MacAddress& from)
{
    // A late reply of a device chosen before, or of one never asked, must not
    // fill the pages: the next write would carry its values to this device.
    if (from == m_state.TargetMac || FollowWrittenMac(from, ReplyIp())) return true;
    m_info.AddMacLine(text::kLogIgnoredReplyBefore, from, text::kLogIgnoredReplyAfter);
    return false;
}

void DeviceOps::HandleNetworkReply(const MacAddress& from, const NetworkParamsImage& image)
{
    if (!FromChosenDevice(from)) return;
    const history::Blocks blocks{from, ReplyIp(), image, std::nullopt};
    m_history.Keep(blocks);
    if (ResetUnderWay()) {
        // Judged with the round's other replies once all are in; the page
        // shows what the device holds, so that a write after the reset does
        // not put the erased values back.
        if (m_offered.match == engine::Exchange::Match::Answered) m_resetImage = image;
        m_state.networkParams = DecodeNetworkParams(image);
        m_pages.ShowNetwork(m_state.networkParams);
        m_pages.SetSource(settings::Block::Network, {true, from, m_chosenIp});
        return;
    }
    if (m_awaiting == Awaiting::Nothing && ConfirmedLate(from, {DecodeNetworkParams(image), std::nullopt}, blocks))
        return;
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

bool DeviceOps::ConfirmedLate(const MacAddress& from, const engine::Written& readBack, const history::Blocks& blocks)
{
    if (!m_late || m_late->mac != from || readBack.network.has_value() != (m_late->block == settings::Block::Network))
        return false;
    const bool same = engine::ReadBackDifferences(m_late->want, readBack).empty();
    const char* operation = m_late->block == settings::Block::Network ? "write-network" : "write-device";
    m_late.reset();
    // One that differs is a read as any other: the page shows what the device holds.
    if (!same) return false;
    Record(history::Stage::After, operation, blocks);
    m_info.Add(text::kLogConfirmedLate);
    SayHistoryFailure();
    RefreshInfoArea();
    return true;
}

void DeviceOps::OnWriteNetworkParams()
{
    if (RefusedWithoutDevice(m_net) || RefusedNotFromChosen(settings::Block::Network)) return;
    // Nothing typed is wrapped or guessed: a value out of range stops the write.
    if (m_pages.Refuses(settings::Block::Network)) return;
    if (RefusedAddressing(NetworkPageValues())) return;
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
    if (RefusedWithoutDevice(m_net)) return;
    const std::optional<MacAddress> newMac = ParseMacText(m_net.GetText(IDC_NET_MAC));
    if (!newMac) {
        StartLog(text::kLogBadMac);
        RefreshInfoArea();
        return;
    }
    // The one rule vornikctl's mac set refuses by.
    const text::Text* why = nullptr;
    switch (UnassignableMac(*newMac)) {
    case MacUnfit::None: break;
    case MacUnfit::Broadcast: why = &text::kMsgMacBroadcast; break;
    case MacUnfit::AllZero: why = &text::kMsgMacAllZero; break;
    case MacUnfit::Multicast: why = &text::kMsgMacMulticast; break;
    }
    if (why) {
        m_net.MessageBox(text::kMsgNewMacBefore.Cp936() + FormatMacText(*newMac) + why->Cp936(), text::kCaptionHint,
                         MessageIcon::Exclamation);
        return;
    }
    StartLog(text::kLogWritingMac);
    if (*newMac == m_state.TargetMac) {
        Send(BuildWriteMacRequest(m_state.TargetMac, *newMac));
        RefreshInfoArea();
        return;
    }
    // Recorded under the old MAC before it goes; the next search records it under the new one.
    const history::Blocks before = RecordBefore("write-mac", true, true);
    engine::MacWrite write(m_state.TargetMac, *newMac, 1);
    const engine::Request request = write.NextRound();
    // In place before the frame leaves: a send may run a box with an event loop of its own.
    m_macWrite = MacWriting{m_state.TargetMac, *newMac, std::move(write), before, std::nullopt};
    Send(request.frame);
    // Until the device shows itself under the new MAC, every request
    // would still go to the old one, which nothing answers any more.
    m_info.AddMacLine(text::kLogSearchAfterMacBefore, *newMac, text::kLogSearchAfterMacAfter);
    SayHistoryFailure();
    RefreshInfoArea();
}

void DeviceOps::OnFactoryDefaults()
{
    if (RefusedWithoutDevice(m_net)) return;
    if (!m_net.AskOkCancel(text::kMsgConfirmDefaultsBefore.Cp936() + FormatMacText(m_state.TargetMac) +
                               text::kMsgConfirmDefaultsAfter.Cp936(),
                           text::kCaptionFactoryDefaults))
        return;
    StartLog(text::kLogFactoryDefaults);
    // The reset is judged by whether the blocks change, as vornikctl's defaults judges it.
    m_reset.reset();
    m_resetImage.reset();
    Await(Awaiting::ResetRead, engine::ReadRequests(m_state.TargetMac, true, true));
    RefreshInfoArea();
}

void DeviceOps::AdvanceReset()
{
    const std::vector<engine::Outcome> outcomes = m_pending->Outcomes();
    if (m_awaiting == Awaiting::ResetRead) {
        const engine::RoundReplies got = engine::Gather(m_requests, outcomes);
        if (got.missing) {
            m_awaiting = Awaiting::Nothing;
            m_info.AddMacLine(text::kLogNoAnswerBefore, m_awaitedMac, text::kLogNoAnswerAfter);
            m_info.Add(text::kLogDefaultsNotSent);
            RefreshInfoArea();
            return;
        }
        // Both blocks go back to the device's own values, which no one can undo without them.
        RecordBefore("factory-defaults", true, true);
        SayHistoryFailure();
        m_reset.emplace(m_awaitedMac, *got.blocks.network, *got.blocks.device, PACING.tries);
        Await(Awaiting::ResetRound, m_reset->NextRound());
        RefreshInfoArea();
        return;
    }
    if (m_reset->Take(outcomes) == engine::Next::WriteAgain) {
        Await(Awaiting::ResetRound, m_reset->NextRound());
        return;
    }
    m_awaiting = Awaiting::Nothing;
    if (const std::optional<engine::Written>& after = m_reset->After(); after && !m_reset->MissingRead()) {
        const history::Blocks blocks{m_awaitedMac, m_reset->AfterAddress() ? m_reset->AfterAddress() : m_chosenIp,
                                     m_resetImage ? *m_resetImage : EncodeNetworkParams(*after->network),
                                     *after->device};
        Record(history::Stage::After, "factory-defaults", blocks);
    }
    switch (m_reset->Word()) {
    case engine::Result::Confirmed: m_info.Add(text::kLogDefaultsConfirmed); break;
    case engine::Result::Acknowledged: m_info.Add(text::kLogDefaultsAcknowledgedUnchanged); break;
    default:
        m_info.Add(m_reset->MissingRead() ? text::kLogDefaultsNoReadBack : text::kLogDefaultsSilentUnchanged);
        break;
    }
    SayHistoryFailure();
    RefreshInfoArea();
}

// ---- Device parameters ----

void DeviceOps::OnReadDeviceParams()
{
    if (RefusedWithoutDevice(m_dev)) return;
    StartLog(text::kLogReadingDevice);
    Await(Awaiting::DeviceRead,
          {engine::Awaited(BuildDeviceReadRequest(m_state.TargetMac), ReplyKind::DeviceRead, m_state.TargetMac)});
    RefreshInfoArea();
}

void DeviceOps::HandleDeviceReply(const MacAddress& from, uint8_t function, const DeviceParams* read)
{
    if (!FromChosenDevice(from)) return;
    if (read && ResetUnderWay()) {
        // As the network block above.
        m_state.deviceParams = *read;
        m_deviceParamsRead = true;
        m_pages.ShowDevice(m_state.deviceParams);
        m_pages.SetSource(settings::Block::Device, {true, from, m_chosenIp});
        return;
    }
    if (read && m_awaiting == Awaiting::Nothing &&
        ConfirmedLate(from, {std::nullopt, *read}, {from, ReplyIp(), std::nullopt, *read}))
        return;
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
    if (RefusedWithoutDevice(m_dev)) return;
    if (!m_deviceParamsRead) {
        m_dev.MessageBox(text::kMsgReadFirst, text::kCaptionHint, MessageIcon::Exclamation);
        return;
    }
    if (RefusedNotFromChosen(settings::Block::Device)) return;
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

history::Blocks DeviceOps::RecordBefore(const char* operation, bool network, bool device)
{
    return m_history.RecordBefore(operation, m_state.TargetMac, m_chosenIp, network, device);
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
        m_pages.SetSource(settings::Block::Network, {false, {}, 0, true},
                          Cp936(QT_TRANSLATE_NOOP("vornik::text", "来自历史记录\n")) + when936);
    }
    if (device) {
        m_state.deviceParams = *device;
        m_pages.ShowDevice(*device);
        m_pages.SetSource(settings::Block::Device, {false, {}, 0, true},
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
