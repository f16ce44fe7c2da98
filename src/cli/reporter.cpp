#include "cli/reporter.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <iostream>
#include <memory>

#include <unistd.h>

#include "cli/console.h"
#include "proto/mac_address.h"

namespace vornik::cli {

using settings::Block;

std::string TableText(const std::string& text)
{
    // A device's text reaches a terminal here: an ESC in a server address
    // could retitle or clear it. Control characters (C0, DEL, and C1 as
    // UTF-8) are shown as \xNN or \uNNNN, the rest as it is.
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = uint8_t(text[i]);
        if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            out += digits[c >> 4];
            out += digits[c & 15];
        } else if (c == 0xC2 && i + 1 < text.size() && uint8_t(text[i + 1]) >= 0x80 && uint8_t(text[i + 1]) <= 0x9F) {
            const auto c1 = uint8_t(text[++i]);
            out += "\\u00";
            out += digits[c1 >> 4];
            out += digits[c1 & 15];
        } else {
            out += char(c);
        }
    }
    return out;
}

void Emit(const Json& doc) { std::cout << doc.dump(2, ' ', false, Json::error_handler_t::replace) << "\n"; }

namespace {

// A value that is no object or array, as the serializer writes it. Plain
// text and whole numbers, nearly all of a report, skip the serializer's set-up.
bool PlainText(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F && c != '"' && c != '\\'; });
}

void WriteScalar(std::string& out, const Json& v)
{
    if (v.is_string()) {
        const std::string& text = v.get_ref<const std::string&>();
        if (PlainText(text)) {
            out += '"';
            out += text;
            out += '"';
            return;
        }
    } else if (v.is_number_integer() || v.is_boolean()) {
        char digits[24];
        const auto end = v.is_boolean() ? nullptr
                         : v.is_number_unsigned() ? std::to_chars(digits, digits + sizeof digits, v.get<uint64_t>()).ptr
                                                  : std::to_chars(digits, digits + sizeof digits, v.get<int64_t>()).ptr;
        if (end)
            out.append(digits, end);
        else
            out += v.get<bool>() ? "true" : "false";
        return;
    }
    out += v.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void WriteJson(std::string& out, const Json& v, size_t depth);

// An object's members or an array's elements, each on a line of its own
// indented two spaces a level, as Emit's dump(2) lays them out.
void WriteItems(std::string& out, const Json& v, size_t depth, bool& first)
{
    for (auto it = v.begin(); it != v.end(); ++it) {
        out += first ? "\n" : ",\n";
        first = false;
        out.append(2 * (depth + 1), ' ');
        if (v.is_object()) {
            if (PlainText(it.key()))
                out += '"' + it.key() + "\": ";
            else
                out += Json(it.key()).dump(-1, ' ', false, Json::error_handler_t::replace) + ": ";
        }
        WriteJson(out, *it, depth + 1);
    }
}

void WriteJson(std::string& out, const Json& v, size_t depth)
{
    if (!v.is_structured()) return WriteScalar(out, v);
    const char* brackets = v.is_object() ? "{}" : "[]";
    out += brackets[0];
    bool first = true;
    WriteItems(out, v, depth, first);
    if (!first) {
        out += '\n';
        out.append(2 * depth, ' ');
    }
    out += brackets[1];
}

} // namespace

Json ErrorDoc(const std::string& command, const std::string& field, const std::string& message)
{
    return Json{{"command", command}, {"ok", false}, {"error", Json{{"field", field}, {"message", message}}}};
}

Json FoundJson(const FoundDevice& f)
{
    Json heard = Json::array();
    for (uint32_t a : f.heardOn) heard.push_back(AddressText(a));
    return Json{{"ip", AddressText(f.reply.ipAddress)},
                {"mac", FormatMacText(f.reply.mac)},
                {"firmware", f.reply.firmware},
                {"source", AddressText(f.source) + ":" + std::to_string(f.sourcePort)},
                {"heard-on", heard},
                {"replies", f.replies},
                {"duplicate-ip", f.duplicateIp},
                {"duplicate-mac", f.duplicateMac},
                {"clones", f.clones}};
}

Json ResultJson(const DeviceResult& r, bool changes)
{
    Json j{{"mac", FormatMacText(r.mac)}, {"ok", r.ok}, {"result", r.Word()}};
    if (!r.ok) j["error"] = r.error;
    if (changes) {
        Json list = Json::array();
        for (const auto& c : r.changes)
            list.push_back(Json{{"field", c.field}, {"old", c.expectedValue}, {"new", c.actualValue}});
        j["changes"] = list;
    }
    if (r.writes) {
        j["writes"] = r.writes;
        j["acknowledged"] = r.acknowledged;
    }
    if (!r.differences.empty()) {
        Json diffs = Json::array();
        for (const auto& d : r.differences)
            diffs.push_back(Json{{"field", d.field}, {"written", d.expected}, {"read", d.actual}});
        j["differences"] = diffs;
    }
    if (r.found) j["found"] = FoundJson(*r.found);
    if (r.network) j["network"] = settings::ToJson(*r.network);
    if (r.device) j["device"] = settings::ToJson(*r.device);
    return j;
}

SearchPlan SearchPlanFor(const Client& client, size_t expect)
{
    SearchPlan plan;
    plan.rounds = client.Options().tries;
    plan.expect = expect;
    plan.onRound = [&client](int round, size_t added) {
        client.Note("search, round " + std::to_string(round) + ": " + std::to_string(added) +
                    (round == 1 ? " device(s) found" : " more device(s) found"));
    };
    return plan;
}

void ReportFound(const Context& context, const std::vector<FoundDevice>& found, size_t expect)
{
    const std::string record = context.RecordError();
    const bool enough = found.size() >= expect && record.empty() && !Interrupted();
    if (found.size() < expect)
        std::cerr << "vornikctl: " << found.size() << " device(s) answered, " << expect << " expected\n";
    if (!record.empty()) std::cerr << "vornikctl: " << record << "\n";
    if (context.globals.json) {
        Json devices = Json::array();
        for (const auto& f : found) devices.push_back(FoundJson(f));
        Json doc{{"command", context.Command()}, {"ok", enough}, {"count", found.size()}, {"devices", devices}};
        if (expect) doc["expected"] = expect;
        if (!record.empty()) doc["error"] = Json{{"message", record}};
        Emit(doc);
        return;
    }
    Print("%-15s  %-17s  %8s  %-15s  %s\n", "IP", "MAC", "FIRMWARE", "HEARD ON", "NOTE");
    for (const auto& f : found) {
        std::string heard;
        for (uint32_t a : f.heardOn) heard += (heard.empty() ? "" : ",") + AddressText(a);
        std::string note;
        if (f.duplicateIp) note += "duplicate IP ";
        if (f.duplicateMac) note += "duplicate MAC ";
        if (f.clones) note += "more replies than searches (clones?)";
        Print("%-15s  %-17s  %8u  %-15s  %s\n", AddressText(f.reply.ipAddress).c_str(),
                    FormatMacText(f.reply.mac).c_str(), unsigned(f.reply.firmware), heard.empty() ? "-" : heard.c_str(),
                    note.c_str());
    }
    Print("%zu device(s)\n", found.size());
}

int ReportResults(const Context& context, const std::vector<DeviceResult>& results,
                  const std::function<void(const DeviceResult&)>& details, const std::string& failure)
{
    ResultReport report(context, details);
    for (const auto& r : results) report.Add(r);
    return report.Finish(failure);
}

ResultReport::ResultReport(const Context& context, std::function<void(const DeviceResult&)> details,
                           std::FILE* (*makeFile)())
    : m_context(context), m_details(std::move(details)), m_devices(makeFile)
{
}

void ResultReport::Add(const DeviceResult& r)
{
    m_confirmed += r.ok;
    m_unchanged += r.Is(engine::Result::Unchanged);
    m_changed += r.ok && r.writes > 0 && !r.changes.empty();
    const bool first = m_count++ == 0;
    std::string out;
    if (m_context.globals.json) {
        // Laid out as Emit's dump(2) lays out the element of "devices".
        out = first ? "\n    " : ",\n    ";
        WriteJson(out, ResultJson(r, m_context.comparesValues), 2);
        m_devices.Write(out);
        return;
    }
    // Ahead of the table, which waits in its spool until Finish.
    if (m_details && r.ok) m_details(r);
    std::string detail = r.error;
    if (r.ok && r.Is(engine::Result::Confirmed)) detail = r.changed ? "the parameters read after it changed" : "by read-back";
    if (r.ok && r.Is(engine::Result::Acknowledged))
        detail = "the parameters read after it did not change (already the factory values?)";
    if (r.found) detail = "found at " + AddressText(r.found->reply.ipAddress);
    if (r.Is(engine::Result::Unchanged)) detail = "holds these values already; nothing written";
    if (r.Is(engine::Result::WouldChange)) detail = "nothing written (--dry-run)";
    out = Format("%-17s  %-22s  %s\n", FormatMacText(r.mac).c_str(), r.Word().c_str(), TableText(detail).c_str());
    for (const auto& c : r.changes)
        out += Format("%-17s  %-22s  %s: %s -> %s\n", "", "", c.field.c_str(), TableText(c.expected).c_str(),
                      TableText(c.actual).c_str());
    for (const auto& d : r.differences)
        out += Format("%-17s  %-22s  %s: wrote %s, read %s\n", "", "", d.field.c_str(), TableText(d.expected).c_str(),
                      TableText(d.actual).c_str());
    m_devices.Write(out);
}

int ResultReport::Finish(const std::string& given)
{
    // A packet record cut short fails the command as a device would.
    const std::string record = m_context.RecordError();
    const std::string failure = given.empty() ? record : record.empty() ? given : given + "; " + record;
    const bool ok = m_confirmed == m_count && failure.empty() && !Interrupted();
    const char* const lost = "the report lost device lines: its temporary file could not be read back";
    bool whole = true;
    if (!failure.empty()) std::cerr << "vornikctl: " << failure << "\n";
    if (Interrupted()) std::cerr << "vornikctl: interrupted (Ctrl-C); the results so far:\n";
    if (m_context.globals.json) {
        const Json head{{"command", m_context.Command()},
                        {"ok", ok},
                        {"confirmed", m_confirmed},
                        {"failed", m_count - m_confirmed}};
        Json tail = Json::object();
        if (m_context.comparesValues) {
            tail["unchanged"] = m_unchanged;
            tail["changed"] = m_changed;
        }
        if (m_context.dryRun) tail["dry-run"] = true;
        if (Interrupted()) tail["interrupted"] = true;
        if (!failure.empty()) tail["error"] = Json{{"message", failure}};
        std::string out = "{";
        bool first = true;
        WriteItems(out, head, 0, first);
        out += ",\n  \"devices\": [";
        std::cout << out;
        whole = m_devices.CopyTo(std::cout);
        if (!whole) tail["error"] = Json{{"message", failure.empty() ? lost : failure + "; " + lost}};
        out = m_count ? "\n  ]" : "]";
        WriteItems(out, tail, 0, first);
        out += "\n}\n";
        std::cout << out;
    } else {
        Print("%-17s  %-22s  %s\n", "MAC", "RESULT", "DETAIL");
        whole = m_devices.CopyTo(std::cout);
        if (m_context.comparesValues)
            Print("%zu of %zu device(s) ok, %zu changed, %zu unchanged%s\n", m_confirmed, m_count, m_changed,
                  m_unchanged, m_context.dryRun ? " (--dry-run: nothing written)" : "");
        else
            Print("%zu of %zu device(s) ok\n", m_confirmed, m_count);
    }
    // Known only once the counts ahead of them are out: the command fails
    // rather than end as if the devices missing from the report were not there.
    if (!whole) std::cerr << "vornikctl: " << lost << "\n";
    if (Interrupted()) return EXIT_INTERRUPTED;
    return ok && whole ? EXIT_CONFIRMED : EXIT_DEVICE_FAILED;
}

namespace {

template <typename Params>
void PrintBlockFields(const Params& p, Block block)
{
    for (const auto& f : settings::Fields())
        if (f.block == block) Print("  %-26s %s\n", f.name.c_str(), TableText(settings::FieldText(p, f.name)).c_str());
}

} // namespace

void PrintFields(const NetworkParams& params) { PrintBlockFields(params, Block::Network); }

void PrintFields(const DeviceParams& params) { PrintBlockFields(params, Block::Device); }

Progress LineProgress(const Globals& g, size_t total)
{
    if (g.quiet) return {};
    auto count = std::make_shared<size_t>(0);
    const bool bar = isatty(STDERR_FILENO);
    return [count, total, bar](const DeviceResult& r) {
        ++*count;
        if (bar) {
            const size_t width = 30, filled = total ? *count * width / total : width;
            PrintError("\r[%s%s] %zu/%zu", std::string(filled, '#').c_str(),
                         std::string(width - filled, '.').c_str(), *count, total);
            if (*count == total) PrintError("\n");
        } else {
            PrintError("vornikctl: %s %s (%zu/%zu)\n", FormatMacText(r.mac).c_str(),
                         r.ok ? r.Word().c_str() : (r.Word() + ": " + r.error).c_str(), *count, total);
        }
    };
}

} // namespace vornik::cli
