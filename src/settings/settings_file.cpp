#include "settings/settings_file.h"

#include <algorithm>
#include <cmath>

namespace vornik::settings {

Json FileJson(const NetworkParams* network, const DeviceParams* device, const Json& source)
{
    Json file = Json::object();
    file["format"] = FILE_FORMAT;
    file["version"] = FILE_VERSION;
    if (!source.is_null()) file["source"] = source;
    if (network) file["network"] = ToJson(*network);
    if (device) file["device"] = ToJson(*device);
    return file;
}

std::string FileText(const NetworkParams* network, const DeviceParams* device, const Json& source)
{
    return FileJson(network, device, source).dump(2) + "\n";
}

namespace {

std::optional<InputError> LeafText(const std::string& where, const Json& v, std::string& text)
{
    if (v.is_string()) {
        text = v.get<std::string>();
    } else if (v.is_number_integer()) {
        text = v.dump();
    } else if (v.is_number_float()) {
        // Limits are tenths: 25.3 is 253 and anything finer is refused by the field's check.
        const double x = v.get<double>();
        const double tenths = std::round(x * 10.0);
        if (!std::isfinite(x) || std::fabs(x * 10.0 - tenths) > 1e-6) {
            text = v.dump(); // the check refuses it, naming the field
        } else {
            text = TenthsText(int32_t(std::clamp(tenths, -1e7, 1e7)));
        }
    } else {
        return InputError{where, where + ": expected a number or a text, found " + std::string(v.type_name())};
    }
    return std::nullopt;
}

} // namespace

std::variant<Patch, InputError> PatchFromJson(const Json& file)
{
    if (!file.is_object()) return InputError{"", "the settings file must hold one JSON object"};
    if (file.value("format", std::string()) != FILE_FORMAT)
        return InputError{"format", std::string("the settings file must have \"format\": \"") + FILE_FORMAT + "\""};
    if (!file.contains("version") || !file["version"].is_number_integer() || file["version"].get<int>() != FILE_VERSION)
        return InputError{"version", "the settings file must have \"version\": " + std::to_string(FILE_VERSION)};
    Patch patch;
    for (const auto& [key, value] : file.items()) {
        if (key == "format" || key == "version" || key == "source" || key == "comment") continue;
        Block block;
        if (key == "network")
            block = Block::Network;
        else if (key == "device")
            block = Block::Device;
        else
            return InputError{key, "unknown key '" + key + "' in the settings file (network, device, source, comment)"};
        if (!value.is_object()) return InputError{key, "\"" + key + "\" must be an object"};
        for (const auto& [name, inner] : value.items()) {
            std::vector<std::pair<std::string, const Json*>> leaves;
            if (inner.is_object()) {
                for (const auto& [sub, leaf] : inner.items()) leaves.emplace_back(name + "." + sub, &leaf);
            } else {
                leaves.emplace_back(name, &inner);
            }
            for (const auto& [field, leaf] : leaves) {
                const std::string where = key + "." + field;
                std::string text;
                if (auto error = LeafText(where, *leaf, text)) return *error;
                if (auto error = patch.Set(block, field, text)) {
                    // Named as the file has it: network.server3.target-port.
                    if (error->message.rfind(field, 0) == 0) error->message = key + "." + error->message;
                    error->field = where;
                    return *error;
                }
            }
        }
    }
    return patch;
}

std::variant<Patch, InputError> PatchFromFileText(std::string_view text)
{
    Json file;
    try {
        file = Json::parse(text.begin(), text.end(), nullptr, true, /*ignore_comments=*/true);
    } catch (const nlohmann::json::parse_error& e) {
        return InputError{"", std::string("the settings file is not valid JSON: ") + e.what()};
    }
    return PatchFromJson(file);
}

} // namespace vornik::settings
