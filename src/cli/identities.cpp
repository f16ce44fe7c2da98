#include "cli/identities.h"

#include <algorithm>
#include <sstream>
#include <unordered_set>

#include "cli/context.h"

namespace vornik::cli {

namespace {

using settings::Block;

std::vector<std::string> Cells(const std::string& line)
{
    std::vector<std::string> cells;
    std::stringstream in(line);
    std::string cell;
    while (std::getline(in, cell, ',')) {
        const auto begin = cell.find_first_not_of(" \t");
        const auto end = cell.find_last_not_of(" \t\r");
        cells.push_back(begin == std::string::npos ? "" : cell.substr(begin, end - begin + 1));
    }
    if (!line.empty() && line.back() == ',') cells.emplace_back();
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
    const std::string text = ReadSettingsFile(path); // the same size and file-kind limits
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
        const auto cells = Cells(line);
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
