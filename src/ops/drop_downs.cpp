#include "ops/drop_downs.h"

#include <stdexcept>
#include <variant>

#include "ops/control_ids.h"

namespace vornik {

using settings::Block;

namespace {

const settings::Bounds& BoundsOf(Block block, const char* field)
{
    const settings::FieldInfo* info = settings::FindField(block, field);
    if (!info) throw std::logic_error(std::string("no settings field ") + field + " for a drop-down");
    return info->bounds;
}

// A list of numbers: every value the field takes, lowest first, as the number.
DropDown Numbers(int control, Block block, const char* field)
{
    const settings::Bounds& b = BoundsOf(block, field);
    DropDown d{control, block, field, int(b.lo), {}};
    for (int64_t v = b.lo; v <= b.hi; ++v) d.entries.push_back(std::to_string(v));
    return d;
}

// A list of words, one for each of the field's choices in their order.
DropDown Words(int control, Block block, const char* field, std::vector<std::string> entries)
{
    if (entries.size() != BoundsOf(block, field).names.size())
        throw std::logic_error(std::string("the drop-down of ") + field + " lists another number of choices");
    return {control, block, field, 0, std::move(entries)};
}

} // namespace

const std::vector<DropDown>& DropDowns()
{
    static const std::vector<DropDown> all = {
        Words(IDC_NET_IP_MODE, Block::Network, "mode", {"StaticIP", "DHCP/autoIP"}),
        Numbers(IDC_NET_MAX_CONNECTIONS, Block::Network, "max-connections"),
        Numbers(IDC_DEV_SERVER_COUNT, Block::Device, "server-count"),
        Words(IDC_DEV_WORK_MODE, Block::Device, "work-mode",
              {"温湿度探头", "Modbus温湿度传感器", "0-5V温湿度变送器", "0-10V温湿度变送器", "0-10mA温湿度变送器",
               "4-20mA温湿度变送器"}),
        Numbers(IDC_DEV_DATA_BITS, Block::Device, "data-bits"),
        Words(IDC_DEV_PARITY, Block::Device, "parity", {"NONE", "ODD", "EVEN"}),
        Numbers(IDC_DEV_STOP_BITS, Block::Device, "stop-bits"),
    };
    return all;
}

const DropDown& DropDownOf(int control)
{
    for (const DropDown& d : DropDowns())
        if (d.control == control) return d;
    throw std::logic_error("no drop-down with control " + std::to_string(control));
}

std::string ShownValue(Block block, const std::string& field, const std::string& value)
{
    for (const DropDown& d : DropDowns()) {
        if (d.block != block || d.field != field) continue;
        // The table's own check reads the file's word, so "none" and "NONE" and 0 all find entry 0.
        const auto parsed = settings::ParseField(block, field, value);
        if (const auto* v = std::get_if<settings::FieldValue>(&parsed))
            if (const auto* number = std::get_if<int64_t>(v)) {
                const int64_t entry = *number - d.first;
                if (entry >= 0 && entry < int64_t(d.entries.size())) return d.entries[size_t(entry)];
            }
        break;
    }
    return value;
}

} // namespace vornik
