#include "ops/drop_downs.h"

#include <stdexcept>
#include <variant>

#include "ops/control_ids.h"

namespace vornik {

using settings::Block;

const std::vector<DropDown>& DropDowns()
{
    static const std::vector<DropDown> all = {
        {IDC_NET_IP_MODE, Block::Network, "mode", 0, {"StaticIP", "DHCP/autoIP"}},
        {IDC_NET_MAX_CONNECTIONS, Block::Network, "max-connections", 0, {"0", "1", "2", "3", "4", "5", "6", "7", "8"}},
        {IDC_DEV_SERVER_COUNT, Block::Device, "server-count", 0, {"0", "1", "2", "3", "4", "5", "6", "7", "8"}},
        {IDC_DEV_WORK_MODE,
         Block::Device,
         "work-mode",
         0,
         {"温湿度探头", "Modbus温湿度传感器", "0-5V温湿度变送器", "0-10V温湿度变送器", "0-10mA温湿度变送器",
          "4-20mA温湿度变送器"}},
        {IDC_DEV_DATA_BITS, Block::Device, "data-bits", 5, {"5", "6", "7", "8", "9"}},
        {IDC_DEV_PARITY, Block::Device, "parity", 0, {"NONE", "ODD", "EVEN"}},
        {IDC_DEV_STOP_BITS, Block::Device, "stop-bits", 1, {"1", "2"}},
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
