// vornik_sim: a fleet of simulated measuring devices on one UDP port, for the
// tests, the benchmarks and the demo. See --help.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <getopt.h>
#include <unistd.h>
#ifndef _WIN32
#include <poll.h>
#endif

#include "link/socket_api.h"
#include "sim_fleet.h"
#include "version.h"

using namespace vornik;
using namespace vornik::sim;
using Clock = std::chrono::steady_clock;

namespace {

constexpr char kUsage[] = R"( [options]

Simulates a fleet of Vornik multi-probe temperature/humidity devices on one
UDP port. Every device answers a search (AA 00 01 02 02); a request that names
a MAC address in bytes 4-9 is answered only by the device(s) with that address.

  0x02 search            every device replies: its address, MAC, firmware
  0x03 read network      the 292-byte network parameter block
  0x04 write network     stores the block, acknowledges (55 00 07 04 MAC sum)
  0x06 factory defaults  restores both blocks (the MAC stays), acknowledges
  0x0F write MAC         takes the new MAC, acknowledges from it
  0x0A function 0x10     the device parameter block in a 96-byte inner frame
  0x0A function 0x11     checks the CRC, stores the block, replies 7E 11 E0 1C
Malformed requests (length field, checksum, CRC, size) are ignored.

Network:
  --port P           UDP port to listen on and reply to (default 1901)
  --bind A           local address to listen on (default 0.0.0.0)
  --reply-to A       broadcast address replies go to (default 255.255.255.255)
  --unicast          reply to the requester's address and port instead
  --reply-from P     send replies from UDP port P, not from --port (as a
                     device behind a translating router may), so that a
                     record can tell a reply's source port from the tool's

  The defaults are the real protocol's. Outside a private network namespace
  use loopback, e.g. --port 40001 --reply-to 127.255.255.255.

Devices:
  --devices N        number of devices, 1 to 1000000 (default 1)
  --base-ip A        address of the first device; device i has A + i
                     (default 192.168.0.100)
  --base-mac M       MAC of the first device, as 02-00-00-00-00-01,
                     02:00:00:00:00:01 or 020000000001; device i has M + i
                     (default 02-00-00-00-00-01)
  --firmware V       firmware version reported by the search, 0-65535 (default 100)
  --answer-ip A      answer searches with address A (device i with A + i),
                     whatever its block holds, as a device on a DHCP lease does
  --reply-0b         answer device-parameter requests with command 0x0B, not 0x0A
  --no-ack           send no acknowledgement to a network write, a MAC write or
                     the factory reset (the protocol promises none)
  --store-nothing    acknowledge every write but keep the blocks and the MAC
  --varied           give each device factory settings of its own (firmware,
                     address mode, servers, intervals, probe kind, baud rate,
                     parity, limits), the same on every run

Faults (each a share from 0 to 1 of the replies, chosen at random):
  --drop S           do not send the reply
  --duplicate S      send the reply twice
  --delay S          send the reply late, after --delay-ms (default 100)
  --truncate S       send only the first half of the reply
  --corrupt-crc S    spoil the inner CRC of device-parameter replies
  --seed N           seed of the fault choices (default 1)

Output:
  --log              print every request received, as hex, to stdout
  --ready-fd FD      write "ready" to descriptor FD once listening, then close it
  --stats FILE       keep FILE holding "writes N": the writes received for the
                     fleet's devices so far (network, device block, MAC, factory
                     reset; stored or not). Written once listening, then again
                     after each write, replaced whole, so a reader never sees
                     half a file
  --version          print the version and the commit it was built from
  --help             this text

Factory values: static address, mask 255.255.255.0, gateway x.y.z.1, up to 8
connections, servers 1-8 with ports 2000-2007 and target 192.168.0.166; device
parameters: 8 servers, terminal address 12345678, intervals 3/60/5 s, work
mode 0, 4800 baud 8N1, 1 Modbus terminal, channels 1-8, limits 99.9 and 0.0.

Stops cleanly on SIGINT or SIGTERM, with exit status 0.
)";

volatile sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

struct Options {
    uint16_t port = LINK_PORT;
    in_addr bind{htonl(INADDR_ANY)};
    in_addr replyTo{htonl(INADDR_BROADCAST)};
    bool unicast = false;
    uint16_t replyFrom = 0; // 0: from --port
    FleetOptions fleet;
    double drop = 0, duplicate = 0, delay = 0, truncate = 0, corruptCrc = 0;
    int delayMs = 100;
    uint32_t seed = 1;
    bool log = false;
    int readyFd = -1;
    std::string stats;
};

[[noreturn]] void Fail(const std::string& message)
{
    std::fprintf(stderr, "vornik_sim: %s (see --help)\n", message.c_str());
    std::exit(2);
}

long long Number(const char* text, long long lo, long long hi, const char* what)
{
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text, &end, 10);
    if (errno || end == text || *end || v < lo || v > hi)
        Fail(std::string("bad ") + what + " '" + text + "'");
    return v;
}

double Share(const char* text, const char* what)
{
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (end == text || *end || !(v >= 0 && v <= 1)) Fail(std::string("bad share for ") + what + " '" + text + "'");
    return v;
}

in_addr Address(const char* text, const char* what)
{
    uint32_t address = 0;
    if (!ParseIPv4(text, address)) Fail(std::string("bad address for ") + what + " '" + text + "'");
    in_addr a{};
    a.s_addr = htonl(address);
    return a;
}

uint64_t Mac(const char* text)
{
    std::string digits;
    for (const char* p = text; *p; ++p) {
        if (*p == '-' || *p == ':') continue;
        if (!std::isxdigit(static_cast<unsigned char>(*p))) Fail(std::string("bad MAC '") + text + "'");
        digits += *p;
    }
    if (digits.size() != 12) Fail(std::string("bad MAC '") + text + "'");
    return std::strtoull(digits.c_str(), nullptr, 16);
}

Options Parse(int argc, char** argv)
{
    enum { PORT = 1000, BIND, REPLY_TO, UNICAST, REPLY_FROM, DEVICES, BASE_IP, BASE_MAC, FIRMWARE, REPLY_0B, DROP,
           DUPLICATE, DELAY, DELAY_MS, TRUNCATE, CORRUPT_CRC, SEED, LOG, READY_FD, HELP, VARIED, VERSION, NO_ACK, STORE_NOTHING,
           STATS, ANSWER_IP };
    static const option longOptions[] = {
        {"port", required_argument, nullptr, PORT},
        {"bind", required_argument, nullptr, BIND},
        {"reply-to", required_argument, nullptr, REPLY_TO},
        {"unicast", no_argument, nullptr, UNICAST},
        {"reply-from", required_argument, nullptr, REPLY_FROM},
        {"devices", required_argument, nullptr, DEVICES},
        {"base-ip", required_argument, nullptr, BASE_IP},
        {"base-mac", required_argument, nullptr, BASE_MAC},
        {"firmware", required_argument, nullptr, FIRMWARE},
        {"reply-0b", no_argument, nullptr, REPLY_0B},
        {"drop", required_argument, nullptr, DROP},
        {"duplicate", required_argument, nullptr, DUPLICATE},
        {"delay", required_argument, nullptr, DELAY},
        {"delay-ms", required_argument, nullptr, DELAY_MS},
        {"truncate", required_argument, nullptr, TRUNCATE},
        {"corrupt-crc", required_argument, nullptr, CORRUPT_CRC},
        {"seed", required_argument, nullptr, SEED},
        {"log", no_argument, nullptr, LOG},
        {"ready-fd", required_argument, nullptr, READY_FD},
        {"help", no_argument, nullptr, HELP},
        {"varied", no_argument, nullptr, VARIED},
        {"version", no_argument, nullptr, VERSION},
        {"no-ack", no_argument, nullptr, NO_ACK},
        {"store-nothing", no_argument, nullptr, STORE_NOTHING},
        {"stats", required_argument, nullptr, STATS},
        {"answer-ip", required_argument, nullptr, ANSWER_IP},
        {nullptr, 0, nullptr, 0},
    };
    Options o;
    int c;
    while ((c = getopt_long(argc, argv, "", longOptions, nullptr)) != -1) {
        switch (c) {
        case PORT: o.port = uint16_t(Number(optarg, 1, 65535, "port")); break;
        case BIND: o.bind = Address(optarg, "--bind"); break;
        case REPLY_TO: o.replyTo = Address(optarg, "--reply-to"); break;
        case UNICAST: o.unicast = true; break;
        case REPLY_FROM: o.replyFrom = uint16_t(Number(optarg, 1, 65535, "port")); break;
        case DEVICES: o.fleet.count = uint32_t(Number(optarg, 1, 1000000, "device count")); break;
        case BASE_IP: o.fleet.baseIp = ntohl(Address(optarg, "--base-ip").s_addr); break;
        case BASE_MAC: o.fleet.baseMac = Mac(optarg); break;
        case ANSWER_IP: o.fleet.answerIp = ntohl(Address(optarg, "--answer-ip").s_addr); break;
        case FIRMWARE: o.fleet.firmware = uint16_t(Number(optarg, 0, 65535, "firmware version")); break;
        case REPLY_0B: o.fleet.deviceReplyCommand = CMD_DEVICE_PARAMS_REPLY; break;
        case DROP: o.drop = Share(optarg, "--drop"); break;
        case DUPLICATE: o.duplicate = Share(optarg, "--duplicate"); break;
        case DELAY: o.delay = Share(optarg, "--delay"); break;
        case DELAY_MS: o.delayMs = int(Number(optarg, 0, 600000, "delay")); break;
        case TRUNCATE: o.truncate = Share(optarg, "--truncate"); break;
        case CORRUPT_CRC: o.corruptCrc = Share(optarg, "--corrupt-crc"); break;
        case SEED: o.seed = uint32_t(Number(optarg, 0, 0xFFFFFFFFLL, "seed")); break;
        case LOG: o.log = true; break;
        case READY_FD: o.readyFd = int(Number(optarg, 0, 1 << 20, "descriptor")); break;
        case HELP: {
            // Installed, the program is vornik-sim; in the build tree, vornik_sim.
            const char* slash = std::strrchr(argv[0], '/');
            std::printf("Usage: %s", slash ? slash + 1 : argv[0]);
            std::fputs(kUsage, stdout);
            std::exit(0);
        }
        case VARIED: o.fleet.varied = true; break;
        case NO_ACK: o.fleet.acknowledge = false; break;
        case STORE_NOTHING: o.fleet.storeNothing = true; break;
        case STATS:
            if (!*optarg) Fail("--stats needs a file name");
            o.stats = optarg;
            break;
        case VERSION: std::printf("vornik-sim %s (%s)\n", VORNIK_VERSION, VORNIK_COMMIT); std::exit(0);
        default: Fail("unknown option");
        }
    }
    if (optind < argc) Fail(std::string("unexpected argument '") + argv[optind] + "'");
    return o;
}

std::string Hex(std::span<const uint8_t> bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(bytes.size() * 3);
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i) s += ' ';
        s += digits[bytes[i] >> 4];
        s += digits[bytes[i] & 15];
    }
    return s;
}

std::string Endpoint(const sockaddr_in& a)
{
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(a.sin_port));
}

struct Delayed {
    Clock::time_point due;
    Frame frame;
    sockaddr_in to;
};

class Sender {
public:
    Sender(SocketHandle fd, const Options& o) : m_fd(fd), m_options(o), m_random(o.seed) {}

    // Sends one reply through the fault options.
    void Send(Frame frame, const sockaddr_in& to)
    {
        const uint8_t command = frame[FRAME_COMMAND_OFFSET];
        const bool carriesDeviceFrame = (command == CMD_DEVICE_PARAMS || command == CMD_DEVICE_PARAMS_REPLY) &&
                                        frame.size() > FRAME_PAYLOAD_OFFSET + DEVICE_CRC_SIZE;
        if (carriesDeviceFrame && Hit(m_options.corruptCrc)) {
            frame[frame.size() - 2] ^= 0xFF; // the CRC's high byte, just before the outer checksum
            frame.back() = FrameSum8(std::span<const uint8_t>(frame).subspan(3, frame.size() - 4));
        }
        if (Hit(m_options.drop)) return;
        if (Hit(m_options.truncate)) frame.resize(std::max<size_t>(1, frame.size() / 2));
        const int copies = Hit(m_options.duplicate) ? 2 : 1;
        for (int i = 0; i < copies; ++i) {
            if (Hit(m_options.delay))
                m_late.push_back({Clock::now() + std::chrono::milliseconds(m_options.delayMs), frame, to});
            else
                Transmit(frame, to);
        }
    }

    // Sends what has fallen due; gives the wait until the next one in
    // milliseconds, or -1 when nothing is waiting.
    int SendDue()
    {
        const auto now = Clock::now();
        // Late replies share one delay, so they fall due in the order they were made.
        while (!m_late.empty() && m_late.front().due <= now) {
            Transmit(m_late.front().frame, m_late.front().to);
            m_late.pop_front();
        }
        if (m_late.empty()) return -1;
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(m_late.front().due - now);
        return int(std::max<long long>(0, wait.count()));
    }

private:
    bool Hit(double share) { return share > 0 && m_unit(m_random) < share; }

    void Transmit(const Frame& frame, const sockaddr_in& to)
    {
        // A full interface queue drains within milliseconds; past a second the
        // reply is given up, so that a stop request is never held back.
        for (int retries = 0;; ++retries) {
            if (SystemSendto(m_fd, frame.data(), frame.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) >= 0)
                return;
            const int error = LastSocketError();
            if (SendWasInterrupted(error) && !g_stop) continue;
            if (SendQueueFull(error) && retries < 5000 && !g_stop) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
                continue;
            }
            std::fprintf(stderr, "vornik_sim: send to %s: %s\n", Endpoint(to).c_str(), SocketErrorText(error).c_str());
            return;
        }
    }

    SocketHandle m_fd;
    const Options& m_options;
    std::mt19937 m_random;
    std::uniform_real_distribution<double> m_unit{0.0, 1.0};
    std::deque<Delayed> m_late;
};

// A reader polls the file while the fleet runs; the rename makes each
// version appear whole.
void WriteStats(const std::string& file, uint64_t writes)
{
    const std::string partial = file + ".partial";
    FILE* f = std::fopen(partial.c_str(), "w");
    const bool written = f && std::fprintf(f, "writes %llu\n", static_cast<unsigned long long>(writes)) > 0;
#ifdef _WIN32
    // Windows' rename does not replace a file that exists.
    std::remove(file.c_str());
#endif
    if (f && std::fclose(f) == 0 && written && std::rename(partial.c_str(), file.c_str()) == 0) return;
    std::fprintf(stderr, "vornik_sim: cannot write %s: %s\n", file.c_str(), std::strerror(errno));
}

SocketHandle OpenSocket(const Options& o, uint16_t port)
{
    const SocketHandle fd = SystemSocket(AF_INET, SOCKET_TYPE_UDP, IPPROTO_UDP);
    if (fd == INVALID_SOCKET_HANDLE) return fd;
    const int one = 1;
    // Big buffers: a thousand devices answer one search at once, and on a
    // broadcast network this socket also hears every one of those replies.
    const int big = 8 * 1024 * 1024;
    SystemSetsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    SystemSetsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (SOCKET_OPTION_RCVBUF_FORCE < 0 ||
        SystemSetsockopt(fd, SOL_SOCKET, SOCKET_OPTION_RCVBUF_FORCE, &big, sizeof big) != 0)
        SystemSetsockopt(fd, SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
    if (SOCKET_OPTION_SNDBUF_FORCE < 0 ||
        SystemSetsockopt(fd, SOL_SOCKET, SOCKET_OPTION_SNDBUF_FORCE, &big, sizeof big) != 0)
        SystemSetsockopt(fd, SOL_SOCKET, SO_SNDBUF, &big, sizeof big);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr = o.bind;
    if (SystemBind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        const int e = LastSocketError();
        CloseSocket(fd);
        SetLastSocketError(e);
        return INVALID_SOCKET_HANDLE;
    }
    PrepareForReceive(fd);
    return fd;
}

std::string DottedQuad(in_addr a)
{
    sockaddr_in s{};
    s.sin_addr = a;
    const std::string e = Endpoint(s);
    return e.substr(0, e.rfind(':'));
}

} // namespace

int main(int argc, char** argv)
{
    const Options o = Parse(argc, argv);
#ifdef _WIN32
    // Windows' C library buffers a line-buffered stream fully.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
#else
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    // Signals stay blocked except while waiting, so a stop request cannot slip
    // in between the check of the flag and the wait.
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigset_t blocked, waiting;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    sigprocmask(SIG_BLOCK, &blocked, &waiting);
    sigdelset(&waiting, SIGINT);
    sigdelset(&waiting, SIGTERM);
#endif

    const SocketHandle fd = OpenSocket(o, o.port);
    if (fd == INVALID_SOCKET_HANDLE) {
        std::fprintf(stderr, "vornik_sim: cannot listen on %s:%u: %s\n", DottedQuad(o.bind).c_str(), o.port,
                     SocketErrorText(LastSocketError()).c_str());
        return 1;
    }
    const SocketHandle replyFd = o.replyFrom ? OpenSocket(o, o.replyFrom) : fd;
    if (replyFd == INVALID_SOCKET_HANDLE) {
        std::fprintf(stderr, "vornik_sim: cannot send from %s:%u: %s\n", DottedQuad(o.bind).c_str(), o.replyFrom,
                     SocketErrorText(LastSocketError()).c_str());
        return 1;
    }
    Fleet fleet(o.fleet);
    Sender sender(replyFd, o);

    sockaddr_in broadcast{};
    broadcast.sin_family = AF_INET;
    broadcast.sin_port = htons(o.port);
    broadcast.sin_addr = o.replyTo;
    std::fprintf(stderr, "vornik_sim: %u device(s) on %s:%u, replies %s %s\n", o.fleet.count, DottedQuad(o.bind).c_str(),
                 o.port, o.unicast ? "by unicast to the requester" : "by broadcast to",
                 o.unicast ? "" : Endpoint(broadcast).c_str());
    if (!o.stats.empty()) WriteStats(o.stats, 0);
    if (o.readyFd >= 0) {
        [[maybe_unused]] ssize_t r = ::write(o.readyFd, "ready\n", 6);
        ::close(o.readyFd);
    }

    std::vector<uint8_t> buffer(65536);
    std::string why;
    uint64_t statsWritten = 0;
    while (!g_stop) {
        const int wait = sender.SendDue();
#ifdef _WIN32
        // No signal mask to wait with: a stop request is seen within 100 ms.
        std::vector<uint8_t> readable, broken;
        const int ready = WaitReadable({fd}, readable, broken, wait < 0 || wait > 100 ? 100 : wait);
        if (ready < 0) {
            std::fprintf(stderr, "vornik_sim: wait: %s\n", SocketErrorText(LastSocketError()).c_str());
            break;
        }
#else
        pollfd p{fd, POLLIN, 0};
        timespec timeout{wait / 1000, (wait % 1000) * 1000000L};
        const int ready = ::ppoll(&p, 1, wait < 0 ? nullptr : &timeout, &waiting);
        if (ready < 0) {
            if (errno == EINTR) continue;
            std::perror("vornik_sim: poll");
            break;
        }
#endif
        if (ready == 0) continue;
        // Take everything that is waiting before going back to the timers.
        for (;;) {
            ReceivedFrom received;
            const ReceiveResult result = ReceiveDatagram(fd, buffer.data(), buffer.size(), received);
            if (result == ReceiveResult::Dropped || result == ReceiveResult::Interrupted) continue;
            if (result != ReceiveResult::Datagram) break;
            sockaddr_in from{};
            from.sin_family = AF_INET;
            from.sin_addr.s_addr = htonl(received.sourceAddress);
            from.sin_port = htons(received.sourcePort);
            const size_t n = received.size;
            const std::span<const uint8_t> datagram(buffer.data(), n);
            const bool request = n > 0 && buffer[0] == FRAME_REQUEST;
            if (o.log && request)
                std::printf("request from %s (%zu bytes): %s\n", Endpoint(from).c_str(), n, Hex(datagram).c_str());
            const std::vector<Reply> replies = fleet.Handle(datagram, &why);
            if (!why.empty()) std::fprintf(stderr, "vornik_sim: ignored a request from %s: %s\n",
                                           Endpoint(from).c_str(), why.c_str());
            if (o.log && request) std::printf("answered by %zu device(s)\n", replies.size());
            for (const Reply& r : replies) sender.Send(r.frame, o.unicast ? from : broadcast);
            if (!o.stats.empty() && fleet.Writes() != statsWritten) {
                statsWritten = fleet.Writes();
                WriteStats(o.stats, statsWritten);
            }
        }
    }
    if (replyFd != fd) CloseSocket(replyFd);
    CloseSocket(fd);
    std::fprintf(stderr, "vornik_sim: stopped\n");
    return 0;
}
