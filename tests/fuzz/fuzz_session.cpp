// A whole run of the tool on in-memory dialogs: any sequence of datagrams,
// button presses, typing and list choices, through the frame dispatch into
// the device operations. Checked after every step:
//   - a page changes only on a valid reply, and then shows exactly that reply;
//   - the info area holds exactly the log whenever it is refreshed;
//   - a network write is 303 bytes with its sum, a device write 107 bytes
//     whose inner frame has a valid CRC (both computed here independently);
//   - the history is told only of the chosen device, never of an event
//     without a block, of a block before a write only when a write or reset
//     leaves, and a history that fails now and then changes no frame sent.
//
// Input: a list of steps. Step byte % 6: 0 raw datagram, 1 network reply,
// 2 device reply, 3 button, 4 typed text, 5 list choice; each takes its
// operands from the bytes that follow.
#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "fuzz_oracles.h"
#include "ops/control_ids.h"
#include "ops/device_ops.h"
#include "memory_controls.h"
#include "page_lists.h"

using namespace vornik;
using namespace vornik::fuzz;

namespace {

constexpr size_t kMaxDatagram = 1024; // what the link hands over at most

struct Input {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    bool Empty() const { return at >= size; }
    uint8_t Byte() { return at < size ? data[at++] : 0; }
    std::vector<uint8_t> Bytes(size_t n)
    {
        n = std::min(n, size - std::min(at, size));
        std::vector<uint8_t> out(data + at, data + at + n);
        at += n;
        return out;
    }
};

struct RecordingLink : IFrameSender {
    std::vector<Frame> frames;
    void OpenEndpoints() override {}
    void SendFrame(const uint8_t* frame, size_t length) override { frames.emplace_back(frame, frame + length); }
};

std::string Dotted(uint32_t a)
{
    char buf[20];
    std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", a >> 24, (a >> 16) & 0xFF, (a >> 8) & 0xFF, a & 0xFF);
    return buf;
}

std::string SignedTenths(int16_t t)
{
    const int v = t;
    const int m = v < 0 ? -v : v;
    return (v < 0 ? "-" : "") + std::to_string(m / 10) + "." + std::to_string(m % 10);
}

std::string UnsignedTenths(uint16_t t) { return std::to_string(t / 10) + "." + std::to_string(t % 10); }

// The list index a value selects in a list of `entries` starting at `first`; -1 outside.
int Sel(int value, int first, int entries) { return value - first >= 0 && value - first < entries ? value - first : -1; }

const std::vector<int>& NetTexts()
{
    static const std::vector<int> ids = [] {
        std::vector<int> v{IDC_NET_IP_ADDRESS, IDC_NET_SUBNET_MASK, IDC_NET_GATEWAY};
        for (const ServerControls& s : SERVER_CONTROL_IDS) v.insert(v.end(), {s.localPort, s.targetAddress, s.targetPort});
        return v;
    }();
    return ids;
}

const std::vector<int>& DevTexts()
{
    static const std::vector<int> ids = [] {
        std::vector<int> v{IDC_DEV_TERMINAL_ADDRESS, IDC_DEV_LOGIN_INTERVAL,        IDC_DEV_HEARTBEAT_INTERVAL,
                           IDC_DEV_UPLOAD_INTERVAL,  IDC_DEV_BAUD_RATE,             IDC_DEV_MODBUS_TERMINAL_COUNT};
        v.insert(v.end(), CHANNEL_ADDRESS_IDS.begin(), CHANNEL_ADDRESS_IDS.end());
        for (const LimitControls& l : LimitEditIds) v.insert(v.end(), {l.tempUpper, l.tempLower, l.humidityUpper, l.humidityLower});
        return v;
    }();
    return ids;
}

constexpr int kNetLists[] = {IDC_NET_IP_MODE, IDC_NET_MAX_CONNECTIONS};
constexpr int kDevLists[] = {IDC_DEV_SERVER_COUNT, IDC_DEV_WORK_MODE, IDC_DEV_DATA_BITS, IDC_DEV_PARITY,
                             IDC_DEV_STOP_BITS};

// Everything a page shows.
std::vector<std::string> Snapshot(const MemoryControls& page, const std::vector<int>& texts,
                                  std::span<const int> lists)
{
    std::vector<std::string> s;
    for (int id : texts) s.push_back(page.GetText(id));
    for (int id : lists) s.push_back(std::to_string(page.GetSel(id)));
    for (int id : {IDC_NET_IP_ADDRESS, IDC_NET_SUBNET_MASK, IDC_NET_GATEWAY}) s.push_back(page.IsEnabled(id) ? "1" : "0");
    return s;
}

// Fails every third event, so that the line saying so is exercised too.
struct FlakyHistory : history::Sink {
    const SetupState* state = nullptr;
    size_t calls = 0;
    size_t befores = 0;
    std::optional<std::string> Keep(std::span<const history::Event> events) override
    {
        Check(events.size() == 1, "the window kept more than one event at a time");
        for (const history::Event& e : events) {
            Check(e.mac == state->TargetMac, "history told of a device other than the chosen one");
            Check(e.network || e.device, "history told of an event without a block");
            if (e.stage == history::Stage::Before) ++befores;
        }
        return ++calls % 3 == 0 ? std::optional<std::string>("history /fuzz: database is locked") : std::nullopt;
    }
    std::optional<history::Event> LastKnown(const MacAddress&) override { return std::nullopt; }
};

class Session {
public:
    Session()
    {
        m_history.state = &m_state;
        m_ops.SetHistory(&m_history);
        test::AddPageLists(m_net, m_dev);
        m_ops.ShowWelcome();
        m_ops.SetStartupValues();
        m_ops.CloseDeviceWrite();
    }

    void Run(Input& in)
    {
        while (!in.Empty()) {
            switch (in.Byte() % 6) {
            case 0: Datagram(in.Bytes(size_t(in.Byte()) * 4 + in.Byte() % 4)); break;
            case 1: Datagram(NetworkReply(in)); break;
            case 2: Datagram(DeviceReply(in)); break;
            case 3: Press(in.Byte()); break;
            case 4: Type(in); break;
            case 5: Choose(in); break;
            }
            CheckInfo();
        }
    }

private:
    // 55 | length 01 2B | 03 | MAC | block (292 bytes, from the input) | sum; cut short by the input.
    static std::vector<uint8_t> NetworkReply(Input& in)
    {
        std::vector<uint8_t> d{0x55, 0x01, 0x2B, 0x03};
        const auto rest = in.Bytes(6 + 292 + 1);
        d.insert(d.end(), rest.begin(), rest.end());
        return d;
    }

    // 55 | inner length | 0A or 0B | MAC | 7E function block CRC | sum; the CRC is
    // right unless the flags say otherwise, the function one of the three kinds.
    static std::vector<uint8_t> DeviceReply(Input& in)
    {
        const uint8_t flags = in.Byte();
        const uint8_t functions[] = {0x10, 0x11, in.Byte()};
        std::vector<uint8_t> inner{0x7E, functions[flags % 3]};
        const auto block = in.Bytes((flags & 0x08) ? 92 : in.Byte() % 100);
        inner.insert(inner.end(), block.begin(), block.end());
        const uint16_t crc = uint16_t(BitwiseCrc16(inner) ^ ((flags & 0x10) ? 1 : 0));
        inner.push_back(uint8_t(crc));
        inner.push_back(uint8_t(crc >> 8));
        const size_t length = (flags & 0x20) ? in.Byte() : inner.size();
        std::vector<uint8_t> d{0x55, uint8_t(length >> 8), uint8_t(length), uint8_t((flags & 0x40) ? 0x0B : 0x0A)};
        const auto mac = in.Bytes(6);
        d.insert(d.end(), mac.begin(), mac.end());
        d.resize(10, 0);
        d.insert(d.end(), inner.begin(), inner.end());
        d.push_back(0);
        return d;
    }

    void Datagram(std::vector<uint8_t> d)
    {
        if (d.size() > kMaxDatagram) d.resize(kMaxDatagram);
        const auto netBefore = Snapshot(m_net, NetTexts(), kNetLists);
        const auto devBefore = Snapshot(m_dev, DevTexts(), kDevLists);
        const bool readBefore = m_ops.DeviceParamsRead();
        // Only the device the last double-click chose may fill the pages, or
        // that device under the MAC the last MAC write gave it.
        const auto from = [&](const MacAddress& mac) { return std::equal(d.begin() + 4, d.begin() + 10, mac.begin()); };
        const auto& written = m_ops.MacWritten();
        const bool fromChosen = d.size() >= 10 && (from(m_state.TargetMac) || (written && from(*written)));
        m_ops.DispatchFrame(d);

        const bool reply = !d.empty() && d[0] == 0x55 && d.size() > 3;
        const bool network = reply && d[3] == 0x03 && d.size() >= 302 && fromChosen;
        if (network) {
            CheckNetworkPage(d.data() + 10);
        } else {
            Check(Snapshot(m_net, NetTexts(), kNetLists) == netBefore, "network page changed without a network reply");
        }

        bool deviceRead = false;
        if (reply && (d[3] == 0x0A || d[3] == 0x0B)) {
            const size_t length = size_t(d[1]) << 8 | d[2];
            if (length > 0 && 10 + length <= d.size()) {
                const std::span<const uint8_t> inner(d.data() + 10, length);
                deviceRead = fromChosen && length >= 96 && inner[0] == 0x7E && inner[1] == 0x10 &&
                             BitwiseCrc16(inner.first(length - 2)) == Le16(inner.data() + length - 2);
            }
        }
        if (deviceRead) {
            Check(m_ops.DeviceParamsRead(), "a valid read reply did not open the device write");
            CheckDevicePage(d.data() + 10);
        } else {
            Check(Snapshot(m_dev, DevTexts(), kDevLists) == devBefore, "device page changed without a valid read reply");
            Check(m_ops.DeviceParamsRead() == readBefore, "the device write opened without a valid read reply");
        }
    }

    void CheckNetworkPage(const uint8_t* block)
    {
        Check(m_net.GetSel(IDC_NET_IP_MODE) == ((block[0] & 0x80) ? 0 : 1), "IP mode shown");
        Check(m_net.GetText(IDC_NET_IP_ADDRESS) == Dotted(Le32(block + 1)), "IP address shown");
        Check(m_net.GetText(IDC_NET_GATEWAY) == Dotted(Le32(block + 5)), "gateway shown");
        Check(m_net.GetText(IDC_NET_SUBNET_MASK) == Dotted(Le32(block + 9)), "mask shown");
        Check(m_net.GetSel(IDC_NET_MAX_CONNECTIONS) == Sel(block[19], 0, 9), "maximum connections shown");
        for (size_t k = 0; k < 8; ++k) {
            const uint8_t* server = block + 20 + 34 * k;
            const ServerControls& ids = SERVER_CONTROL_IDS[k];
            Check(m_net.GetText(ids.localPort) == std::to_string(Le16(server)), "local port shown");
            Check(m_net.GetText(ids.targetPort) == std::to_string(Le16(server + 2)), "target port shown");
            const size_t n = strnlen(reinterpret_cast<const char*>(server + 4), 30);
            Check(m_net.GetText(ids.targetAddress) == std::string(reinterpret_cast<const char*>(server + 4), n),
                  "target address shown");
        }
    }

    void CheckDevicePage(const uint8_t* inner)
    {
        char address[16];
        std::snprintf(address, sizeof address, "%08x", unsigned(Le32(inner + 3)));
        Check(m_dev.GetSel(IDC_DEV_SERVER_COUNT) == Sel(inner[2], 0, 9), "server count shown");
        Check(m_dev.GetText(IDC_DEV_TERMINAL_ADDRESS) == address, "terminal address shown");
        Check(m_dev.GetText(IDC_DEV_LOGIN_INTERVAL) == std::to_string(Le16(inner + 7)), "login interval shown");
        Check(m_dev.GetText(IDC_DEV_HEARTBEAT_INTERVAL) == std::to_string(Le16(inner + 9)), "heartbeat shown");
        Check(m_dev.GetText(IDC_DEV_UPLOAD_INTERVAL) == std::to_string(Le16(inner + 11)), "upload interval shown");
        Check(m_dev.GetSel(IDC_DEV_WORK_MODE) == Sel(inner[13], 0, 6), "work mode shown");
        Check(m_dev.GetText(IDC_DEV_BAUD_RATE) == std::to_string(int32_t(Le32(inner + 14))), "baud rate shown");
        Check(m_dev.GetSel(IDC_DEV_DATA_BITS) == Sel(inner[18], 5, 5), "data bits shown");
        Check(m_dev.GetSel(IDC_DEV_PARITY) == Sel(inner[19], 0, 3), "parity shown");
        Check(m_dev.GetSel(IDC_DEV_STOP_BITS) == Sel(inner[20], 1, 2), "stop bits shown");
        Check(m_dev.GetText(IDC_DEV_MODBUS_TERMINAL_COUNT) == std::to_string(inner[21]), "Modbus count shown");
        for (size_t c = 0; c < 8; ++c) {
            const uint8_t* limits = inner + 30 + 8 * c;
            const LimitControls& ids = LimitEditIds[c];
            Check(m_dev.GetText(CHANNEL_ADDRESS_IDS[c]) == std::to_string(inner[22 + c]), "channel address shown");
            Check(m_dev.GetText(ids.tempUpper) == SignedTenths(int16_t(Le16(limits))), "upper temperature shown");
            Check(m_dev.GetText(ids.tempLower) == SignedTenths(int16_t(Le16(limits + 2))), "lower temperature shown");
            Check(m_dev.GetText(ids.humidityUpper) == UnsignedTenths(Le16(limits + 4)), "upper humidity shown");
            Check(m_dev.GetText(ids.humidityLower) == UnsignedTenths(Le16(limits + 6)), "lower humidity shown");
        }
    }

    void Press(uint8_t which)
    {
        const size_t sent = m_link.frames.size();
        const size_t befores = m_history.befores;
        PressButton(which, sent);
        // A write's block before is kept only when the write leaves (the
        // reset's once its reads before it came, on a datagram).
        if (m_history.befores != befores)
            Check(m_link.frames.size() > sent && (which % 8 == 2 || which % 8 == 3 || which % 8 == 6),
                  "a block before a write kept with no write sent");
    }

    void PressButton(uint8_t which, size_t sent)
    {
        switch (which % 8) {
        case 0: m_ops.SearchDevices(); break;
        case 1: {
            const int rows = m_main.RowCount(IDC_DEVICE_LIST);
            m_main.SelectRow(IDC_DEVICE_LIST, rows ? (which / 8) % (rows + 1) - 1 : -1);
            m_ops.OnDeviceListDoubleClick();
            break;
        }
        case 2: {
            const size_t boxes = m_net.Boxes().size();
            m_ops.OnWriteNetworkParams();
            // A refused value is named in a box, and then nothing at all is sent.
            const bool refused = m_net.Boxes().size() == boxes + 1;
            // A write goes out with the read that confirms it, to the same device.
            Check(m_link.frames.size() == sent + (refused ? 0 : 2), "a network write sent no frame without a box");
            if (refused) break;
            const Frame& f = m_link.frames[sent];
            Check(std::equal(f.begin() + 4, f.begin() + 10, m_link.frames.back().begin() + 4), "read-back to another MAC");
            Check(f.size() == 303, "a network write is not 303 bytes");
            Check(f[0] == 0xAA && f[1] == 0x01 && f[2] == 0x2B && f[3] == 0x04, "network write header");
            Check(f[302] == Sum8(std::span(f).subspan(3, 299)), "network write sum");
            break;
        }
        case 3: m_ops.OnWriteMac(); break;
        case 4: m_ops.OnFactoryDefaults(); break;
        case 5: m_ops.OnReadDeviceParams(); break;
        case 6: {
            const bool allowed = m_ops.DeviceParamsRead() && m_dev.GetText(IDC_DEV_TERMINAL_ADDRESS).size() == 8;
            const size_t boxes = m_dev.Boxes().size();
            m_ops.OnWriteDeviceParams();
            const bool refused = m_dev.Boxes().size() == boxes + 1;
            const bool expectFrame = allowed && !refused;
            Check(m_link.frames.size() == sent + (expectFrame ? 2 : 0), "device write sent against the rule");
            if (!expectFrame) break;
            const Frame& f = m_link.frames[sent];
            Check(std::equal(f.begin() + 4, f.begin() + 10, m_link.frames.back().begin() + 4), "read-back to another MAC");
            Check(f.size() == 107, "a device write is not 107 bytes");
            Check(f[0] == 0xAA && f[1] == 0x00 && f[2] == 0x67 && f[3] == 0x0A, "device write header");
            const std::span<const uint8_t> inner(f.data() + 10, 96);
            Check(inner[0] == 0x7E && inner[1] == 0x11, "device write inner frame");
            Check(Le16(inner.data() + 94) == BitwiseCrc16(inner.first(94)), "device write CRC");
            Check(f[106] == Sum8(std::span(f).subspan(3, 103)), "device write sum");
            break;
        }
        case 7: m_ops.OnIpModeChanged(); break;
        }
    }

    void Type(Input& in)
    {
        const uint8_t pick = in.Byte();
        const auto text = in.Bytes(in.Byte() % 40);
        const std::string s(text.begin(), text.end());
        const auto& net = NetTexts();
        const auto& dev = DevTexts();
        const size_t k = pick % (net.size() + dev.size() + 1);
        if (k < net.size())
            m_net.SetText(net[k], s);
        else if (k < net.size() + dev.size())
            m_dev.SetText(dev[k - net.size()], s);
        else
            m_net.SetText(IDC_NET_MAC, s);
    }

    void Choose(Input& in)
    {
        const uint8_t pick = in.Byte();
        const int index = int(in.Byte() % 12) - 1;
        if (pick % 7 < 2)
            m_net.SetSel(kNetLists[pick % 7], index);
        else
            m_dev.SetSel(kDevLists[pick % 7 - 2], index);
    }

    // Whenever the area was given a text, it holds the log exactly.
    void CheckInfo()
    {
        const int refreshes = m_main.SetTextCount(IDC_INFO);
        if (refreshes != m_refreshes) Check(m_main.GetText(IDC_INFO) == m_state.InfoLog, "info area differs from the log");
        m_refreshes = refreshes;
    }

    SetupState m_state;
    MemoryControls m_main, m_net, m_dev;
    RecordingLink m_link;
    FlakyHistory m_history;
    DeviceOps m_ops{m_state, m_main, m_net, m_dev, m_link};
    int m_refreshes = -1;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Input in{data, size};
    Session session;
    session.Run(in);
    return 0;
}
