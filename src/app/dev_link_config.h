// For development only: the link pointed at the device simulator (see
// link/link_environment.h), and the demo's mark in the title.
//   VORNIK_DEMO=1   the devices are simulated (scripts/run --demo): the title says so
#pragma once

#include <string>

#include "link/link_environment.h"

namespace vornik {

// What the title gains when VORNIK_DEMO is set (UTF-8), so that simulated
// devices are never taken for real ones; empty otherwise.
std::string DemoTitleMark();

} // namespace vornik
