#include "cli/client.h"

#include <algorithm>
#include <cstdio>

#include "link/frame_dispatch.h"
#include "ops/dev_params.h"
#include "settings/settings.h"

namespace vornik::cli {

namespace {

MacAddress MacAt(std::span<const uint8_t> d, size_t offset)
{
    MacAddress mac{};
    std::copy_n(d.begin() + ptrdiff_t(offset), MAC_SIZE, mac.begin());
    return mac;
}

uint64_t KeyOf(ReplyKind kind, const MacAddress& mac)
{
    uint64_t v = uint64_t(kind);
    for (uint8_t b : mac) v = (v << 8) | b;
    return v;
}

} // namespace

std::string AddressText(uint32_t a) { return FormatDottedQuad(a); }

std::optional<ReplyKey> ClassifyReply(std::span<const uint8_t> d, std::optional<MacAddress>* refused)
{
    if (d.size() <= FRAME_COMMAND_OFFSET || d[FRAME_MARKER_OFFSET] != FRAME_REPLY) return std::nullopt;
    const uint8_t command = d[FRAME_COMMAND_OFFSET];
    if (command == CMD_SEARCH) {
        const auto reply = DecodeSearchReply(d);
        if (!reply) return std::nullopt;
        return ReplyKey{ReplyKind::Search, reply->mac};
    }
    if (d.size() < FRAME_PAYLOAD_OFFSET) return std::nullopt;
    const MacAddress mac = MacAt(d, FRAME_MAC_OFFSET);
    switch (command) {
    case CMD_READ_NETWORK:
        if (d.size() < NETWORK_REPLY_SIZE) {
            if (refused) *refused = mac;
            return std::nullopt;
        }
        return ReplyKey{ReplyKind::NetworkRead, mac};
    case CMD_WRITE_NETWORK:
        return ReplyKey{ReplyKind::NetworkWriteAck, mac};
    case CMD_FACTORY_DEFAULTS:
        return ReplyKey{ReplyKind::DefaultsAck, mac};
    case CMD_WRITE_MAC:
        return ReplyKey{ReplyKind::MacWriteAck, mac};
    case CMD_DEVICE_PARAMS:
    case CMD_DEVICE_PARAMS_REPLY: {
        const size_t length = size_t(d[FRAME_LENGTH_OFFSET]) << 8 | d[FRAME_LENGTH_OFFSET + 1];
        DeviceParams ignored;
        const uint8_t function = length > 0 && FRAME_PAYLOAD_OFFSET + length <= d.size()
                                     ? ParseDeviceFrame(d.subspan(FRAME_PAYLOAD_OFFSET, length), ignored)
                                     : 0;
        if (function == DEVICE_FUNC_READ) return ReplyKey{ReplyKind::DeviceRead, mac};
        if (function == DEVICE_FUNC_WRITE) return ReplyKey{ReplyKind::DeviceWriteAck, mac};
        if (refused) *refused = mac;
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

Client::Client(ClientOptions options, std::function<void(const std::string&)> messages)
    : m_options(std::move(options)), m_messages(std::move(messages))
{
}

Client::~Client()
{
    if (m_link) m_link->Stop();
}

bool Client::Start()
{
    m_link = std::make_unique<UdpLink>(
        m_options.link,
        [this](const std::string& text936) {
            if (m_messages) m_messages(settings::Utf8FromCp936(text936));
        },
        [this](Datagram d) {
            const auto now = Clock::now();
            {
                std::lock_guard lock(m_mutex);
                m_queue.push_back({std::move(d), now});
            }
            m_arrived.notify_one();
        });
    m_link->Start();
    m_link->OpenEndpoints();
    return std::any_of(m_link->Slots().begin(), m_link->Slots().end(), [](const EndpointSlot& s) { return s.open; });
}

void Client::Send(const Frame& frame) { m_link->SendFrame(frame.data(), frame.size()); }

std::optional<Client::Arrival> Client::Next(Clock::time_point deadline)
{
    std::unique_lock lock(m_mutex);
    if (!m_arrived.wait_until(lock, deadline, [this] { return !m_queue.empty(); })) return std::nullopt;
    Arrival a = std::move(m_queue.front());
    m_queue.pop_front();
    return a;
}

std::vector<Outcome> Client::Exchange(const std::vector<Request>& requests,
                                      const std::function<void(size_t, const Outcome&)>& afterwards)
{
    std::vector<Outcome> outcomes(requests.size());
    struct Active {
        Clock::time_point firstSent, lastSent;
    };
    std::map<size_t, Active> active;
    std::multimap<uint64_t, size_t> waiting; // reply key -> request
    size_t next = 0, done = 0;

    const auto triesOf = [&](size_t i) { return requests[i].tries > 0 ? requests[i].tries : m_options.tries; };
    const auto finish = [&](size_t i) {
        active.erase(i);
        std::erase_if(waiting, [i](const auto& entry) { return entry.second == i; });
        ++done;
        if (afterwards) afterwards(i, outcomes[i]);
    };

    while (done < requests.size()) {
        while (active.size() < m_options.window && next < requests.size()) {
            const size_t i = next++;
            const Request& r = requests[i];
            waiting.emplace(KeyOf(r.expect, r.mac), i);
            if (r.alternativeMac) waiting.emplace(KeyOf(r.expect, *r.alternativeMac), i);
            const auto now = Clock::now();
            active[i] = {now, now};
            Send(r.frame);
            outcomes[i].sent = 1;
        }

        // Requests whose pause is over go out again, or end unanswered.
        auto now = Clock::now();
        Clock::time_point deadline = now + m_options.interval;
        std::vector<size_t> expired;
        for (auto& [i, a] : active) {
            if (now - a.lastSent >= m_options.interval) {
                if (outcomes[i].sent < triesOf(i)) {
                    Send(requests[i].frame);
                    ++outcomes[i].sent;
                    a.lastSent = now;
                } else {
                    expired.push_back(i);
                    continue;
                }
            }
            deadline = std::min(deadline, a.lastSent + m_options.interval);
        }
        for (size_t i : expired) finish(i);
        if (done == requests.size()) break;

        // Take what has arrived until the next pause runs out.
        while (auto arrival = Next(deadline)) {
            std::optional<MacAddress> refused;
            const auto key = ClassifyReply(arrival->datagram.bytes, &refused);
            if (refused) {
                for (auto& [i, a] : active)
                    if (requests[i].mac == *refused) ++outcomes[i].refused;
            }
            if (!key) continue;
            const auto [first, last] = waiting.equal_range(KeyOf(key->kind, key->mac));
            for (auto it = first; it != last; ++it) {
                const size_t i = it->second;
                // A reply heard before the request left answers an earlier one.
                if (arrival->at < active[i].firstSent) continue;
                outcomes[i].reply = std::move(arrival->datagram);
                finish(i);
                break;
            }
            if (active.size() < m_options.window && next < requests.size()) break; // room for more requests
            if (done == requests.size() || Clock::now() >= deadline) break;
        }
    }
    return outcomes;
}

std::vector<FoundDevice> Client::Search(std::chrono::milliseconds wait,
                                        const std::function<bool(const std::vector<FoundDevice>&)>& until)
{
    std::vector<FoundDevice> found;
    const Frame search = BuildSearchRequest();
    const int rounds = until ? m_options.tries : 1;
    const auto roundLength = until ? std::max(wait, m_options.interval) : wait;
    for (int round = 0; round < rounds; ++round) {
        const auto sentAt = Clock::now();
        Send(search);
        const auto deadline = sentAt + roundLength;
        while (auto arrival = Next(deadline)) {
            const Datagram& d = arrival->datagram;
            if (d.bytes.size() <= FRAME_COMMAND_OFFSET || d.bytes[0] != FRAME_REPLY || d.bytes[3] != CMD_SEARCH)
                continue;
            const auto reply = DecodeSearchReply(d.bytes);
            if (!reply) continue;
            auto it = std::find_if(found.begin(), found.end(), [&](const FoundDevice& f) {
                return f.reply.mac == reply->mac && f.reply.ipAddress == reply->ipAddress;
            });
            if (it == found.end()) {
                found.push_back({*reply, d.sourceAddress, d.sourcePort, {}, 0, false, false});
                it = found.end() - 1;
            }
            if (d.localAddress) it->heardOn.insert(d.localAddress);
            ++it->replies;
            if (until && until(found)) break;
        }
        if (until && until(found)) break;
    }
    for (FoundDevice& f : found) {
        for (const FoundDevice& g : found) {
            if (&f == &g) continue;
            if (g.reply.ipAddress == f.reply.ipAddress && g.reply.mac != f.reply.mac) f.duplicateIp = true;
            if (g.reply.mac == f.reply.mac && g.reply.ipAddress != f.reply.ipAddress) f.duplicateMac = true;
        }
    }
    return found;
}

} // namespace vornik::cli
