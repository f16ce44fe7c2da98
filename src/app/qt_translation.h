// Qt's own standard texts (message-box buttons, the edits' context menus) in
// Simplified Chinese, to match the window.
#pragma once

class QTranslator;

namespace vornik {

// Loads qtbase_zh_CN from Qt's translations folder into translator and
// installs it on the application; false (texts stay English) where the
// translation is not installed.
bool InstallQtChineseTranslation(QTranslator& translator);

} // namespace vornik
