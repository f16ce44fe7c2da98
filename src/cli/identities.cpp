#include "cli/identities.h"

#include <algorithm>
#include <sstream>
#include <unordered_set>

#include "cli/context.h"

namespace vornik::cli {

namespace {

using settings::Block;

// One line's cells, as a spreadsheet saves them: separated by commas, white
// space around a cell dropped, a cell in double quotes taken as it stands
// (commas too, "" for a quote). A quote left open is refused.
std::vector<std::string> Cells(const std::string& line, const std::string& where)
{
    std::vector<std::string> cells;
    size_t i = 0;
    const auto skipBlank = [&] {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    };
    for (;;) {
        skipBlank();
        std::string cell;
        if (i < line.size() && line[i] == '"') {
            for (++i;; ++i) {
                if (i >= line.size())
                    throw UsageError{{"--identities", where + ": a quoted value is not closed"}};
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        cell += '"';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                cell += line[i];
            }
            skipBlank();
            if (i < line.size() && line[i] != ',')
                throw UsageError{{"--identities", where + ": text after a quoted value"}};
        } else {
            const size_t end = line.find(',', i);
            cell = line.substr(i, end == std::string::npos ? std::string::npos : end - i);
            i = end == std::string::npos ? line.size() : end;
            const auto last = cell.find_last_not_of(" \t\r");
            cell.erase(last == std::string::npos ? 0 : last + 1);
        }
        cells.push_back(std::move(cell));
        if (i >= line.size()) break;
        ++i; // the comma
    }
    return cells;
}

// What the device would hold of the address fields the patch sets; a mask
// neither the line nor the file gives is the device's own, checked after its read.
void CheckAddress(const settings::Patch& patch, const std::string& where)
{
    if (!patch.Contains(Block::Network, "ip") || !patch.Contains(Block::Network, "mask")) return;
    NetworkParams p;
    patch.ApplyTo(p);
    if (!patch.Contains(Block::Network, "gateway")) p.gateway = 0;
    const std::string why = settings::AddressingProblem(p.ipAddress, p.subnetMask, p.gateway);
    if (!why.empty()) throw UsageError{{"ip", where + ": " + why}};
}

} // namespace

std::vector<Identity> ReadIdentities(const std::string& path, const settings::Patch& common)
{
    std::string text = ReadSettingsFile(path); // the same size and file-kind limits
    // A spreadsheet saving "CSV UTF-8" starts the file with a byte-order mark.
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
    std::stringstream in(text);
    std::string line;
    std::vector<std::string> header;
    std::vector<Block> blocks;
    std::vector<Identity> identities;
    std::unordered_set<std::string> macs;
    std::unordered_set<uint32_t> addresses;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::string where = path + " line " + std::to_string(number);
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        const auto cells = Cells(line, where);
        if (header.empty()) {
            if (cells.empty() || cells[0] != "mac")
                throw UsageError{{"--identities", where + ": the header must name the fields, mac first (mac,ip,...)"}};
            for (size_t k = 1; k < cells.size(); ++k) {
                const Block block = settings::FindField(Block::Network, cells[k]) ? Block::Network : Block::Device;
                if (!settings::FindField(block, cells[k]))
                    throw UsageError{{cells[k], where + ": unknown field '" + cells[k] + "' (vornikctl fields lists them)"}};
                if (std::find(cells.begin() + 1, cells.begin() + long(k), cells[k]) != cells.begin() + long(k))
                    throw UsageError{{cells[k], where + ": " + cells[k] + " given twice"}};
                blocks.push_back(block);
            }
            header = cells;
            continue;
        }
        if (cells.size() != header.size())
            throw UsageError{{"--identities", where + ": " + std::to_string(cells.size()) + " values, the header names " +
                                                  std::to_string(header.size())}};
        Identity id{MacArgument(where + " mac", cells[0]), common};
        if (!macs.insert(FormatMacText(id.mac)).second)
            throw UsageError{{"mac", where + ": " + FormatMacText(id.mac) + " is given twice"}};
        for (size_t k = 1; k < cells.size(); ++k) {
            if (auto error = id.patch.Set(blocks[k - 1], header[k], cells[k]))
                throw UsageError{{error->field, where + ": " + error->message}};
            NetworkParams p;
            id.patch.ApplyTo(p);
            if (header[k] == "ip" && !addresses.insert(p.ipAddress).second)
                throw UsageError{{"ip", where + ": ip " + FormatDottedQuad(p.ipAddress) + " is given twice"}};
        }
        CheckAddress(id.patch, where);
        identities.push_back(std::move(id));
    }
    if (identities.empty()) throw UsageError{{"--identities", path + ": no device listed"}};
    return identities;
}

std::vector<Identity> NumberedIdentities(std::vector<MacAddress> macs, const std::string& first,
                                         const settings::Patch& common)
{
    uint32_t start = 0;
    if (auto error = settings::ParseIpv4("--ip-from", first, start)) throw UsageError{*error};
    std::sort(macs.begin(), macs.end());
    std::vector<Identity> identities;
    for (size_t k = 0; k < macs.size(); ++k) {
        const uint64_t address = uint64_t(start) + k;
        if (address > 0xFFFFFFFFu)
            throw UsageError{{"--ip-from", "--ip-from: " + std::to_string(macs.size()) + " devices from " + first +
                                               " run past 255.255.255.255"}};
        Identity id{macs[k], common};
        id.patch.Set(Block::Network, "ip", FormatDottedQuad(uint32_t(address)));
        CheckAddress(id.patch, "--ip-from " + first + ", device " + std::to_string(k + 1) + " (" +
                                   FormatMacText(macs[k]) + ")");
        identities.push_back(std::move(id));
    }
    return identities;
}

} // namespace vornik::cli
