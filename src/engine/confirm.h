// A write is confirmed by reading its block back, acknowledged or not: the
// device need not acknowledge, and an acknowledgement says only that a frame
// arrived. A read-back that differs is written again while rounds remain.
// Each write here is one device's, driven round by round: the object gives
// the round's requests, whoever drives the exchange hands back their
// outcomes, and the object says whether another round goes out.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "engine/exchange.h"
#include "engine/results.h"
#include "proto/dev_params.h"
#include "proto/net_params.h"
#include "settings/fields.h"

namespace vornik::engine {

// What was written against what came back, every byte of each block given
// (bytes no field shows too, by the settings table's comparison).
struct Written {
    std::optional<NetworkParams> network;
    std::optional<DeviceParams> device;
};
std::vector<settings::Difference> ReadBackDifferences(const Written& written, const Written& readBack);

enum class Next {
    Settled,    // confirmed, or the result is final
    WriteAgain, // another round goes out
};

// The word for a write whose read-back never came.
Result Unconfirmed(bool acknowledged);

// A read of a block that was never answered: which block, and how it went.
struct Missing {
    settings::Block block = settings::Block::Network;
    int sent = 0;
    int refused = 0; // replies of the device that failed their check
};

// What a round's replies said: the blocks read, where the last came from,
// the frames sent once that were answered, the first read that never was.
struct RoundReplies {
    Written blocks;
    uint32_t address = 0; // host order
    // The network block came in a reply as long as the block's frame (with
    // or without its trailing sum), not in a longer one.
    bool networkWhole = true;
    size_t answered = 0;  // of the frames sent once (writes, the reset)
    size_t sentOnce = 0;
    std::optional<Missing> missing;
};
RoundReplies Gather(std::span<const Request> requests, std::span<const Outcome> outcomes);

// Gather one outcome at a time, in whatever order the requests end: the
// missing read is still the first in the round's order, the address the
// last read's. `k` is the request's place in its round.
class RoundFold {
public:
    void Add(size_t k, const Request& request, const Outcome& outcome);
    const RoundReplies& Replies() const { return m_got; }

private:
    RoundReplies m_got;
    size_t m_missingAt = 0, m_addressAt = 0;
    bool m_hasAddress = false;
};

// Reads of the blocks asked, awaited with the pacing's tries.
std::vector<Request> ReadRequests(const MacAddress& mac, bool network, bool device);

// A block about to be patched and written back must be the device's own. A
// network reply carries nothing to check it by, so any sender on the LAN can
// answer a read for the device, and patching what it sent would write it
// into the device. A block read is taken for a write only when another read
// of it, or what the history last recorded for the device, agrees byte for
// byte: every block of `read` present in `other` and equal to it.
bool ReadsAgree(const Written& read, const Written& other);

// One device's network block, device block or both: write, read back,
// compare, and write again while rounds remain.
class ConfirmedWrite {
public:
    ConfirmedWrite(const MacAddress& mac, Written want, int rounds);

    // The next round: each block's write, sent once (its acknowledgement is
    // noted, never waited for), then the read-back of each block.
    std::vector<Request> NextRound();
    // The outcomes of the round's requests, in the order it gave them.
    Next Take(std::span<const Outcome> outcomes);
    // The same one outcome at a time (`k`: its request's place in the round,
    // any order), then Settle once every request of the round has ended.
    void Hear(size_t k, const Outcome& outcome);
    Next Settle();

    const MacAddress& Mac() const { return m_mac; }
    const Written& Want() const { return m_want; }
    int Round() const { return m_round; }
    // Every write of the last round was acknowledged.
    bool Acknowledged() const { return m_acknowledged; }
    // The last round's read-back, when it came whole.
    const std::optional<Written>& ReadBack() const { return m_readBack; }
    uint32_t ReadBackAddress() const { return m_address; }
    const std::vector<settings::Difference>& Differences() const { return m_differences; }
    // The read-back that never came in the last round.
    const std::optional<Missing>& MissingRead() const { return m_missing; }
    // Once settled: confirmed, or why not.
    Result Word() const;

private:
    MacAddress m_mac;
    Written m_want;
    int m_rounds;
    int m_round = 0;
    std::vector<Request> m_requests; // of the round under way, without their frames
    RoundFold m_fold;
    bool m_acknowledged = false;
    std::optional<Written> m_readBack;
    uint32_t m_address = 0;
    std::vector<settings::Difference> m_differences;
    std::optional<Missing> m_missing;
};

// The factory reset, sent again with a read of both blocks after it until
// the blocks change or it is acknowledged: a device already at its factory
// values that sends no acknowledgement cannot be told from one that never
// heard the reset.
class FactoryReset {
public:
    FactoryReset(const MacAddress& mac, const NetworkParams& network, const DeviceParams& device, int rounds);

    std::vector<Request> NextRound();
    Next Take(std::span<const Outcome> outcomes);
    void Hear(size_t k, const Outcome& outcome);
    Next Settle();

    int Round() const { return m_round; }
    bool Acknowledged() const { return m_acknowledged; }
    // The blocks read after the reset differ from those before it.
    bool Changed() const { return m_changed; }
    const Written& Before() const { return m_before; }
    const std::optional<Written>& After() const { return m_after; }
    uint32_t AfterAddress() const { return m_address; }
    const std::optional<Missing>& MissingRead() const { return m_missing; }
    Result Word() const;

private:
    MacAddress m_mac;
    Written m_before;
    int m_rounds;
    int m_round = 0;
    std::vector<Request> m_requests; // without their frames
    RoundFold m_fold;
    bool m_acknowledged = false, m_changed = false;
    std::optional<Written> m_after;
    uint32_t m_address = 0;
    std::optional<Missing> m_missing;
};

// The MAC write, confirmed by a search that finds the new MAC; sent again
// each round, with a search after it, until one does.
class MacWrite {
public:
    MacWrite(const MacAddress& mac, const MacAddress& newMac, int rounds);

    // The write, sent once; its acknowledgement may carry either MAC.
    Request NextRound();
    // A reply heard during the round: an acknowledgement under either MAC counts.
    void Heard(const ClassifiedReply& reply);
    void Heard(const Outcome& outcome);
    // The round's search found the new MAC or not.
    Next Searched(bool found);

    int Round() const { return m_round; }
    bool Acknowledged() const { return m_acknowledged; }
    bool Found() const { return m_found; }
    Result Word() const;

private:
    MacAddress m_mac, m_newMac;
    int m_rounds;
    int m_round = 0;
    bool m_acknowledged = false, m_found = false;
};

} // namespace vornik::engine
