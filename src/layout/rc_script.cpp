#include "layout/rc_script.h"

#include <string>

#include "layout/dialogs.h"

namespace vornik::layout {

namespace {

std::string Place(const Rect& at)
{
    return std::to_string(at.x) + ", " + std::to_string(at.y) + ", " + std::to_string(at.width) + ", " +
           std::to_string(at.height);
}

// A static without an id is the resource compiler's -1 (IDC_STATIC).
std::string Id(int id) { return id == 0 ? "-1" : std::to_string(id); }

std::string Line(const Dialog& d, const Control& c)
{
    const std::string text = Quoted(ControlText(d, c));
    const std::string at = Place(c.at);
    const std::string id = Id(c.id);
    switch (c.kind) {
    case Kind::Group: return "GROUPBOX " + text + ", " + id + ", " + at;
    case Kind::Label: return "LTEXT " + text + ", " + id + ", " + at;
    case Kind::SourceLabel: return "LTEXT " + text + ", " + id + ", " + at + ", SS_SUNKEN | SS_NOPREFIX";
    case Kind::Icon: return "ICON " + std::to_string(c.icon) + ", " + id + ", " + at;
    case Kind::Edit: return "EDITTEXT " + id + ", " + at + ", ES_AUTOHSCROLL";
    case Kind::ReadOnlyEdit: return "EDITTEXT " + id + ", " + at + ", ES_AUTOHSCROLL | ES_READONLY";
    case Kind::InfoEdit:
        return "EDITTEXT " + id + ", " + at + ", ES_MULTILINE | ES_UPPERCASE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL";
    case Kind::DropDown: return "COMBOBOX " + id + ", " + at + ", CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP";
    case Kind::Button:
    case Kind::CancelButton: return "PUSHBUTTON " + text + ", " + id + ", " + at;
    case Kind::DefaultButton: return "DEFPUSHBUTTON " + text + ", " + id + ", " + at;
    case Kind::List:
        return "CONTROL " + text + ", " + id + ", \"SysListView32\", " +
               "LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_BORDER | WS_TABSTOP, " + at;
    case Kind::Tab: return "CONTROL " + text + ", " + id + ", \"SysTabControl32\", TCS_FIXEDWIDTH | WS_TABSTOP, " + at;
    }
    return {};
}

std::string Style(Frame frame)
{
    switch (frame) {
    case Frame::Main:
        return "STYLE DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU\nEXSTYLE WS_EX_APPWINDOW\n";
    case Frame::Box: return "STYLE DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU\n";
    case Frame::Child: return "STYLE DS_SETFONT | DS_CONTROL | WS_CHILD\nEXSTYLE WS_EX_CONTROLPARENT\n";
    }
    return {};
}

} // namespace

std::string Quoted(const std::string& text)
{
    std::string out = "\"";
    for (char ch : text) {
        if (ch == '"') out += "\"\"";
        else if (ch == '\\') out += "\\\\";
        else if (ch == '\n') out += "\\n";
        else out += ch;
    }
    return out + "\"";
}

std::string DialogScript(const Dialog& d)
{
    std::string out = std::to_string(d.resource) + " DIALOGEX 0, 0, " + std::to_string(d.width) + ", " +
                      std::to_string(d.height) + "\n" + Style(d.frame);
    if (d.frame != Frame::Child) out += "CAPTION " + Quoted(d.title) + "\n";
    // GB2312's character set, as the face is a Chinese one.
    out += "FONT " + std::to_string(Dialog::kFontPoints) + ", " + Quoted(Dialog::kFontFace) + ", 400, 0, 0x86\n";
    out += "BEGIN\n";
    for (const Control& c : d.controls) out += "    " + Line(d, c) + "\n";
    return out + "END\n";
}

std::string ResourceScript(const IconFiles& icons)
{
    std::string out = "// The window's dialogs, icons and strings, made from the layout table by vornik_rcgen.\n"
                      "#pragma code_page(65001)\n#include <windows.h>\n#include <commctrl.h>\n\n";
    out += std::to_string(IDR_MAINFRAME) + " ICON " + Quoted(icons.program) + "\n";
    out += std::to_string(IDI_WRITE) + " ICON " + Quoted(icons.write) + "\n";
    out += std::to_string(IDI_DEFAULTS) + " ICON " + Quoted(icons.defaults) + "\n\n";
    out += "STRINGTABLE\nBEGIN\n    " + std::to_string(IDS_ABOUTBOX) + ", " + Quoted("关于 Vornik_Setup(&A)...") +
           "\nEND\n";
    for (const Dialog* d : AllDialogs()) out += "\n" + DialogScript(*d);
    return out;
}

} // namespace vornik::layout
