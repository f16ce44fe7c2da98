#include "link/packet_capture.h"

#include "proto/byte_io.h"
#include "proto/file_name.h"

#ifdef _WIN32
#include <cstdio>
#else
#include <pcap/pcap.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace vornik {

namespace {

constexpr size_t kIpHeaderSize = 20;
constexpr size_t kUdpHeaderSize = 8;
constexpr uint8_t kIpVersionAndHeaderWords = 0x45; // IPv4, five 32-bit words
constexpr uint16_t kDontFragment = 0x4000;         // what Linux sets on UDP by default
constexpr uint8_t kTimeToLive = 64;
constexpr uint8_t kProtocolUdp = 17;
constexpr size_t kIpChecksumOffset = 10;
constexpr size_t kUdpChecksumOffset = kIpHeaderSize + 6;
// Larger than any IPv4 packet, so nothing is ever cut.
constexpr int kSnapLength = 65535;

// The Internet checksum's running sum: 16-bit words, high byte first.
uint32_t OnesSum(std::span<const uint8_t> bytes, uint32_t sum = 0)
{
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) sum += uint32_t(bytes[i]) << 8 | bytes[i + 1];
    if (bytes.size() % 2) sum += uint32_t(bytes.back()) << 8;
    return sum;
}

uint16_t Fold(uint32_t sum)
{
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return uint16_t(~sum);
}

#ifndef _WIN32

pcap_pkthdr Header(const CapturedDatagram& d, size_t length)
{
    const auto since = d.time.time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(since - seconds);
    pcap_pkthdr h{};
    h.ts.tv_sec = time_t(seconds.count());
    h.ts.tv_usec = suseconds_t(micros.count());
    h.caplen = bpf_u_int32(length);
    h.len = bpf_u_int32(length);
    return h;
}

// A pcap file being written: the "dead" handle that gives the file its link
// type, and the dumper.
struct PcapFile {
    pcap_t* handle = nullptr;
    pcap_dumper_t* dumper = nullptr;
    uint16_t nextId = 0;

    bool Open(const std::string& path, std::string* error)
    {
        handle = pcap_open_dead(DLT_RAW, kSnapLength);
        if (!handle) {
            if (error) *error = "pcap_open_dead failed";
            return false;
        }
        dumper = pcap_dump_open(handle, path.c_str());
        if (!dumper) {
            if (error) *error = pcap_geterr(handle);
            return false;
        }
        return true;
    }

    void Write(const CapturedDatagram& d)
    {
        const std::vector<uint8_t> packet = Ipv4UdpPacket(d, nextId++);
        const pcap_pkthdr h = Header(d, packet.size());
        pcap_dump(reinterpret_cast<u_char*>(dumper), &h, packet.data());
    }

    bool Close(std::string* error)
    {
        bool ok = true;
        if (dumper) {
            if (pcap_dump_flush(dumper) != 0) {
                ok = false;
                if (error) *error = "cannot write the file";
            }
            pcap_dump_close(dumper);
        }
        if (handle) pcap_close(handle);
        dumper = nullptr;
        handle = nullptr;
        return ok;
    }

    // A short write may only show as the stream's error flag, not in the flush.
    bool Flush() { return pcap_dump_flush(dumper) == 0 && !std::ferror(pcap_dump_file(dumper)); }

    ~PcapFile() { Close(nullptr); }
};

#else

// No libpcap for this build: the file format written directly. It is small:
// a 24-byte file header, then a 16-byte header before each packet, all in the
// writer's byte order (the magic number tells readers which), as libpcap
// writes it.
constexpr uint32_t kPcapMagic = 0xA1B2C3D4; // microsecond time stamps
constexpr uint32_t kLinkTypeRaw = 101;      // LINKTYPE_RAW: packets begin with the IP header

struct PcapFile {
    std::FILE* file = nullptr;
    uint16_t nextId = 0;
    bool failed = false;

    template <typename T>
    void Put(T value)
    {
        if (file && std::fwrite(&value, sizeof value, 1, file) != 1) failed = true;
    }

    bool Open(const std::string& path, std::string* error)
    {
        file = OpenFile(path, "wb");
        if (!file) {
            if (error) *error = "cannot open the file for writing";
            return false;
        }
        Put(kPcapMagic);
        Put(uint16_t(2)); // version 2.4
        Put(uint16_t(4));
        Put(int32_t(0));  // time zone: UTC
        Put(uint32_t(0)); // time stamp accuracy
        Put(uint32_t(kSnapLength));
        Put(kLinkTypeRaw);
        return !failed;
    }

    void Write(const CapturedDatagram& d)
    {
        const std::vector<uint8_t> packet = Ipv4UdpPacket(d, nextId++);
        const auto since = d.time.time_since_epoch();
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
        const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(since - seconds);
        Put(uint32_t(seconds.count()));
        Put(uint32_t(micros.count()));
        Put(uint32_t(packet.size())); // captured
        Put(uint32_t(packet.size())); // on the wire
        if (file && std::fwrite(packet.data(), 1, packet.size(), file) != packet.size()) failed = true;
    }

    bool Flush() { return file && std::fflush(file) == 0 && !failed; }

    bool Close(std::string* error)
    {
        bool ok = true;
        if (file) {
            ok = Flush();
            if (std::fclose(file) != 0) ok = false;
            if (!ok && error) *error = "cannot write the file";
        }
        file = nullptr;
        return ok;
    }

    ~PcapFile() { Close(nullptr); }
};

#endif

} // namespace

std::vector<uint8_t> Ipv4UdpPacket(const CapturedDatagram& d, uint16_t identification)
{
    const size_t udpLength = kUdpHeaderSize + d.bytes.size();
    const size_t total = kIpHeaderSize + udpLength;
    std::vector<uint8_t> p(total, 0);
    // Network byte order throughout, as IP and UDP headers are.
    ByteWriter w(p);
    w.At(0).U8(kIpVersionAndHeaderWords);
    w.At(2).U16BE(uint16_t(total)).U16BE(identification).U16BE(kDontFragment).U8(kTimeToLive).U8(kProtocolUdp);
    w.At(12).U32BE(d.sourceAddress).U32BE(d.destinationAddress);
    w.At(kIpChecksumOffset).U16BE(Fold(OnesSum(std::span(p).first(kIpHeaderSize))));

    w.At(kIpHeaderSize).U16BE(d.sourcePort).U16BE(d.destinationPort).U16BE(uint16_t(udpLength));
    w.At(kIpHeaderSize + kUdpHeaderSize).Bytes(d.bytes);
    // The UDP checksum also covers a pseudo-header: both addresses, the
    // protocol and the UDP length.
    uint32_t sum = OnesSum(std::span(p).subspan(12, 8));
    sum += kProtocolUdp + uint32_t(udpLength);
    uint16_t udpSum = Fold(OnesSum(std::span(p).subspan(kIpHeaderSize), sum));
    if (udpSum == 0) udpSum = 0xFFFF; // zero would mean "no checksum"
    w.At(kUdpChecksumOffset).U16BE(udpSum);
    return p;
}

bool WritePcapFile(const std::string& path, std::span<const CapturedDatagram> datagrams, std::string* error)
{
    PcapFile file;
    if (!file.Open(path, error)) return false;
    for (const CapturedDatagram& d : datagrams) file.Write(d);
    return file.Close(error);
}

struct PacketCapture::Stream {
    PcapFile file;
    std::string error; // the first write that failed

    // Flushes what was written; a failure is kept and ends the stream.
    void Flush()
    {
        errno = 0;
        if (!file.Flush())
            error = errno ? std::strerror(errno) : "cannot write the file";
    }
};

PacketCapture::PacketCapture(size_t limit) : m_limit(std::max<size_t>(1, limit)) {}

PacketCapture::~PacketCapture()
{
    std::lock_guard lock(m_mutex);
    m_stream.reset();
}

void PacketCapture::Attach(LinkConfig& config)
{
    config.sentTap = [this](const SentDatagram& d) { RecordSent(d); };
    config.receivedTap = [this](const Datagram& d) { RecordReceived(d); };
}

void PacketCapture::Record(CapturedDatagram datagram)
{
    std::lock_guard lock(m_mutex);
    if (m_stream && m_stream->error.empty()) {
        m_stream->file.Write(datagram);
        m_stream->Flush();
    }
    if (m_ring.size() >= m_limit) m_ring.pop_front();
    // A sent datagram is recorded once the system took it, which can be after
    // its own copy was received on loopback; the ring stays in time order.
    auto at = m_ring.end();
    while (at != m_ring.begin() && std::prev(at)->time > datagram.time) --at;
    m_ring.insert(at, std::move(datagram));
}

void PacketCapture::RecordSent(const SentDatagram& d)
{
    CapturedDatagram c;
    c.time = d.sent;
    c.sourceAddress = d.localAddress;
    c.sourcePort = d.localPort;
    c.destinationAddress = d.targetAddress;
    c.destinationPort = d.targetPort;
    c.sent = true;
    c.bytes.assign(d.bytes, d.bytes + d.size);
    Record(std::move(c));
}

void PacketCapture::RecordReceived(const Datagram& d)
{
    CapturedDatagram c;
    c.time = d.received;
    c.sourceAddress = d.sourceAddress;
    c.sourcePort = d.sourcePort;
    // Where the link could not tell the destination, the adapter that heard it stands in.
    c.destinationAddress = d.destinationAddress ? d.destinationAddress : d.localAddress;
    c.destinationPort = d.localPort;
    c.bytes = d.bytes;
    Record(std::move(c));
}

bool PacketCapture::StreamTo(const std::string& path, std::string* error)
{
    auto stream = std::make_unique<Stream>();
    if (!stream->file.Open(path, error)) return false;
    // The file header at once: a run that ends without a datagram still leaves a valid file.
    stream->Flush();
    std::lock_guard lock(m_mutex);
    m_stream = std::move(stream);
    return true;
}

std::string PacketCapture::StreamError() const
{
    std::lock_guard lock(m_mutex);
    return m_stream ? m_stream->error : std::string();
}

std::vector<CapturedDatagram> PacketCapture::Snapshot() const
{
    std::lock_guard lock(m_mutex);
    return {m_ring.begin(), m_ring.end()};
}

size_t PacketCapture::Size() const
{
    std::lock_guard lock(m_mutex);
    return m_ring.size();
}

bool PacketCapture::Save(const std::string& path, std::string* error) const
{
    const std::vector<CapturedDatagram> datagrams = Snapshot();
    return WritePcapFile(path, datagrams, error);
}

LinkConfig Recorded(LinkConfig config, PacketCapture* record)
{
    if (record) record->Attach(config);
    return config;
}

} // namespace vornik
