// The typed fields of the two pages that a write takes, each with the field
// of the settings table whose check it must pass (the one vornikctl uses),
// its label and what it accepts in the window's words: both from that same
// table, here in code page 936.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "settings/fields.h"

namespace vornik {

struct PageField {
    int control;
    settings::Block block;
    std::string field; // "server3.target-port"
};

const std::vector<PageField>& NetworkPageFields();
const std::vector<PageField>& DevicePageFields();

// "服务器3 目标端口：“70000”无效，应为0到65535的整数" (code page 936) for the
// page's text of the field, the text as the page holds it.
std::string Refusal936(const PageField& field, const std::string& text936);

// The message box text (code page 936) when the field refuses the page's
// text; nothing when the text passes.
std::optional<std::string> RefusalOf(const PageField& field, const std::string& text936);

// The on-screen label (code page 936) of any field of the settings table,
// drop-downs and the bytes no field shows included, by its block and name
// ("channel1.temp-upper" is "1号通道 温度上限"); the name itself when the
// table has no such field.
std::string FieldLabel936(settings::Block block, const std::string& field);

// Why a settings file is refused, in the window's words (code page 936):
// fields by their labels ("字段 1号通道 温度上限：“3276.8”无效，应为…"),
// never the library's English sentence. path936 names the file.
std::string SettingsErrorText936(const settings::InputError& error, const std::string& path936);

} // namespace vornik
