// Requests in flight: each with the frame it sends, the reply it awaits (its
// kind and the device's MAC), its tries and the pause between them. The
// exchange never waits: whoever drives it offers each reply as it comes and
// polls it when the time it names is reached, so the window's event loop and
// vornikctl's blocking client share one rule for resends and for silence.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <unordered_map>
#include <vector>

#include "link/udp_link.h"
#include "proto/frame.h"
#include "proto/reply.h"

namespace vornik::engine {

using Clock = std::chrono::steady_clock;

struct Request {
    Frame frame;
    ReplyKind expect = ReplyKind::None;
    MacAddress mac{};                          // the MAC the reply carries
    std::optional<MacAddress> alternativeMac;  // another MAC that may answer (the MAC write's new one)
    int tries = 0;                             // 0: the pacing's
    std::chrono::milliseconds interval{0};     // 0: the pacing's
    // Answered by the first reply of its kind from any device (a search).
    bool anyDevice = false;
    // false: sent once and never waited for (a write whose answer the protocol
    // does not promise); its reply is taken if it comes while others are awaited.
    bool awaited = true;
};

struct Outcome {
    std::optional<Datagram> reply;
    // What the reply says, read once as it came (its inner-frame view is not
    // kept: it pointed into the datagram as it was received).
    std::optional<ClassifiedReply> answer;
    int sent = 0;
    int refused = 0; // replies from the device that failed their check (CRC, length)
};

struct Pacing {
    int tries = 3;                            // sends of one request before it counts as unanswered
    std::chrono::milliseconds interval{1000}; // from one send of a request to the next
    size_t window = 64;                       // awaited requests in flight at one time
};

class Exchange {
public:
    // Without `take` every outcome is kept in Outcomes(). With it, each
    // request's outcome goes to `take` as the request ends, and neither it
    // nor the request's frame is kept: a batch of thousands of devices holds
    // only what is in flight. Close then hands over what is left, the
    // requests in flight and those never sent included, so `take` sees every
    // index exactly once; Outcomes() stays empty, Answered() false.
    using Take = std::function<void(size_t index, Outcome&& outcome)>;
    Exchange(std::vector<Request> requests, Pacing pacing, Take take = {});

    // Sends what may go now, sends again what is due and ends what is spent.
    // The k-th send of a request is due k-1 intervals after its first and it
    // is spent `tries` intervals after it, however late the poll comes, so a
    // request's silence is said at the same moment under any load. Returns
    // when to poll next.
    Clock::time_point Poll(Clock::time_point now, const std::function<void(const Frame&)>& send);

    enum class Match {
        None,      // awaited by nothing here
        Answered,  // answered request `index`
        Duplicate, // a second answer to a request that was sent more than once
    };
    struct Offered {
        Match match = Match::None;
        size_t index = 0;
    };
    // A reply received at `at`: the first request in flight that awaits its
    // kind and MAC and left before it takes it. A reply heard before a
    // request left answers an earlier one and is left for others.
    Offered Offer(const ClassifiedReply& reply, Datagram datagram, Clock::time_point at);

    // Every request sent and every awaited one answered or spent.
    bool Done() const { return m_done == m_awaitedTotal && m_next == m_requests.size(); }
    // An awaited request more could go out now.
    bool HasRoom() const { return m_active.size() < m_pacing.window && m_next < m_requests.size(); }
    bool Answered(size_t index) const { return index < m_outcomes.size() && m_outcomes[index].reply.has_value(); }
    const std::vector<Outcome>& Outcomes() const { return m_outcomes; }
    std::vector<Outcome>& Outcomes() { return m_outcomes; }
    const Request& RequestAt(size_t index) const { return m_requests[index]; }
    size_t Size() const { return m_requests.size(); }

    // Called once per request as it ends: answered, spent, or (unawaited) at Close.
    void OnEnd(std::function<void(size_t index, const Outcome&)> ended) { m_ended = std::move(ended); }
    // Ends the requests sent once and never answered.
    void Close();
    // Outcomes handed over by Close to a `take` because the exchange stopped
    // before they ended (never sent, or in flight).
    size_t Cut() const { return m_cut; }
    // Requests answered only after they were sent again: the LAN lost a
    // datagram or a device was late (one that never answers is not counted).
    size_t AnsweredOnRetry() const { return m_answeredOnRetry; }

private:
    struct Active {
        Clock::time_point firstSent;
    };
    int TriesOf(size_t i) const { return m_requests[i].tries > 0 ? m_requests[i].tries : m_pacing.tries; }
    Clock::duration IntervalOf(size_t i) const
    {
        return m_requests[i].interval.count() > 0 ? m_requests[i].interval : m_pacing.interval;
    }
    void Hook(size_t i);
    void Unhook(size_t i);
    void Finish(size_t i);
    Outcome& Slot(size_t i) { return m_take ? m_live[i] : m_outcomes[i]; }
    // The request ended: observers told, and a handed-over outcome let go.
    void Ended(size_t i);

    std::vector<Request> m_requests;
    Pacing m_pacing;
    std::vector<Outcome> m_outcomes;
    std::map<size_t, Active> m_active;                  // awaited, in flight
    std::map<size_t, Clock::time_point> m_unawaited;    // sent once, answered or not
    std::multimap<uint64_t, size_t> m_waiting;          // reply key -> request
    std::vector<std::vector<std::multimap<uint64_t, size_t>::iterator>> m_hooks; // each request's own entries
    // Requests sent more than once and answered: a second answer, to an
    // earlier send, is told apart from a reply nobody awaited until then.
    std::unordered_map<uint64_t, Clock::time_point> m_echoes;
    size_t m_next = 0, m_done = 0, m_awaitedTotal = 0;
    std::function<void(size_t, const Outcome&)> m_ended;
    Take m_take;
    std::unordered_map<size_t, Outcome> m_live; // with a `take`: the requests sent and not ended
    size_t m_cut = 0;
    size_t m_answeredOnRetry = 0;
};

// A request awaited with the pacing's tries and interval.
inline Request Awaited(Frame frame, ReplyKind expect, const MacAddress& mac)
{
    Request r;
    r.frame = std::move(frame);
    r.expect = expect;
    r.mac = mac;
    return r;
}
// A request sent once and never waited for; its reply is noted if it comes.
inline Request SentOnce(Frame frame, ReplyKind expect, const MacAddress& mac)
{
    Request r = Awaited(std::move(frame), expect, mac);
    r.tries = 1;
    r.awaited = false;
    return r;
}

// One key per reply kind and MAC.
uint64_t ReplyKey(ReplyKind kind, const MacAddress& mac);

} // namespace vornik::engine
