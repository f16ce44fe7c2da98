#include "cli/client.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <unordered_map>

#include "proto/dev_params.h"
#include "settings/settings.h"

namespace vornik::cli {


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
            if (m_queue.Push(std::move(d))) {
                // Taken under the lock, so that the wake-up cannot fall
                // between the reader's look and its wait.
                std::lock_guard lock(m_mutex);
                m_arrived.notify_one();
            }
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
    for (;;) {
        if (Interrupted()) return std::nullopt;
        if (m_takenNext < m_taken.size()) {
            Datagram& d = m_taken[m_takenNext++];
            // The receive thread's clock says when it came, so that a reply
            // heard before its request left is known for one to an earlier send.
            const auto age = std::chrono::system_clock::now() - d.received;
            const auto at = d.received == std::chrono::system_clock::time_point{}
                                ? Clock::now()
                                : Clock::now() - std::chrono::duration_cast<Clock::duration>(std::max(age, {}));
            return Arrival{std::move(d), at};
        }
        m_taken.clear();
        m_takenNext = 0;
        if (m_queue.Take(m_taken, 256)) continue;
        std::unique_lock lock(m_mutex);
        const auto slice = std::min(deadline, Clock::now() + INTERRUPT_LOOK);
        // The queue wakes a reader only after it found the queue empty, which
        // the Take above just did.
        m_arrived.wait_until(lock, slice, [this] { return m_queue.Bytes() > 0; });
        if (m_queue.Bytes() == 0 && Clock::now() >= deadline) return std::nullopt;
    }
}

std::vector<Outcome> Client::Exchange(std::vector<Request> requests,
                                      const std::function<void(size_t, const Outcome&)>& afterwards)
{
    engine::Exchange exchange(std::move(requests), Pacing());
    if (afterwards) exchange.OnEnd(afterwards);
    Run(exchange);
    return std::move(exchange.Outcomes());
}

void Client::Stream(std::vector<Request> requests,
                    const std::function<void(size_t index, const Request&, Outcome&&)>& take)
{
    engine::Exchange* running = nullptr;
    engine::Exchange exchange(std::move(requests), Pacing(), [&](size_t index, Outcome&& outcome) {
        take(index, running->RequestAt(index), std::move(outcome));
    });
    running = &exchange;
    Run(exchange);
}

void Client::Run(engine::Exchange& exchange)
{
    const auto send = [this](const Frame& frame) { Send(frame); };
    while (!exchange.Done() && !Interrupted()) {
        const Clock::time_point deadline = exchange.Poll(Clock::now(), send);
        if (exchange.Done()) break;
        // Take what has arrived until the next pause runs out.
        while (auto arrival = Next(deadline)) {
            const ClassifiedReply reply = ClassifyReply(arrival->datagram.bytes);
            exchange.Offer(reply, std::move(arrival->datagram), arrival->at);
            if (exchange.HasRoom() || exchange.Done() || Clock::now() >= deadline) break;
        }
    }
    exchange.Close();
    m_answeredOnRetry += exchange.AnsweredOnRetry();
}

std::vector<FoundDevice> Client::Search(std::chrono::milliseconds wait, const Until& until,
                                        const std::function<void(const ClassifiedReply&)>& other, int rounds)
{
    return Gather(wait, until, other, rounds > 0 ? rounds : until ? m_options.tries : 1, nullptr);
}

std::vector<FoundDevice> Client::Search(std::chrono::milliseconds wait, const SearchPlan& plan)
{
    return Gather(wait, {}, {}, std::max(1, plan.rounds), &plan);
}

std::vector<FoundDevice> Client::Gather(std::chrono::milliseconds wait, const Until& until,
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
    int sent = 0;
    bool reached = false; // until() held
    for (int round = 1; round <= rounds && !Interrupted(); ++round) {
        const size_t before = found.size();
        const auto sentAt = Clock::now();
        Send(search);
        ++sent;
        const auto deadline = sentAt + roundLength;
        while (auto arrival = Next(deadline)) {
            const Datagram& d = arrival->datagram;
            const ClassifiedReply classified = ClassifyReply(d.bytes);
            if (classified.kind != ReplyKind::Search) {
                if (other) other(classified);
                continue;
            }
            const auto& reply = classified.search;
            const auto [it, added] = index.try_emplace({MacKey(reply->mac), reply->ipAddress}, found.size());
            if (added) found.push_back({*reply, d.sourceAddress, d.sourcePort, {}, 0, false, false});
            FoundDevice& f = found[it->second];
            if (d.localAddress) f.heardOn.insert(d.localAddress);
            ++f.replies;
            if (until && (reached = until(found, it->second))) break;
            if (plan && plan->expect && found.size() >= plan->expect) break;
        }
        if (plan && plan->onRound) plan->onRound(round, found.size() - before);
        if (reached) break;
        if (plan && plan->expect && found.size() >= plan->expect) break;
        if (plan && round > 1 && found.size() == before) break;
    }
    std::unordered_map<uint64_t, int> perMac;
    std::unordered_map<uint32_t, int> perAddress;
    for (const FoundDevice& f : found) {
        ++perMac[MacKey(f.reply.mac)];
        ++perAddress[f.reply.ipAddress];
    }
    // A device answers each search it hears once. Each search leaves from
    // every local address and each reply may be heard on every one of them,
    // so a device heard on h addresses sends up to h x h replies a search.
    // Another tool searching on the LAN makes every device answer more: the
    // replies explained are the searches sent or, where more, what the other
    // devices sent. Clones answer each search twice (or more).
    const auto perSearch = [](const FoundDevice& f) {
        const double heard = double(std::max<size_t>(1, f.heardOn.size()));
        return f.replies / (heard * heard);
    };
    double most = 0, second = 0; // the two highest, to take "the others" without the device itself
    for (const FoundDevice& f : found) {
        const double n = perSearch(f);
        if (n > most) {
            second = most;
            most = n;
        } else if (n > second) {
            second = n;
        }
    }
    for (FoundDevice& f : found) {
        f.duplicateMac = perMac[MacKey(f.reply.mac)] > 1;
        f.duplicateIp = perAddress[f.reply.ipAddress] > 1;
        const double n = perSearch(f), others = n == most ? second : most;
        const double explained = std::max(double(std::max(1, sent)), others);
        f.clones = 2 * n >= 3 * explained;
    }
    return found;
}

} // namespace vornik::cli
