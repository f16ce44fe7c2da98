#include "ops/settings_files.h"

#include <cstdio>
#include <variant>

#include "ops/device_ops.h"
#include "ops/page_checks.h"
#include "ops/texts.h"
#include "proto/cp936.h"
#include "proto/mac_address.h"
#include "proto/net_params.h"
#include "settings/settings.h"

namespace vornik {

namespace {

// "2026-12-09T07:52:27Z", as an export is stamped.
std::string IsoUtc(std::chrono::system_clock::time_point t)
{
    using namespace std::chrono;
    const auto day = floor<days>(t);
    const year_month_day date{day};
    const hh_mm_ss time{floor<seconds>(t - day)};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02ld:%02ld:%02ldZ", int(date.year()), unsigned(date.month()),
                  unsigned(date.day()), long(time.hours().count()), long(time.minutes().count()),
                  long(time.seconds().count()));
    return text;
}

} // namespace

SettingsExport ExportSettingsText(const DeviceOps& ops, std::chrono::system_clock::time_point now)
{
    const auto refuse = [](const std::string& why936) {
        return SettingsExport{{}, text::kExportFailed.Cp936() + why936};
    };
    // A block is written only as a device gave it: one with start-up values
    // or a file's would be taken for a device's settings.
    const PageSource& netSource = ops.NetworkSource();
    const PageSource& devSource = ops.DeviceSource();
    if (!netSource.fromDevice && !devSource.fromDevice) return refuse(text::kExportNothingFromDevice);
    for (const auto& [block, filled] : {std::pair{settings::Block::Network, netSource.fromDevice},
                                        std::pair{settings::Block::Device, devSource.fromDevice}})
        if (filled)
            if (const auto refusal = ops.PageRefusal936(block)) return refuse(*refusal + text::kExportNotWritten.Cp936());
    const NetworkParams network = ops.NetworkPageValues();
    const std::optional<DeviceParams> device = ops.DevicePageValues();

    settings::Json source{{"program", "Vornik_Setup"}};
    const auto from = [](const PageSource& s) {
        return settings::Json{{"mac", FormatMacText(s.mac)}, {"ip", FormatDottedQuad(s.ip)}};
    };
    // "mac" as vornikctl export writes it, when one device gave every block written.
    if (!(netSource.fromDevice && devSource.fromDevice) || netSource.mac == devSource.mac)
        source["mac"] = FormatMacText(netSource.fromDevice ? netSource.mac : devSource.mac);
    if (netSource.fromDevice) source["network"] = from(netSource);
    if (devSource.fromDevice) source["device"] = from(devSource);
    source["exported"] = IsoUtc(now);
    return {settings::FileText(netSource.fromDevice ? &network : nullptr,
                               devSource.fromDevice && device ? &*device : nullptr, source),
            std::nullopt};
}

std::string ExportNotWrittenText(const std::string& pathUtf8)
{
    return std::string(text::kExportFailed.Utf8()) + text::kFileNotWrittenBefore.Utf8() + pathUtf8 +
           text::kFileNotWrittenAfter.Utf8();
}

std::string ExportDoneLine936(const DeviceOps& ops, const std::string& pathUtf8)
{
    const auto part = [](const text::Text& name, const PageSource& s) {
        return s.fromDevice ? std::string(name.Utf8()) + text::kExportFromDeviceBefore.Utf8() + FormatMacText(s.mac) +
                                  text::kExportFromDeviceAfter.Utf8()
                            : std::string(name.Utf8()) + text::kExportPageNotFromDevice.Utf8();
    };
    return Cp936FromUtf8Lossy(text::kExportDoneBefore.Utf8() + pathUtf8 + text::kExportDoneAfter.Utf8() +
                              part(text::kExportNetworkPage, ops.NetworkSource()) +
                              text::kExportPartSeparator.Utf8() + part(text::kExportDevicePage, ops.DeviceSource()) +
                              "\r\n");
}

std::optional<std::string> ImportSettingsFile(DeviceOps& ops, const std::string& pathUtf8,
                                              const std::string& fileNameUtf8)
{
    const auto fail = [](const std::string& whyUtf8) {
        return std::string(text::kImportFailed.Utf8()) + whyUtf8 + text::kImportPagesUnchanged.Utf8();
    };
    // The sentences are code page 936; the file's name goes in as it is
    // (code page 936 may not hold it), where the mark stands. Nothing of the
    // file's content is in a refusal to read it, so the mark is the only one;
    // a refusal of what it holds may quote the content, so the name goes in
    // as code page 936 holds it.
    const auto named = [&pathUtf8](const settings::InputError& error) {
        std::string why = Utf8FromCp936(SettingsErrorText936(error, "\x01"));
        for (size_t at; (at = why.find('\x01')) != std::string::npos;) why.replace(at, 1, pathUtf8);
        return why;
    };
    // A huge file or a device is refused before it is read, as vornikctl refuses it.
    const auto text = settings::ReadSettingsFileText(pathUtf8);
    if (const auto* error = std::get_if<settings::InputError>(&text)) return fail(named(*error));
    auto read = settings::PatchFromFileText(std::get<std::string>(text));
    if (const auto* error = std::get_if<settings::InputError>(&read))
        return fail(Utf8FromCp936(SettingsErrorText936(*error, Cp936FromUtf8Lossy(pathUtf8))));
    if (const auto refusal = ops.ImportPatch(std::get<settings::Patch>(read), Cp936FromUtf8Lossy(fileNameUtf8)))
        return fail(Utf8FromCp936(*refusal));
    return std::nullopt;
}

std::string PacketRecordNotWrittenText(const std::string& pathUtf8)
{
    return std::string(text::kPacketRecordFailed.Utf8()) + text::kFileNotWrittenBefore.Utf8() + pathUtf8 +
           text::kFileNotWrittenAfter.Utf8();
}

std::string PacketRecordSavedLine936(const std::string& pathUtf8, size_t datagrams)
{
    return Cp936FromUtf8Lossy(text::kPacketRecordSavedBefore.Utf8() + pathUtf8 + text::kPacketRecordSavedCount.Utf8() +
                              std::to_string(datagrams) + text::kPacketRecordSavedAfter.Utf8());
}

} // namespace vornik
