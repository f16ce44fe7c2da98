#include "settings/settings_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <set>

#include <sys/stat.h>
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include "proto/file_name.h"

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
        return InputError{where, where + ": expected a number or a text, found " + std::string(v.type_name()),
                          Problem::WrongType};
    }
    return std::nullopt;
}

} // namespace

namespace {
std::variant<Patch, InputError> PatchFromCheckedJson(const Json& file);
} // namespace

std::variant<Patch, InputError> PatchFromJson(const Json& file)
{
    // Every wrong type nlohmann would throw for is refused as input instead.
    try {
        return PatchFromCheckedJson(file);
    } catch (const nlohmann::json::exception& e) {
        return InputError{"", std::string("the settings file does not hold what it should: ") + e.what(),
                          Problem::WrongType};
    }
}

namespace {

std::variant<Patch, InputError> PatchFromCheckedJson(const Json& file)
{
    if (!file.is_object()) return InputError{"", "the settings file must hold one JSON object", Problem::WrongType};
    if (!file.contains("format") || !file["format"].is_string() || file["format"].get<std::string>() != FILE_FORMAT)
        return InputError{"format", std::string("the settings file must have \"format\": \"") + FILE_FORMAT + "\"",
                          Problem::Format};
    if (!file.contains("version") || !file["version"].is_number_integer() || file["version"] != FILE_VERSION)
        return InputError{"version", "the settings file must have \"version\": " + std::to_string(FILE_VERSION),
                          Problem::Version};
    Patch patch;
    for (const auto& [key, value] : file.items()) {
        if (key == "format" || key == "version" || key == "source" || key == "comment") continue;
        Block block;
        if (key == "network")
            block = Block::Network;
        else if (key == "device")
            block = Block::Device;
        else
            return InputError{key, "unknown key '" + key + "' in the settings file (network, device, source, comment)",
                              Problem::UnknownField};
        if (!value.is_object()) return InputError{key, "\"" + key + "\" must be an object", Problem::WrongType};
        // "server3": {"target-port": 1} and "server3.target-port": 2 name one
        // field; which of the two the file meant is not known.
        std::set<std::string> given;
        for (const auto& [name, inner] : value.items()) {
            std::vector<std::pair<std::string, const Json*>> leaves;
            if (inner.is_object()) {
                for (const auto& [sub, leaf] : inner.items()) leaves.emplace_back(name + "." + sub, &leaf);
            } else {
                leaves.emplace_back(name, &inner);
            }
            for (const auto& [field, leaf] : leaves) {
                const std::string where = key + "." + field;
                if (!given.insert(field).second)
                    return InputError{where, where + ": given twice; give each field once", Problem::GivenTwice};
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

} // namespace

std::variant<Patch, InputError> PatchFromFileText(std::string_view text)
{
    // The keys on the way to what is being parsed, so that a number too
    // large for a double, or a key given twice, is named where it stands.
    struct Level {
        std::string key;
        std::set<std::string> seen;
    };
    std::vector<Level> path;
    const auto where = [&] {
        std::string w;
        for (const Level& l : path)
            if (!l.key.empty()) w += (w.empty() ? "" : ".") + l.key;
        return w;
    };
    struct Twice {
        std::string where;
    };
    Json file;
    try {
        file = Json::parse(
            text.begin(), text.end(),
            [&](int /*depth*/, Json::parse_event_t event, Json& parsed) {
                switch (event) {
                case Json::parse_event_t::object_start:
                case Json::parse_event_t::array_start: path.push_back({}); break;
                case Json::parse_event_t::object_end:
                case Json::parse_event_t::array_end: path.pop_back(); break;
                case Json::parse_event_t::key: {
                    Level& l = path.back();
                    l.key = parsed.get<std::string>();
                    if (!l.seen.insert(l.key).second) throw Twice{where()};
                    break;
                }
                case Json::parse_event_t::value: break;
                }
                return true;
            },
            true, /*ignore_comments=*/true);
    } catch (const Twice& t) {
        return InputError{t.where, t.where + ": given twice in the settings file", Problem::GivenTwice};
    } catch (const nlohmann::json::out_of_range& e) {
        const std::string w = where();
        return InputError{w, w + ": the number is too large (" + e.what() + ")", Problem::NumberTooLarge};
    } catch (const nlohmann::json::exception& e) {
        return InputError{"", std::string("the settings file is not valid JSON: ") + e.what(), Problem::NotJson};
    }
    return PatchFromJson(file);
}

std::variant<std::string, InputError> ReadSettingsFileText(const std::string& path)
{
    const auto refuse = [&](const std::string& why, Problem problem) {
        return InputError{"FILE", "the settings file '" + path + "' " + why, problem};
    };
#ifdef _WIN32
    std::unique_ptr<FILE, int (*)(FILE*)> in(OpenFile(path, "rb"), &std::fclose);
#else
    // Opened without waiting: a FIFO's open would wait for a writer for ever
    // before the check below could refuse it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::unique_ptr<FILE, int (*)(FILE*)> in(fd >= 0 ? ::fdopen(fd, "rb") : nullptr, &std::fclose);
    if (fd >= 0 && !in) ::close(fd);
#endif
    if (!in) return refuse("cannot be read", Problem::FileUnreadable);
    // Checked on the open file, so that what is read is what was checked.
    struct stat st {};
    if (::fstat(fileno(in.get()), &st) != 0 || !S_ISREG(st.st_mode))
        return refuse("is not a regular file", Problem::FileNotRegular);
    if (size_t(st.st_size) > MAX_FILE_SIZE) return refuse("is larger than 1 MiB", Problem::FileTooLarge);
    std::string text(MAX_FILE_SIZE + 1, '\0');
    const size_t n = std::fread(text.data(), 1, text.size(), in.get());
    if (std::ferror(in.get())) return refuse("cannot be read", Problem::FileUnreadable);
    if (n > MAX_FILE_SIZE) return refuse("is larger than 1 MiB", Problem::FileTooLarge);
    text.resize(n);
    return text;
}

} // namespace vornik::settings
