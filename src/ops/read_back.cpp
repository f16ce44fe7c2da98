#include "ops/read_back.h"

#include "ops/drop_downs.h"
#include "ops/page_checks.h"
#include "ops/text.h"
#include "proto/cp936.h"

namespace vornik {

using text::Cp936;

namespace {


std::string BlockName936(settings::Block block)
{
    return Cp936(block == settings::Block::Network ? QT_TRANSLATE_NOOP("vornik::text", "网络参数")
                                                 : QT_TRANSLATE_NOOP("vornik::text", "设备参数"));
}

std::string Device936(const MacAddress &mac)
{
    return Cp936(QT_TRANSLATE_NOOP("vornik::text", "设备 ")) + FormatMacText(mac);
}

} // namespace

std::string ReadBackLine936(const MacAddress& mac, settings::Block block,
                            const std::vector<settings::Difference>& differences)
{
    if (differences.empty())
        return Cp936(QT_TRANSLATE_NOOP("vornik::text", "读回确认：")) + Device936(mac) +
               Cp936(QT_TRANSLATE_NOOP("vornik::text", " 的")) + BlockName936(block) +
               Cp936(QT_TRANSLATE_NOOP("vornik::text", "已写入\r\n"));
    return Cp936(QT_TRANSLATE_NOOP("vornik::text", "读回与写入不同：")) + Device936(mac) +
           Cp936(QT_TRANSLATE_NOOP("vornik::text", " 的 ")) + DifferencesText936(block, differences) + "\r\n";
}

std::string DifferencesText936(settings::Block block, const std::vector<settings::Difference>& differences)
{
    std::string text;
    for (size_t i = 0; i < differences.size(); ++i) {
        const settings::Difference& d = differences[i];
        text += (i ? Cp936(QT_TRANSLATE_NOOP("vornik::text", "，")) : std::string()) + FieldLabel936(block, d.field) +
                " " + Cp936(ShownValue(block, d.field, d.expected)) + Cp936(QT_TRANSLATE_NOOP("vornik::text", " → ")) +
                Cp936(ShownValue(block, d.field, d.actual));
    }
    return text;
}

std::string NoReadBackLine936(const MacAddress& mac, settings::Block block)
{
    return Cp936(QT_TRANSLATE_NOOP("vornik::text", "未能确认写入：")) + Device936(mac) +
           Cp936(QT_TRANSLATE_NOOP("vornik::text", " 在3秒内没有读回")) + BlockName936(block) + "\r\n";
}

} // namespace vornik
