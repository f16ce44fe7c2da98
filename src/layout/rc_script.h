// The resource script (.rc) of the Windows window: the dialog templates of
// dialogs.h, the icons and the string table, for windres.
#pragma once

#include <string>

#include "layout/dialogs.h"

namespace vornik::layout {

// Where the icon files are when windres reads the script.
struct IconFiles {
    std::string program; // IDR_MAINFRAME
    std::string write;   // IDI_WRITE
    std::string defaults; // IDI_DEFAULTS
};

// One template as the resource compiler reads it.
std::string DialogScript(const Dialog& dialog);
// The whole script: UTF-8, for "#pragma code_page(65001)".
std::string ResourceScript(const IconFiles& icons);

// A text between double quotes as a resource script writes it.
std::string Quoted(const std::string& text);

} // namespace vornik::layout
