#include "ops/page_checks.h"

#include <stdexcept>

#include "ops/control_ids.h"
#include "ops/text.h"
#include "proto/cp936.h"

namespace vornik {

using text::Cp936;

namespace {

using settings::Block;

PageField Field(int control, Block block, const std::string& name)
{
    const settings::FieldInfo* info = settings::FindField(block, name);
    if (!info) throw std::logic_error("no settings field " + name + " for control " + std::to_string(control));
    return {control, block, name};
}

} // namespace

const std::vector<PageField>& NetworkPageFields()
{
    static const std::vector<PageField> fields = [] {
        std::vector<PageField> f;
        for (const EditField& e : NETWORK_EDIT_FIELDS) f.push_back(Field(e.control, Block::Network, e.field));
        for (size_t k = 0; k < SERVER_CONTROL_IDS.size(); ++k)
            for (const auto& e : SERVER_EDIT_FIELDS)
                f.push_back(Field(SERVER_CONTROL_IDS[k].*e.control, Block::Network,
                                  "server" + std::to_string(k + 1) + "." + e.field));
        return f;
    }();
    return fields;
}

const std::vector<PageField>& DevicePageFields()
{
    static const std::vector<PageField> fields = [] {
        std::vector<PageField> f;
        for (const EditField& e : DEVICE_EDIT_FIELDS) f.push_back(Field(e.control, Block::Device, e.field));
        for (size_t c = 0; c < CHANNEL_ADDRESS_IDS.size(); ++c) {
            const std::string channel = "channel" + std::to_string(c + 1) + ".";
            f.push_back(Field(CHANNEL_ADDRESS_IDS[c], Block::Device, channel + "address"));
            for (const auto& e : LIMIT_EDIT_FIELDS)
                f.push_back(Field(LimitEditIds[c].*e.control, Block::Device, channel + e.field));
        }
        return f;
    }();
    return fields;
}

std::string FieldLabel936(settings::Block block, const std::string& field)
{
    const auto label = settings::LabelZh(block, field);
    return label ? Cp936(*label) : field;
}

std::string SettingsErrorText936(const settings::InputError& error, const std::string& path936)
{
    using settings::Problem;
    // "network.server3.target-port" by the label of the field it names; a key
    // that names none as the file has it.
    const settings::FieldInfo* info = nullptr;
    std::string label = error.field;
    for (const auto& [prefix, block] : {std::pair{"network.", Block::Network}, std::pair{"device.", Block::Device}})
        if (error.field.rfind(prefix, 0) == 0) {
            const std::string_view name = std::string_view(error.field).substr(std::string_view(prefix).size());
            info = settings::FindField(block, name);
            if (const auto known = settings::LabelZh(block, name)) label = *known;
        }
    const std::string field = Cp936("字段 " + label);
    switch (error.problem) {
    case Problem::Value:
        return Cp936(QT_TRANSLATE_NOOP("vornik::text", "字段 ")) + settings::RefusalZh(label, Cp936FromUtf8Lossy(error.text),
                                                   info ? info->acceptsZh : std::string(), Cp936FromUtf8Lossy);
    case Problem::UnknownField: return Cp936(QT_TRANSLATE_NOOP("vornik::text", "文件中有未知的字段 ")) + Cp936FromUtf8Lossy(error.field);
    case Problem::NotJson: return Cp936(QT_TRANSLATE_NOOP("vornik::text", "文件不是有效的JSON"));
    case Problem::NumberTooLarge: return field + Cp936(QT_TRANSLATE_NOOP("vornik::text", "：数值太大"));
    case Problem::GivenTwice: return field + Cp936(QT_TRANSLATE_NOOP("vornik::text", "在文件中出现了两次"));
    case Problem::WrongType:
        return error.field.empty() ? Cp936(QT_TRANSLATE_NOOP("vornik::text", "文件的内容不是参数文件应有的结构"))
                                   : field + Cp936(QT_TRANSLATE_NOOP("vornik::text", "：应为数字或文字（network 和 device 应为对象）"));
    case Problem::Format: return Cp936(QT_TRANSLATE_NOOP("vornik::text", "文件的 \"format\" 应为 \"vornik-settings\""));
    case Problem::Version: return Cp936(QT_TRANSLATE_NOOP("vornik::text", "文件的 \"version\" 应为 1"));
    case Problem::FileUnreadable: return Cp936(QT_TRANSLATE_NOOP("vornik::text", "无法读取文件 ")) + path936;
    case Problem::FileNotRegular: return path936 + Cp936(QT_TRANSLATE_NOOP("vornik::text", " 不是普通文件"));
    case Problem::FileTooLarge: return path936 + Cp936(QT_TRANSLATE_NOOP("vornik::text", " 大于1 MiB，不是参数文件"));
    case Problem::Other: break;
    }
    return Cp936(QT_TRANSLATE_NOOP("vornik::text", "文件无法使用：")) + field;
}

std::string Refusal936(const PageField& field, const std::string& text936)
{
    return settings::RefusalZh(*settings::FindField(field.block, field.field), text936, Cp936FromUtf8Lossy);
}

std::optional<std::string> RefusalOf(const PageField& field, const std::string& text936)
{
    const auto checked = settings::ParseField(field.block, field.field, Utf8FromCp936(text936));
    if (!std::holds_alternative<settings::InputError>(checked)) return std::nullopt;
    return Refusal936(field, text936) + Cp936(QT_TRANSLATE_NOOP("vornik::text", "。未发送任何数据。"));
}

} // namespace vornik
