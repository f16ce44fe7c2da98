// "导出参数..." and "导入参数...": what the two pages show as the settings
// file vornikctl export writes, and such a file into the pages, with the
// refusals and lines in the window's words. The front ends ask for the file's
// name and write or read the file; the rules are here, once.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace vornik {

class DeviceOps;

struct SettingsExport {
    // The file's text; empty when refused.
    std::string text;
    // The whole box text (code page 936) when the export is refused.
    std::optional<std::string> refusal936;
};

// Each block with the device (MAC and IP) it was read from; a block no device
// filled is left out, and with neither the export is refused, as it is when
// a page's typed field does not pass its check.
SettingsExport ExportSettingsText(const DeviceOps& ops, std::chrono::system_clock::time_point now);
// The box for a file that could not be written whole (UTF-8: a file's name
// may hold what code page 936 cannot).
std::string ExportNotWrittenText(const std::string& pathUtf8);
// The info line after a written export (code page 936, '?' for what it cannot hold).
std::string ExportDoneLine936(const DeviceOps& ops, const std::string& pathUtf8);

// Reads the file at pathUtf8 into the pages, sending nothing; fields the file
// leaves out keep what the pages show. The box text (UTF-8) when the file
// does not read or a value is out of range; the pages are then as they were.
std::optional<std::string> ImportSettingsFile(DeviceOps& ops, const std::string& pathUtf8,
                                              const std::string& fileNameUtf8);

// "保存数据包记录...": the box for a record that could not be written, and the line after one that was.
std::string PacketRecordNotWrittenText(const std::string& pathUtf8);
std::string PacketRecordSavedLine936(const std::string& pathUtf8, size_t datagrams);

} // namespace vornik
