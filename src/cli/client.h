// Request and reply for vornikctl: the window's link underneath, each request
// matched to its reply by the device's MAC address and the reply's kind, sent
// again after a pause until its tries are spent, and many requests in flight
// at once so that a batch of devices takes about as long as one.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "proto/frame.h"
#include "engine/exchange.h"
#include "link/datagram_queue.h"
#include "link/udp_link.h"
#include "proto/reply.h"

namespace vornik::cli {

using Clock = engine::Clock;

struct ClientOptions {
    LinkConfig link;
    int tries = 3;                                  // sends of one request before it counts as unanswered
    std::chrono::milliseconds interval{1000};       // pause between two sends of one request
    size_t window = 64;                             // requests waiting for their reply at one time
    std::function<void(const std::string&)> note;   // what is being done, for the operator
};

using Request = engine::Request;
using Outcome = engine::Outcome;

// One device as a search found it; the same device heard more than once is one entry.
struct FoundDevice {
    SearchReplyFields reply;
    uint32_t source = 0;           // host order
    uint16_t sourcePort = 0;
    std::set<uint32_t> heardOn;    // local addresses that heard it
    int replies = 0;
    bool duplicateIp = false;      // another MAC answered with the same address
    bool duplicateMac = false;     // the same MAC answered with another address
    // More replies came from this MAC and address than the searches sent can
    // explain (a device answers each search it hears once): two devices, or
    // more, may share both the MAC and the address.
    bool clones = false;
    // Writes to it would reach every one of them.
    bool SharedMac() const { return duplicateMac || clones; }
};

// How a search in rounds goes: each round broadcasts once and gathers for
// the wait; it ends early when a round after the first finds no device not
// heard before, or when `expect` devices have answered.
struct SearchPlan {
    int rounds = 1;
    size_t expect = 0; // 0: no number expected
    std::function<void(int round, size_t newDevices)> onRound;
};

class Client {
public:
    // Asked as each search reply is heard, with the devices found so far and
    // the index of the one it came from (found[heard]): a look at that one
    // device, however many answered before it. An index, not a pointer, as
    // `found` grows and moves while the search goes on.
    using Until = std::function<bool(const std::vector<FoundDevice>& found, size_t heard)>;

    // The link's failures (sockets, binds, sends) go to `messages`, in English.
    Client(ClientOptions options, std::function<void(const std::string&)> messages);
    ~Client();

    // Starts the link and opens the endpoints; false when nothing can be sent.
    bool Start();

    // Sends every request (at most `window` waiting at once) and waits for
    // their replies; afterwards() is called once per request as it ends.
    // The requests are the exchange's own (moved in, so that a round of many
    // devices holds its frames once).
    std::vector<Outcome> Exchange(std::vector<Request> requests,
                                  const std::function<void(size_t index, const Outcome&)>& afterwards = {});
    // The same, but each outcome goes to `take` as its request ends (with the
    // request) and is not kept; `take` sees every index once, Ctrl-C or not.
    void Stream(std::vector<Request> requests,
                const std::function<void(size_t index, const Request&, Outcome&&)>& take);

    // Broadcasts the search and gathers replies for `wait`; when `until` is given the
    // search is sent again every interval (up to the tries) and ends as soon as until()
    // holds. Duplicates are marked.
    // Other replies heard meanwhile go to `other`. `rounds` 0: the tries with `until`, else one.
    std::vector<FoundDevice> Search(std::chrono::milliseconds wait, const Until& until = {},
                                    const std::function<void(const ClassifiedReply&)>& other = {}, int rounds = 0);

    std::vector<FoundDevice> Search(std::chrono::milliseconds wait, const SearchPlan& plan);

    const ClientOptions& Options() const { return m_options; }
    // Requests answered only after a send again, over every exchange so far.
    size_t AnsweredOnRetry() const { return m_answeredOnRetry; }
    void Note(const std::string& text) const
    {
        if (m_options.note) m_options.note(text);
    }

private:
    void Run(engine::Exchange& exchange);
    struct Arrival {
        Datagram datagram;
        Clock::time_point at;
    };
    std::optional<Arrival> Next(Clock::time_point deadline);
    engine::Pacing Pacing() const { return {m_options.tries, m_options.interval, m_options.window}; }
    void Send(const Frame& frame);
    std::vector<FoundDevice> Gather(std::chrono::milliseconds wait, const Until& until,
                                    const std::function<void(const ClassifiedReply&)>& other, int rounds,
                                    const SearchPlan* plan);

    ClientOptions m_options;
    size_t m_answeredOnRetry = 0;
    std::function<void(const std::string&)> m_messages;
    // Bounded as the window's is: a flood is dropped at the door, never held.
    DatagramQueue m_queue;
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::vector<Datagram> m_taken; // taken from the queue, not yet handed out
    size_t m_takenNext = 0;
    std::unique_ptr<UdpLink> m_link;
};

std::string AddressText(uint32_t hostOrder);

// Ctrl-C: the first SIGINT ends every exchange and search at its next look
// (within a fraction of a second), nothing more is sent, and the command
// reports what it has; a second one ends the program at once.
void CatchInterrupt();
bool Interrupted();

} // namespace vornik::cli
