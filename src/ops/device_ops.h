// The device operations: every request the tool sends and the handling of every
// reply, written against the dialogs' control operations and the link.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "engine/confirm.h"
#include "engine/exchange.h"
#include "history/event.h"
#include "link/frame_sender.h"
#include "ops/control_ops.h"
#include "ops/device_history.h"
#include "ops/device_row.h"
#include "ops/info_area.h"
#include "ops/page_values.h"
#include "ops/search_listing.h"
#include "proto/dev_params.h"
#include "proto/frame.h"
#include "proto/frame_dispatch.h"
#include "proto/net_params.h"
#include "settings/patch.h"

namespace vornik {

// The objects that live from start to end of the run; the application owns the one instance.
struct SetupState {
    std::string InfoLog;        // code page 936; the info area's content
    FrameBuffer frameBuffer{};  // working copy of the datagram in hand
    MacAddress TargetMac{};     // device chosen by the last double-click
    NetworkParams networkParams{}; // image of the last network reply, edited by the write
    DeviceParams deviceParams{};
};

class DeviceOps : private IFrameHandlers {
public:
    DeviceOps(SetupState& state, IControlOps& mainWindow, IControlOps& netPage, IControlOps& devPage,
              IFrameSender& link);

    // Start-up: the welcome text in the info area, the pages' start-up values.
    void ShowWelcome();
    void SetStartupValues();

    // Main window.
    void SearchDevices();
    void OnDeviceListDoubleClick();
    // A datagram handed over by the receive thread (WM_FRAME_RECEIVED); a
    // device it lists keeps where it came from.
    void DispatchFrame(std::span<const uint8_t> datagram, const ReplyOrigin& from = {});
    void RefreshInfoArea() override;

    // Network page.
    void OnWriteNetworkParams();
    void OnWriteMac();
    void OnFactoryDefaults();
    void OnIpModeChanged();

    // Device page.
    void OnReadDeviceParams();
    void OnWriteDeviceParams();

    // What the pages show, converted as their writes convert it; nothing is
    // sent and nothing stored. The network block starts from the image of the
    // last reply, so the bytes the page does not show are those a write sends.
    NetworkParams NetworkPageValues() const { return m_pages.NetworkValues(); }
    // Empty when the terminal address is not eight bytes long, which the write refuses.
    std::optional<DeviceParams> DevicePageValues() const { return m_pages.DeviceValues(); }
    // Fills a page as a read reply does, without touching the stored blocks.
    void ShowNetworkParams(const NetworkParams& params) { m_pages.ShowNetwork(params); }
    void ShowDeviceParams(const DeviceParams& params) { m_pages.ShowDevice(params); }

    // A settings file's changes into the pages, sending nothing. Both pages
    // are checked before either changes: a field the file leaves as the page
    // shows it must pass its check. The refusal (code page 936) when one does
    // not; the pages are then as they were. A file that gives every field of
    // the device block opens the device write as a read does.
    std::optional<std::string> ImportPatch(const settings::Patch& patch, const std::string& fileName936);
    // The first typed field of the block's page that its check refuses, as
    // "label：“text”无效，应为…" (code page 936); nothing when all pass.
    std::optional<std::string> PageRefusal936(settings::Block block) const { return m_pages.Refusal936(block); }
    const PageSource& NetworkSource() const { return m_pages.NetworkSource(); }
    const PageSource& DeviceSource() const { return m_pages.DeviceSource(); }
    // A device's state from the history into the pages, sending nothing: every
    // byte of a network block (those no field shows too) and a whole device
    // block, which opens the device write as a read does. `when936` names
    // the moment on the pages' source labels.
    void ShowRecordedState(const std::optional<NetworkParamsImage>& network, const std::optional<DeviceParams>& device,
                           const std::string& when936);

    // The history every read and write is kept in (none: nothing is kept).
    // Must outlive the operations.
    void SetHistory(history::Sink* history) { m_history.SetSink(history); }

    // A search that finds nothing also says which inbound firewall rule the
    // replies need: where the front end runs on Windows.
    void SetFirewallHint(bool on) { m_firewallHint = on; }

    // A line for the info area (code page 936, ending in "\r\n").
    void AppendInfoLine(const std::string& line936);

    // Replies are awaited this long before the info area says none came.
    static constexpr std::chrono::seconds ANSWER_TIME{3};
    // A read is sent again each second until answered, as vornikctl does:
    // three sends fill the answer time.
    static constexpr engine::Pacing PACING{3, std::chrono::milliseconds(1000), 1};
    using Clock = std::chrono::steady_clock;
    // The window calls it a few times a second; the line for a silent device
    // or an empty search is written once, when its time is up.
    void CheckAnswers();
    // Tests put in a clock of their own.
    void SetClock(std::function<Clock::time_point()> clock) { m_clock = std::move(clock); }

    const SetupState& State() const { return m_state; }
    // Search replies the device list did not take since it was last emptied.
    uint64_t RepliesNotListed() const { return m_listing.Omitted(); }
    // The MAC a MAC write gave the chosen device, until a search shows whether it took.
    std::optional<MacAddress> MacWritten() const
    {
        return m_macWrite ? std::optional<MacAddress>(m_macWrite->newMac) : std::nullopt;
    }

    // The device write is open: a device-parameter read reply was decoded
    // (or a whole block came from a file or the history).
    bool DeviceParamsRead() const { return m_deviceParamsRead; }
    // The end of start-up: the device write waits for a first read.
    void CloseDeviceWrite() { m_deviceParamsRead = false; }

private:
    // Tests open the device write without a read (tests/common/device_ops_probe.h).
    friend struct DeviceOpsProbe;

    void HandleSearchReply(const SearchReplyFields& reply) override;
    void HandleNetworkReply(const MacAddress& from, const NetworkParamsImage& block) override;
    void HandleDeviceReply(const MacAddress& from, uint8_t function, const DeviceParams* read) override;
    // Offers the reply to the requests in flight; an echo of a resent one goes no further.
    bool Accept(const ClassifiedReply& reply) override;
    // True for a reply of the device the last double-click chose; any other
    // is noted in the info area and goes no further.
    bool FromChosenDevice(const MacAddress& from);
    // Takes the written MAC as the target once the device shows itself under
    // it (at `ip`), and records the write as done under the new MAC.
    bool FollowWrittenMac(const MacAddress& from, uint32_t ip);
    // The search after a MAC write ended without the new MAC.
    void SayMacNotFound();

    // Each true when the operation must not go out, its box shown on `page`:
    // no device chosen yet, or the chosen one was given a new MAC that no
    // search has shown yet.
    bool RefusedWithoutDevice(IControlOps& page);
    // The page's values came from another device than the chosen one, or from none.
    bool RefusedNotFromChosen(settings::Block block);
    // The address fields as vornikctl checks them.
    bool RefusedAddressing(const NetworkParams& want);
    // The factory reset's next step once its round's requests are all answered or spent.
    void AdvanceReset();
    // A read-back that came after its write was said unconfirmed: true when
    // it holds what was written, and then it confirms the write.
    bool ConfirmedLate(const MacAddress& from, const engine::Written& readBack, const history::Blocks& blocks);

    // A read or a read-back, kept in the history.
    void Record(history::Stage stage, const char* operation, const history::Blocks& blocks);
    history::Blocks RecordBefore(const char* operation, bool network, bool device);
    // The line for a history that could not be written, once the info area
    // has been restarted for the operation it belongs to.
    void SayHistoryFailure();
    uint32_t ReplyIp() const { return m_replyFrom.sender ? m_replyFrom.sender : m_chosenIp; }

    void Send(const Frame& frame);
    void StartLog(const std::string& line936);
    void RestartLog();

    SetupState& m_state;
    IControlOps& m_main;
    IControlOps& m_net;
    IControlOps& m_dev;
    IFrameSender& m_link;
    ReplyOrigin m_replyFrom; // of the datagram being dispatched
    // The last MAC write, until a search shows whether it took: its first
    // reply or search reply under the new MAC makes that the target; a
    // search that ends without it says so.
    struct MacWriting {
        MacAddress oldMac, newMac;
        engine::MacWrite write;
        history::Blocks before; // recorded under the old MAC; a MAC write changes no byte of them
        // The end of the answer time of the last search after the write.
        std::optional<std::chrono::steady_clock::time_point> searchEnds;
    };
    std::optional<MacWriting> m_macWrite;

    // The reply the last request waits for; one at a time, as the window sends one at a time.
    // A write is followed by a read of its block at once (the device need not
    // acknowledge); its reply is compared with what was written, and a block
    // that came back otherwise is written again while rounds remain.
    enum class Awaiting {
        Nothing, SearchReply, NetworkRead, DeviceRead, NetworkReadBack, DeviceReadBack,
        ResetRead,  // both blocks before a factory reset
        ResetRound, // the reset and both blocks after it
    };
    bool ResetUnderWay() const { return m_awaiting == Awaiting::ResetRead || m_awaiting == Awaiting::ResetRound; }
    // Everything a reply is judged by is set before the first frame leaves:
    // a send may run a box with an event loop of its own, replies included.
    void Await(Awaiting what, std::vector<engine::Request> requests);
    // The request whose reply is being dispatched was answered just now.
    bool AnsweredNow(Awaiting what) const
    {
        return m_awaiting == what && m_offered.match == engine::Exchange::Match::Answered;
    }
    // The read-back answered just now: true when it sent the block again.
    bool WrittenAgain(Awaiting what);
    // Starts the confirmed write of the chosen device's block(s).
    void StartWrite(Awaiting what, engine::Written want);
    Awaiting m_awaiting = Awaiting::Nothing;
    MacAddress m_awaitedMac{};
    std::function<Clock::time_point()> m_clock = [] { return Clock::now(); };
    // The requests of the last operation; kept after its answer, so that the
    // answer to an earlier send of a request sent again is known for one.
    std::shared_ptr<engine::Exchange> m_pending; // held by a poll that may outlive it here
    engine::Exchange::Offered m_offered; // of the datagram being dispatched
    std::optional<engine::ConfirmedWrite> m_write; // awaiting its read-back
    std::vector<engine::Request> m_requests; // of the last operation, as Await gave them
    std::optional<engine::FactoryReset> m_reset;
    std::optional<NetworkParamsImage> m_resetImage; // the network block as the reset's last read gave it
    // The write whose read-back did not come in time, until the next operation.
    struct LateWrite {
        MacAddress mac;
        settings::Block block;
        engine::Written want;
    };
    std::optional<LateWrite> m_late;

    uint32_t m_chosenIp = 0; // of the row the last double-click chose
    // Opens the device write; set by the first decoded device-parameter read reply.
    bool m_deviceParamsRead = false;
    bool m_firewallHint = false;

    InfoArea m_info{m_state.InfoLog, m_main};
    SearchListing m_listing;
    PageValues m_pages{m_state.networkParams, m_state.deviceParams, m_net, m_dev};
    DeviceHistory m_history;
};

} // namespace vornik
