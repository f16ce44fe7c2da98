// tshark with the Vornik dissector loaded, for tests that read a recorded
// pcap file back through Wireshark's own dissection.
//
//   Tshark tshark(workDir);              // copies the dissector there
//   if (tshark.Failed()) ...             // tshark would not load it
//   auto rows = tshark.Fields(pcap, "-d udp.port==40001,vornik",
//                             "vornik.command == 0x02", {"vornik.search.ip"});
//
// The dissector's path comes from the compile definition VORNIK_DISSECTOR_PATH.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace vornik::test {

namespace fs = std::filesystem;

inline std::string Run(const std::string& command, int* status = nullptr)
{
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int s = ::pclose(pipe);
    if (status) *status = s;
    return out;
}

inline bool TsharkInstalled() { return std::system("command -v tshark >/dev/null 2>&1") == 0; }

inline std::string Quote(const std::string& s) { return "'" + s + "'"; }

// tshark with the dissector loaded. Some Wireshark versions refuse Lua
// plugins to root; there it runs as nobody, on copies that nobody can read.
class Tshark {
public:
    explicit Tshark(const fs::path& workDir) : m_dir(workDir)
    {
        fs::create_directories(m_dir);
        ::chmod(m_dir.c_str(), 0755);
        m_script = m_dir / "vornik.lua";
        fs::copy_file(VORNIK_DISSECTOR_PATH, m_script, fs::copy_options::overwrite_existing);
        ::chmod(m_script.c_str(), 0644);
        if (Loads("")) return;
        if (::geteuid() == 0 && Loads("setpriv --reuid=nobody --regid=nogroup --clear-groups ")) {
            m_prefix = "setpriv --reuid=nobody --regid=nogroup --clear-groups ";
            return;
        }
        m_failed = true;
    }

    bool Failed() const { return m_failed; }

    // One line per frame that matches the display filter, each the tab-separated
    // values of the fields; a field that occurs more than once gives them joined by ','.
    std::vector<std::vector<std::string>> Fields(const fs::path& pcap, const std::string& decodeAs,
                                                 const std::string& filter, const std::vector<std::string>& fields)
    {
        std::string command = Base(pcap, decodeAs) + " -Y " + Quote(filter) + " -T fields";
        for (const std::string& field : fields) command += " -e " + field;
        std::vector<std::vector<std::string>> rows;
        std::istringstream lines(Run(command + " 2>/dev/null"));
        std::string line;
        while (std::getline(lines, line)) {
            std::vector<std::string> cells;
            std::istringstream cellStream(line);
            std::string cell;
            while (std::getline(cellStream, cell, '\t')) cells.push_back(cell);
            cells.resize(fields.size());
            rows.push_back(cells);
        }
        return rows;
    }

    std::string Verbose(const fs::path& pcap, const std::string& decodeAs, const std::string& filter)
    {
        return Run(Base(pcap, decodeAs) + " -Y " + Quote(filter) + " -V 2>/dev/null");
    }

private:
    bool Loads(const std::string& prefix)
    {
        const std::string out =
            Run(prefix + "tshark -G protocols -X lua_script:" + Quote(m_script.string()) + " 2>/dev/null");
        return out.find("\tvornik\n") != std::string::npos;
    }

    std::string Base(const fs::path& pcap, const std::string& decodeAs) const
    {
        return m_prefix + "tshark -n -X lua_script:" + Quote(m_script.string()) + " -r " + Quote(pcap.string()) +
               " " + decodeAs;
    }

    fs::path m_dir;
    fs::path m_script;
    std::string m_prefix;
    bool m_failed = false;
};

} // namespace vornik::test
