#include "app/dev_link_config.h"

#include <cstdlib>

namespace vornik {

std::string DemoTitleMark()
{
    const char* demo = std::getenv("VORNIK_DEMO");
    if (!demo || !*demo || std::string(demo) == "0") return {};
    return " — 演示（模拟设备）";
}

} // namespace vornik
