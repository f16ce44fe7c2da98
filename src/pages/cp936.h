// The logic and the devices speak code page 936; the widgets speak QString.
// Both directions go through the core's one converter.
#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace vornik {

QString FromCp936(std::string_view text936);
// Characters that code page 936 lacks become '?'.
std::string ToCp936(const QString& text);

} // namespace vornik
