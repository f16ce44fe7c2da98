#include "pages/cp936.h"

#include "proto/cp936.h"

namespace vornik {

QString FromCp936(std::string_view text936) { return QString::fromStdString(Utf8FromCp936(text936)); }

std::string ToCp936(const QString& text) { return Cp936FromUtf8Lossy(text.toStdString()); }

} // namespace vornik
