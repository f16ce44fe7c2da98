#include "cli/context.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <unordered_set>

#ifndef _WIN32
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

#include "cli/reporter.h"
#include "proto/file_name.h"

namespace vornik::cli {

namespace {

ClientOptions LinkOptions(const Globals& g)
{
    ClientOptions o;
    if (g.port < 1 || g.port > 65535) throw UsageError{{"--port", "--port: " + std::to_string(g.port) + " must be 1-65535"}};
    o.link.port = uint16_t(g.port);
    if (auto error = settings::ParseIpv4("--broadcast", g.broadcast, o.link.broadcastAddress)) throw UsageError{*error};
    if (!g.binds.empty()) {
        std::vector<uint32_t> addresses;
        for (const std::string& b : g.binds) {
            uint32_t a = 0;
            if (auto error = settings::ParseIpv4("--bind", b, a)) throw UsageError{*error};
            addresses.push_back(a);
        }
        o.link.hostAddresses = [addresses] { return addresses; };
    } else if (g.environmentHasAddresses) {
        o.link.hostAddresses = [addresses = g.environmentAddresses] { return addresses; };
    }
    if (g.tries < 1 || g.tries > 100)
        throw UsageError{{"--tries", "--tries: " + std::to_string(g.tries) + " must be 1-100"}};
    if (!(g.interval >= 0.01 && g.interval <= 60))
        throw UsageError{{"--interval", "--interval: must be 0.01-60 seconds"}};
    o.tries = g.tries;
    o.interval = std::chrono::milliseconds(long(g.interval * 1000 + 0.5));
    if (!g.quiet) o.note = [](const std::string& text) { std::cerr << "vornikctl: " << text << "\n"; };
    return o;
}

} // namespace

std::string Context::Command() const
{
    std::string name;
    for (const CLI::App* sub = root; sub;) {
        const auto subs = sub->get_subcommands();
        if (subs.empty()) break;
        sub = subs.front();
        name += (name.empty() ? "" : " ") + sub->get_name();
    }
    return name;
}

Session::Session(const Context& context)
    : m_context(context), m_options(LinkOptions(context.globals)),
      m_history(context.globals.history, context.globals.noHistory, context.Command(),
                [](const std::string& line) { std::cerr << "vornikctl: " << line << "\n"; })
{
}

Session::~Session()
{
    m_client.reset(); // the link and its taps go before the record
    m_context.capture = nullptr;
}

std::string Context::RecordError() const
{
    if (!capture) return "";
    const std::string failed = capture->StreamError();
    return failed.empty() ? "" : "--pcap: " + globals.pcap + ": cannot write: " + failed + "; the file ends early";
}

Client* Session::Start()
{
    // Opened only now, when every argument has passed its check: a command
    // refused for a typo must leave the record of an earlier run as it was.
    const std::string& pcap = m_context.globals.pcap;
    if (!pcap.empty() && !m_context.capture) {
        std::string error;
        if (!m_capture.StreamTo(pcap, &error)) throw UsageError{{"--pcap", "--pcap: " + pcap + ": " + error}};
        if (const std::string failed = m_capture.StreamError(); !failed.empty())
            throw UsageError{{"--pcap", "--pcap: " + pcap + ": cannot write: " + failed}, EXIT_DEVICE_FAILED};
        m_capture.Attach(m_options.link);
        m_context.capture = &m_capture;
    }
    m_client = std::make_unique<Client>(m_options,
                                        [](const std::string& m) { std::cerr << "vornikctl: link: " << m << "\n"; });
    if (!m_client->Start()) {
        std::cerr << "vornikctl: no local address could be opened to send from (see --bind)\n";
        return nullptr;
    }
    return m_client.get();
}

int Session::NoLink() const
{
    if (m_context.globals.json)
        Emit(ErrorDoc(m_context.Command(), "--bind", "no local address could be opened to send from"));
    return EXIT_DEVICE_FAILED;
}

MacAddress MacArgument(const std::string& what, const std::string& text)
{
    MacAddress mac{};
    if (auto error = settings::ParseMac(what, text, mac)) throw UsageError{*error};
    return mac;
}

std::vector<MacAddress> MacArguments(const std::vector<std::string>& texts)
{
    // Hashed: a list of 40,000 MACs must not cost 40,000 squared looks.
    std::vector<MacAddress> macs;
    std::unordered_set<uint64_t> seen;
    seen.reserve(texts.size());
    for (const std::string& t : texts) {
        const MacAddress mac = MacArgument("MAC", t);
        if (seen.insert(MacKey(mac)).second) macs.push_back(mac);
    }
    return macs;
}

std::chrono::milliseconds WaitArgument(double seconds)
{
    if (!(seconds >= 0.01 && seconds <= 600)) throw UsageError{{"--wait", "--wait: must be 0.01-600 seconds"}};
    return std::chrono::milliseconds(long(seconds * 1000 + 0.5));
}

std::string ReadSettingsFile(const std::string& path)
{
    auto read = settings::ReadSettingsFileText(path);
    if (auto* error = std::get_if<settings::InputError>(&read)) throw UsageError{*error};
    return std::get<std::string>(std::move(read));
}

settings::Patch AssignmentsPatch(settings::Block block, const std::vector<std::string>& assignments)
{
    settings::Patch patch;
    for (const std::string& a : assignments) {
        // Which of two values the user meant is not known.
        const std::string name = a.substr(0, a.find('='));
        if (patch.Contains(block, name))
            throw UsageError{{name, name + ": given twice; give each field once"}};
        if (auto error = patch.SetAssignment(block, a)) throw UsageError{*error};
    }
    return patch;
}

void RefuseExistingFile(const std::string& file, bool force)
{
    // A link counts as there, dangling or not: it is replaced, never followed.
    std::error_code ec;
    if (file != "-" && !force && std::filesystem::symlink_status(FilePath(file), ec).type() != std::filesystem::file_type::not_found)
        throw UsageError{{"FILE", "'" + file + "' exists; --force overwrites it"}};
}

bool WriteSettingsText(const std::string& file, const std::string& text, int mode)
{
    if (file == "-") {
        std::cout << text << std::flush;
        return bool(std::cout);
    }
    // Written beside the file and put in its place whole: a full disk, a
    // quota or a kill half way leaves the previous file as it was.
    namespace fs = std::filesystem;
    const fs::path target = FilePath(file);
    fs::path part = target;
    part += ".part";
#ifdef _WIN32
    (void)mode;
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        out.close();
        if (!out) {
            std::error_code ignored;
            fs::remove(part, ignored);
            return false;
        }
    }
#else
    {
        // Made with the mode a user's file of its kind has (a umask may take
        // more away, never give more), and never through a link left there.
        const int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, mode_t(mode));
        bool written = fd >= 0;
        for (size_t done = 0; written && done < text.size();) {
            const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) continue;
            written = n > 0;
            if (written) done += size_t(n);
        }
        if (fd >= 0 && ::close(fd) != 0) written = false;
        if (!written) {
            std::error_code ignored;
            fs::remove(part, ignored);
            return false;
        }
    }
#endif
    std::error_code error;
    fs::rename(part, target, error);
#ifdef _WIN32
    // Older C runtimes will not rename over an existing file.
    if (error && fs::exists(target)) {
        error.clear();
        fs::remove(target, error);
        if (!error) fs::rename(part, target, error);
    }
#endif
    if (error) {
        std::error_code ignored;
        fs::remove(part, ignored);
        return false;
    }
    return true;
}

} // namespace vornik::cli
