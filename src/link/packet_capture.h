// A record of what went over the wire: every datagram the link sent and
// received, kept in memory (the newest ones, up to a bound) and written as a
// standard pcap file that Wireshark and tshark open. The link knows addresses
// and ports but not the IP and UDP headers, so the file carries headers made
// up from them (raw IPv4, UDP checksum included).
//
//   PacketCapture capture;                 // the last 100,000 datagrams
//   capture.Attach(config);                // before the link is made from config
//   capture.StreamTo("run.pcap", &error);  // optional: every datagram as it passes
//   ...
//   capture.Save("saved.pcap", &error);    // what the ring holds now
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "link/udp_link.h"

namespace vornik {

inline constexpr size_t DEFAULT_CAPTURE_LIMIT = 100000;

// One datagram as the record keeps it. Addresses and ports in host order.
struct CapturedDatagram {
    std::chrono::system_clock::time_point time{};
    uint32_t sourceAddress = 0;
    uint16_t sourcePort = 0;
    uint32_t destinationAddress = 0;
    uint16_t destinationPort = 0;
    bool sent = false; // by this tool; otherwise received
    std::vector<uint8_t> bytes;
};

// The IPv4 packet (20-byte header, 8-byte UDP header, payload) that carried
// the datagram, with both checksums.
std::vector<uint8_t> Ipv4UdpPacket(const CapturedDatagram& datagram, uint16_t identification);

// Writes the datagrams, in order, as a pcap file of raw IPv4 packets.
// On failure gives false and, when asked, the reason.
bool WritePcapFile(const std::string& path, std::span<const CapturedDatagram> datagrams,
                   std::string* error = nullptr);

class PacketCapture {
public:
    explicit PacketCapture(size_t limit = DEFAULT_CAPTURE_LIMIT);
    ~PacketCapture(); // finishes a file opened by StreamTo

    PacketCapture(const PacketCapture&) = delete;
    PacketCapture& operator=(const PacketCapture&) = delete;

    // Sets the link's taps so that this record sees all its traffic. The
    // record must outlive the link.
    void Attach(LinkConfig& config);

    // Thread-safe; the oldest datagram goes when the bound is reached.
    void Record(CapturedDatagram datagram);
    void RecordSent(const SentDatagram& datagram);
    void RecordReceived(const Datagram& datagram);

    // From now on also writes every recorded datagram to a pcap file, flushed
    // as it goes, so the file is whole at any moment and survives a crash.
    // The file is in order of recording: a sent datagram can follow its own
    // loopback copy there by some microseconds, where the ring has it first.
    // False when the file cannot be made. Its header is written at once, so a
    // full disk shows in StreamError() before the first datagram.
    bool StreamTo(const std::string& path, std::string* error = nullptr);
    // Why the streamed file stopped being written (a full disk, a file size
    // limit), or "" while it is whole; after a failure nothing more is written.
    std::string StreamError() const;

    // What the record holds now, oldest first.
    std::vector<CapturedDatagram> Snapshot() const;
    size_t Size() const;
    // Writes Snapshot() as a pcap file.
    bool Save(const std::string& path, std::string* error = nullptr) const;

private:
    struct Stream;
    const size_t m_limit;
    mutable std::mutex m_mutex;
    std::deque<CapturedDatagram> m_ring; // guarded by m_mutex
    std::unique_ptr<Stream> m_stream;    // guarded by m_mutex
};

// The config with the record's taps set, when there is a record.
LinkConfig Recorded(LinkConfig config, PacketCapture* record);

} // namespace vornik
