#include "cli/client.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <unordered_map>

#include "proto/dev_params.h"
#include "settings/settings.h"

namespace vornik::cli {

namespace {

uint64_t MacKey(const MacAddress& mac)
{
    uint64_t v = 0;
    for (uint8_t b : mac) v = (v << 8) | b;
    return v;
}

uint64_t KeyOf(ReplyKind kind, const MacAddress& mac)
{
    uint64_t v = uint64_t(kind);
    for (uint8_t b : mac) v = (v << 8) | b;
    return v;
}

} // namespace

std::string AddressText(uint32_t a) { return FormatDottedQuad(a); }

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
        [this](const LinkError& error) {
            if (m_messages) m_messages(DescribeLinkError(error));
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

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) { g_interrupted = 1; }

// How often a wait looks whether Ctrl-C was pressed: a signal handler may
// not wake a condition variable, so waits are cut into slices this long.
constexpr auto INTERRUPT_LOOK = std::chrono::milliseconds(50);

} // namespace

void CatchInterrupt()
{
#ifdef _WIN32
    // The C runtime puts the default back before calling the handler, so here
    // too the second Ctrl-C ends the program.
    std::signal(SIGINT, OnInterrupt);
#else
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND; // the second Ctrl-C is the default: the end
    sigaction(SIGINT, &action, nullptr);
#endif
}

bool Interrupted() { return g_interrupted != 0; }

void Client::Send(const Frame& frame)
{
    if (Interrupted()) return;
    m_link->SendFrame(frame.data(), frame.size());
}

std::optional<Client::Arrival> Client::Next(Clock::time_point deadline)
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (Interrupted()) return std::nullopt;
        const auto slice = std::min(deadline, Clock::now() + INTERRUPT_LOOK);
        if (m_arrived.wait_until(lock, slice, [this] { return !m_queue.empty(); })) break;
        if (slice >= deadline) return std::nullopt;
    }
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
    std::map<size_t, Active> active;            // awaited, in flight
    std::map<size_t, Clock::time_point> unawaited; // sent once, answered or not
    std::multimap<uint64_t, size_t> waiting; // reply key -> request
    size_t next = 0, done = 0;
    const size_t awaitedTotal =
        size_t(std::count_if(requests.begin(), requests.end(), [](const Request& r) { return r.awaited; }));

    const auto triesOf = [&](size_t i) { return requests[i].tries > 0 ? requests[i].tries : m_options.tries; };
    // Each request's own entries, so that ending one costs no search of all.
    std::vector<std::vector<std::multimap<uint64_t, size_t>::iterator>> hooks(requests.size());
    const auto unhook = [&](size_t i) {
        for (auto it : hooks[i]) waiting.erase(it);
        hooks[i].clear();
    };
    const auto finish = [&](size_t i) {
        active.erase(i);
        unhook(i);
        ++done;
        if (afterwards) afterwards(i, outcomes[i]);
    };
    const auto allDone = [&] { return done == awaitedTotal && next == requests.size(); };

    while (!allDone() && !Interrupted()) {
        while (next < requests.size() && (!requests[next].awaited || active.size() < m_options.window)) {
            const size_t i = next++;
            const Request& r = requests[i];
            hooks[i].push_back(waiting.emplace(KeyOf(r.expect, r.mac), i));
            if (r.alternativeMac) hooks[i].push_back(waiting.emplace(KeyOf(r.expect, *r.alternativeMac), i));
            const auto now = Clock::now();
            if (r.awaited)
                active[i] = {now, now};
            else
                unawaited[i] = now;
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
        if (allDone()) break;

        // Take what has arrived until the next pause runs out.
        while (auto arrival = Next(deadline)) {
            const ClassifiedReply reply = ClassifyReply(arrival->datagram.bytes);
            if (reply.kind == ReplyKind::None) {
                // A reply of the device that failed its check (CRC, length).
                if (reply.mac)
                    for (auto& [i, a] : active)
                        if (requests[i].mac == *reply.mac) ++outcomes[i].refused;
                continue;
            }
            const auto [first, last] = waiting.equal_range(KeyOf(reply.kind, *reply.mac));
            for (auto it = first; it != last; ++it) {
                const size_t i = it->second;
                const auto quiet = unawaited.find(i);
                const Clock::time_point sentAt = quiet != unawaited.end() ? quiet->second : active[i].firstSent;
                // A reply heard before the request left answers an earlier one.
                if (arrival->at < sentAt) continue;
                outcomes[i].reply = std::move(arrival->datagram);
                if (quiet != unawaited.end()) {
                    unawaited.erase(quiet);
                    unhook(i);
                    if (afterwards) afterwards(i, outcomes[i]);
                } else {
                    finish(i);
                }
                break;
            }
            if (active.size() < m_options.window && next < requests.size()) break; // room for more requests
            if (allDone() || Clock::now() >= deadline) break;
        }
    }
    if (afterwards)
        for (const auto& [i, sentAt] : unawaited) afterwards(i, outcomes[i]);
    return outcomes;
}

std::vector<FoundDevice> Client::Search(std::chrono::milliseconds wait,
                                        const std::function<bool(const std::vector<FoundDevice>&)>& until,
                                        const std::function<void(const ClassifiedReply&)>& other, int rounds)
{
    return Gather(wait, until, other, rounds > 0 ? rounds : until ? m_options.tries : 1, nullptr);
}

std::vector<FoundDevice> Client::Search(std::chrono::milliseconds wait, const SearchPlan& plan)
{
    return Gather(wait, {}, {}, std::max(1, plan.rounds), &plan);
}

std::vector<FoundDevice> Client::Gather(std::chrono::milliseconds wait,
                                        const std::function<bool(const std::vector<FoundDevice>&)>& until,
                                        const std::function<void(const ClassifiedReply&)>& other, int rounds,
                                        const SearchPlan* plan)
{
    // A flood of distinct replies must cost no more than hearing each once.
    struct PairHash {
        size_t operator()(const std::pair<uint64_t, uint32_t>& k) const
        {
            return std::hash<uint64_t>()(k.first * 0x9E3779B97F4A7C15ULL ^ k.second);
        }
    };
    std::vector<FoundDevice> found;
    std::unordered_map<std::pair<uint64_t, uint32_t>, size_t, PairHash> index; // (MAC, address) -> entry
    const Frame search = BuildSearchRequest();
    const auto roundLength = until ? std::max(wait, m_options.interval) : wait;
    for (int round = 1; round <= rounds && !Interrupted(); ++round) {
        const size_t before = found.size();
        const auto sentAt = Clock::now();
        Send(search);
        const auto deadline = sentAt + roundLength;
        while (auto arrival = Next(deadline)) {
            const Datagram& d = arrival->datagram;
            const ClassifiedReply classified = ClassifyReply(d.bytes);
            if (classified.kind != ReplyKind::Search) {
                if (other) other(classified);
                continue;
            }
            const auto reply = DecodeSearchReply(d.bytes);
            const auto [it, added] = index.try_emplace({MacKey(reply->mac), reply->ipAddress}, found.size());
            if (added) found.push_back({*reply, d.sourceAddress, d.sourcePort, {}, 0, false, false});
            FoundDevice& f = found[it->second];
            if (d.localAddress) f.heardOn.insert(d.localAddress);
            ++f.replies;
            if (until && until(found)) break;
            if (plan && plan->expect && found.size() >= plan->expect) break;
        }
        if (plan && plan->onRound) plan->onRound(round, found.size() - before);
        if (until && until(found)) break;
        if (plan && plan->expect && found.size() >= plan->expect) break;
        if (plan && round > 1 && found.size() == before) break;
    }
    std::unordered_map<uint64_t, int> perMac;
    std::unordered_map<uint32_t, int> perAddress;
    for (const FoundDevice& f : found) {
        ++perMac[MacKey(f.reply.mac)];
        ++perAddress[f.reply.ipAddress];
    }
    for (FoundDevice& f : found) {
        f.duplicateMac = perMac[MacKey(f.reply.mac)] > 1;
        f.duplicateIp = perAddress[f.reply.ipAddress] > 1;
    }
    return found;
}

} // namespace vornik::cli
