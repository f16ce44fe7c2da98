// The one info line that says how a write's read-back compares with what was
// written: confirmed, each field that differs by its on-screen label
// (written → read), or that no read-back came. The comparison is the
// settings table's, the one vornikctl confirms its writes with.
#pragma once

#include <string>
#include <vector>

#include "proto/mac_address.h"
#include "settings/fields.h"

namespace vornik {

// Code page 936, ending in "\r\n".
std::string ReadBackLine936(const MacAddress& mac, settings::Block block,
                            const std::vector<settings::Difference>& differences);
// The differences alone, each as "label old → new", joined by "，".
std::string DifferencesText936(settings::Block block, const std::vector<settings::Difference>& differences);
std::string NoReadBackLine936(const MacAddress& mac, settings::Block block);

} // namespace vornik
