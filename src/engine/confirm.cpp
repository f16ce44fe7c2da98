#include "engine/confirm.h"

#include <algorithm>

namespace vornik::engine {

std::vector<settings::Difference> ReadBackDifferences(const Written& written, const Written& readBack)
{
    std::vector<settings::Difference> out;
    const auto add = [&out](std::vector<settings::Difference> d) {
        for (auto& one : d) out.push_back(std::move(one));
    };
    // A block written but missing from the read-back is not read back at all;
    // the caller says so before it asks for the differences.
    if (written.network && readBack.network) add(settings::Compare(*written.network, *readBack.network));
    if (written.device && readBack.device) add(settings::Compare(*written.device, *readBack.device));
    return out;
}

Result Unconfirmed(bool acknowledged) { return acknowledged ? Result::Written : Result::NotConfirmed; }

void RoundFold::Add(size_t k, const Request& r, const Outcome& o)
{
    RoundReplies& got = m_got;
    if (!r.awaited) {
        ++got.sentOnce;
        if (o.reply) ++got.answered;
        return;
    }
    const bool network = r.expect == ReplyKind::NetworkRead;
    if (!o.reply || !o.answer) {
        if (!got.missing || k < m_missingAt) {
            got.missing = Missing{network ? settings::Block::Network : settings::Block::Device, o.sent, o.refused};
            m_missingAt = k;
        }
        return;
    }
    if (network && o.answer->network) {
        got.blocks.network = DecodeNetworkParams(*o.answer->network);
        const size_t size = o.reply->bytes.size();
        got.networkWhole = got.networkWhole && (size == NETWORK_REPLY_SIZE || size == NETWORK_REPLY_SIZE + 1);
    }
    else if (!network && o.answer->device)
        got.blocks.device = *o.answer->device;
    if (!m_hasAddress || k >= m_addressAt) {
        got.address = o.reply->sourceAddress;
        m_addressAt = k;
        m_hasAddress = true;
    }
}

RoundReplies Gather(std::span<const Request> requests, std::span<const Outcome> outcomes)
{
    RoundFold fold;
    for (size_t k = 0; k < requests.size() && k < outcomes.size(); ++k) fold.Add(k, requests[k], outcomes[k]);
    return fold.Replies();
}

namespace {

// The round's requests go out; the object keeps what tells their replies
// apart, not the frames, which for a batch of devices would be held twice.
std::vector<Request> Handed(std::vector<Request>& kept)
{
    std::vector<Request> out = kept;
    for (Request& r : kept) Frame().swap(r.frame);
    return out;
}

} // namespace

std::vector<Request> ReadRequests(const MacAddress& mac, bool network, bool device)
{
    std::vector<Request> reads;
    if (network) reads.push_back(Awaited(BuildNetworkReadRequest(mac), ReplyKind::NetworkRead, mac));
    if (device) reads.push_back(Awaited(BuildDeviceReadRequest(mac), ReplyKind::DeviceRead, mac));
    return reads;
}

bool ReadsAgree(const Written& read, const Written& other)
{
    if (read.network && (!other.network || EncodeNetworkParams(*read.network) != EncodeNetworkParams(*other.network)))
        return false;
    if (read.device && (!other.device || EncodeDeviceBlock(*read.device) != EncodeDeviceBlock(*other.device)))
        return false;
    return read.network || read.device;
}

// ---- ConfirmedWrite ----

ConfirmedWrite::ConfirmedWrite(const MacAddress& mac, Written want, int rounds)
    : m_mac(mac), m_want(std::move(want)), m_rounds(std::max(1, rounds))
{
}

std::vector<Request> ConfirmedWrite::NextRound()
{
    ++m_round;
    m_requests.clear();
    // The read-back, not the acknowledgement, decides; each write goes out
    // just before it.
    if (m_want.network)
        m_requests.push_back(SentOnce(BuildNetworkWriteRequest(m_mac, EncodeNetworkParams(*m_want.network)),
                                      ReplyKind::NetworkWriteAck, m_mac));
    if (m_want.device)
        m_requests.push_back(SentOnce(BuildDeviceWriteRequest(m_mac, *m_want.device), ReplyKind::DeviceWriteAck, m_mac));
    for (Request& r : ReadRequests(m_mac, m_want.network.has_value(), m_want.device.has_value()))
        m_requests.push_back(std::move(r));
    m_fold = {};
    return Handed(m_requests);
}

Next ConfirmedWrite::Take(std::span<const Outcome> outcomes)
{
    m_fold = {};
    for (size_t k = 0; k < m_requests.size() && k < outcomes.size(); ++k) Hear(k, outcomes[k]);
    return Settle();
}

void ConfirmedWrite::Hear(size_t k, const Outcome& outcome)
{
    if (k < m_requests.size()) m_fold.Add(k, m_requests[k], outcome);
}

Next ConfirmedWrite::Settle()
{
    const RoundReplies& got = m_fold.Replies();
    m_acknowledged = got.sentOnce > 0 && got.answered == got.sentOnce;
    m_missing = got.missing;
    // A read-back that did not come whole leaves the last one that did.
    if (m_missing) return Next::Settled;
    m_readBack = got.blocks;
    m_address = got.address;
    m_differences = ReadBackDifferences(m_want, got.blocks);
    return !m_differences.empty() && m_round < m_rounds ? Next::WriteAgain : Next::Settled;
}

Result ConfirmedWrite::Word() const
{
    if (m_round == 0) return Result::NotWritten;
    if (m_missing) return Unconfirmed(m_acknowledged);
    return m_differences.empty() ? Result::Confirmed : Result::NotConfirmed;
}

// ---- FactoryReset ----

FactoryReset::FactoryReset(const MacAddress& mac, const NetworkParams& network, const DeviceParams& device, int rounds)
    : m_mac(mac), m_before{network, device}, m_rounds(std::max(1, rounds))
{
}

std::vector<Request> FactoryReset::NextRound()
{
    ++m_round;
    m_requests = {SentOnce(BuildFactoryDefaultsRequest(m_mac), ReplyKind::DefaultsAck, m_mac)};
    for (Request& r : ReadRequests(m_mac, true, true)) m_requests.push_back(std::move(r));
    m_fold = {};
    return Handed(m_requests);
}

Next FactoryReset::Take(std::span<const Outcome> outcomes)
{
    m_fold = {};
    for (size_t k = 0; k < m_requests.size() && k < outcomes.size(); ++k) Hear(k, outcomes[k]);
    return Settle();
}

void FactoryReset::Hear(size_t k, const Outcome& outcome)
{
    if (k < m_requests.size()) m_fold.Add(k, m_requests[k], outcome);
}

Next FactoryReset::Settle()
{
    const RoundReplies& got = m_fold.Replies();
    m_acknowledged = m_acknowledged || got.answered > 0;
    m_missing = got.missing;
    if (m_missing) return Next::Settled;
    m_after = got.blocks;
    m_address = got.address;
    m_changed = *got.blocks.network != *m_before.network || *got.blocks.device != *m_before.device;
    return !m_changed && !m_acknowledged && m_round < m_rounds ? Next::WriteAgain : Next::Settled;
}

Result FactoryReset::Word() const
{
    if (m_round == 0) return Result::NotWritten;
    if (m_missing) return Unconfirmed(m_acknowledged);
    return m_changed ? Result::Confirmed : m_acknowledged ? Result::Acknowledged : Result::NotConfirmed;
}

// ---- MacWrite ----

MacWrite::MacWrite(const MacAddress& mac, const MacAddress& newMac, int rounds)
    : m_mac(mac), m_newMac(newMac), m_rounds(std::max(1, rounds))
{
}

Request MacWrite::NextRound()
{
    ++m_round;
    Request write = SentOnce(BuildWriteMacRequest(m_mac, m_newMac), ReplyKind::MacWriteAck, m_newMac);
    write.alternativeMac = m_mac;
    return write;
}

void MacWrite::Heard(const Outcome& outcome)
{
    if (outcome.reply) m_acknowledged = true;
}

void MacWrite::Heard(const ClassifiedReply& reply)
{
    if (reply.kind == ReplyKind::MacWriteAck && reply.mac && (*reply.mac == m_newMac || *reply.mac == m_mac))
        m_acknowledged = true;
}

Next MacWrite::Searched(bool found)
{
    m_found = found;
    return !found && m_round < m_rounds ? Next::WriteAgain : Next::Settled;
}

Result MacWrite::Word() const
{
    if (m_round == 0) return Result::NotWritten;
    return m_found ? Result::Confirmed : Unconfirmed(m_acknowledged);
}

} // namespace vornik::engine
