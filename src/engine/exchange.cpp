#include "engine/exchange.h"

#include <algorithm>
#include <tuple>

namespace vornik::engine {

uint64_t ReplyKey(ReplyKind kind, const MacAddress& mac) { return uint64_t(kind) << 48 | MacKey(mac); }

namespace {

// Above every key of a kind and a MAC (the kind takes bits 48 to 55), so no
// device's MAC, all zeros included, stands for "any device".
uint64_t AnyDeviceKey(ReplyKind kind) { return (uint64_t(1) << 63) | (uint64_t(kind) << 48); }

} // namespace

Exchange::Exchange(std::vector<Request> requests, Pacing pacing, Take take)
    : m_requests(std::move(requests)), m_pacing(pacing), m_outcomes(take ? 0 : m_requests.size()),
      m_hooks(m_requests.size()), m_take(std::move(take))
{
    m_pacing.tries = std::max(1, m_pacing.tries);
    m_pacing.window = std::max<size_t>(1, m_pacing.window);
    m_awaitedTotal = size_t(std::count_if(m_requests.begin(), m_requests.end(), [](const Request& r) { return r.awaited; }));
}

void Exchange::Ended(size_t i)
{
    Outcome& outcome = Slot(i);
    if (m_ended) m_ended(i, outcome);
    if (!m_take) return;
    const auto live = m_live.find(i);
    Outcome handed = std::move(live->second);
    m_live.erase(live);
    m_take(i, std::move(handed));
    std::vector<std::multimap<uint64_t, size_t>::iterator>().swap(m_hooks[i]);
    Frame().swap(m_requests[i].frame);
}

void Exchange::Hook(size_t i)
{
    const Request& r = m_requests[i];
    if (r.anyDevice) {
        m_hooks[i].push_back(m_waiting.emplace(AnyDeviceKey(r.expect), i));
        return;
    }
    m_hooks[i].push_back(m_waiting.emplace(ReplyKey(r.expect, r.mac), i));
    if (r.alternativeMac) m_hooks[i].push_back(m_waiting.emplace(ReplyKey(r.expect, *r.alternativeMac), i));
}

void Exchange::Unhook(size_t i)
{
    for (auto it : m_hooks[i]) m_waiting.erase(it);
    m_hooks[i].clear();
}

void Exchange::Finish(size_t i)
{
    m_active.erase(i);
    Unhook(i);
    ++m_done;
    Ended(i);
}

Clock::time_point Exchange::Poll(Clock::time_point now, const std::function<void(const Frame&)>& send)
{
    // The state a reply is matched by is in place before the frame leaves:
    // whatever runs inside a send (a box with an event loop of its own) finds
    // the request already awaited.
    while (m_next < m_requests.size() && (!m_requests[m_next].awaited || m_active.size() < m_pacing.window)) {
        const size_t i = m_next++;
        Hook(i);
        if (m_requests[i].awaited)
            m_active[i] = {now};
        else
            m_unawaited[i] = now;
        Slot(i).sent = 1;
        send(m_requests[i].frame);
    }

    Clock::time_point next = now + m_pacing.interval;
    std::vector<size_t> spent, resend;
    for (auto& [i, a] : m_active) {
        const int tries = TriesOf(i);
        const Clock::duration interval = IntervalOf(i);
        const auto end = a.firstSent + tries * interval;
        if (now >= end) {
            spent.push_back(i);
            continue;
        }
        const int due = std::min(tries, int((now - a.firstSent) / interval) + 1);
        if (Outcome& o = Slot(i); o.sent < due) {
            // One send however many were missed: a late poll does not burst.
            o.sent = due;
            resend.push_back(i);
        }
        next = std::min(next, due < tries ? a.firstSent + due * interval : end);
    }
    for (size_t i : spent) Finish(i);
    // Sent once the books are done: a reply handled inside a send finds them whole.
    for (size_t i : resend) send(m_requests[i].frame);
    for (auto it = m_echoes.begin(); it != m_echoes.end();)
        it = now >= it->second ? m_echoes.erase(it) : std::next(it);
    return next;
}

Exchange::Offered Exchange::Offer(const ClassifiedReply& reply, Datagram datagram, Clock::time_point at)
{
    if (!reply.mac) return {};
    if (reply.kind == ReplyKind::None) {
        // A reply of the device that failed its check (CRC, length).
        for (auto& [i, a] : m_active)
            if (m_requests[i].mac == *reply.mac) ++Slot(i).refused;
        return {};
    }
    uint64_t key = ReplyKey(reply.kind, *reply.mac);
    auto [first, last] = m_waiting.equal_range(key);
    if (first == last) {
        key = AnyDeviceKey(reply.kind);
        std::tie(first, last) = m_waiting.equal_range(key);
        if (first == last) key = ReplyKey(reply.kind, *reply.mac); // for the echoes below
    }
    for (auto it = first; it != last; ++it) {
        const size_t i = it->second;
        const auto quiet = m_unawaited.find(i);
        const Clock::time_point sentAt = quiet != m_unawaited.end() ? quiet->second : m_active[i].firstSent;
        if (at < sentAt) continue;
        Outcome& o = Slot(i);
        o.answer = reply;
        o.answer->deviceFrame = {};
        o.reply = std::move(datagram);
        if (quiet != m_unawaited.end()) {
            m_unawaited.erase(quiet);
            Unhook(i);
            Ended(i);
        } else {
            if (o.sent > 1) {
                m_echoes[key] = sentAt + TriesOf(i) * IntervalOf(i);
                // Heard before its send again was due, only taken after it (a
                // busy host): an answer to the first send, nothing was lost.
                if (at >= sentAt + IntervalOf(i)) ++m_answeredOnRetry;
            }
            Finish(i);
        }
        return {Match::Answered, i};
    }
    if (const auto echo = m_echoes.find(key); echo != m_echoes.end() && at < echo->second) return {Match::Duplicate, 0};
    return {};
}

void Exchange::Close()
{
    const auto unawaited = std::move(m_unawaited);
    m_unawaited.clear();
    for (const auto& [i, sentAt] : unawaited) {
        Unhook(i);
        Ended(i);
    }
    if (!m_take) return;
    // Stopped early (Ctrl-C): what was in flight or never sent still reaches
    // its owner, as an outcome without a reply.
    const auto active = std::move(m_active);
    m_active.clear();
    for (const auto& [i, a] : active) {
        Unhook(i);
        ++m_cut;
        Ended(i);
    }
    for (; m_next < m_requests.size(); ++m_next) {
        ++m_cut;
        m_live[m_next];
        Ended(m_next);
    }
}

} // namespace vornik::engine
