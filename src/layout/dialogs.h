// The window's dialogs as templates: every control with its kind, id, place
// in dialog units and text, in template order (which is the keyboard's tab
// order). The Qt window builds its dialogs from these rows and the Windows
// build compiles them into its resource script, so the two windows cannot
// drift apart. No Qt, no Windows.
#pragma once

#include <string>
#include <vector>

namespace vornik::settings {
enum class Block;
}

namespace vornik::layout {

// Resource numbers of the templates, icons and strings.
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDS_ABOUTBOX = 101;
inline constexpr int IDD_SETUP_DIALOG = 102;
inline constexpr int IDR_MAINFRAME = 128; // the program's icon
inline constexpr int IDI_WRITE = 133;
inline constexpr int IDI_DEFAULTS = 135;
inline constexpr int IDD_NET_PAGE = 137;
inline constexpr int IDD_DEV_PAGE = 138;
inline constexpr int IDD_HISTORY = 140;

// The pages sit inside the tab control's client area (in pixels), clear of the tabs.
inline constexpr int kPageInsetLeft = 8;
inline constexpr int kPageInsetTop = 20;
inline constexpr int kPageInsetRight = 8;
inline constexpr int kPageInsetBottom = 8;
// The icon buttons' icons are loaded at this size, in pixels.
inline constexpr int kButtonIconSize = 25;

// The history dialog's controls.
inline constexpr int IDC_HISTORY_LIST = 1200;
inline constexpr int IDC_HISTORY_HEADING = 1201;
inline constexpr int IDC_HISTORY_FILL = 1202;

// The dialog ids every system gives its OK and Cancel buttons.
inline constexpr int ID_OK = 1;
inline constexpr int ID_CANCEL = 2;

enum class Kind {
    Group,         // a frame with a title around other controls
    Label,         // static text, left-aligned from its top
    SourceLabel,   // sunken static text: where a page's values came from
    Icon,          // an icon resource (Control::icon), drawn at the system's icon size
    Edit,          // single line, bordered, scrolls horizontally, no length limit
    ReadOnlyEdit,  // the same, not typed into
    InfoEdit,      // multi-line, vertical scroll bar, scrolls itself down, upper case
    DropDown,      // an editable text field over a list; the height includes the list
    Button,        // a push button that is not the default
    DefaultButton, // the push button Enter presses
    CancelButton,  // the push button Esc presses
    List,          // report-view list, single selection, the selection kept shown
    Tab,           // tab control with fixed-width tabs
};

struct Rect {
    int x, y, width, height;
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Control {
    Kind kind;
    int id = 0; // 0: no id (a static the logic never reaches)
    Rect at{};
    std::string text{};  // UTF-8
    // The settings field the control shows, or whose label a label is ("ip",
    // "server3.target-port"): its label in the settings table is the label's
    // text and the control's accessible name.
    std::string field{};
    bool colon = false;  // a label of a field: the field's label and "："
    std::string name{};  // accessible name where no field gives one
    int icon = 0;        // Icon: the icon resource shown
};

enum class Frame {
    Main,  // caption, system menu, modal frame, no minimise or maximise box, in the task bar
    Box,   // a modal box over the main window
    Child, // a page: no caption, no border, inside its parent
};

struct Dialog {
    int resource;
    std::string title; // UTF-8; none for a page
    int width, height; // dialog units
    Frame frame;
    settings::Block block; // the block whose fields the controls show
    std::vector<Control> controls;
    // The font every template is in.
    static constexpr const char* kFontFace = "宋体";
    static constexpr int kFontPoints = 9;
};

const Dialog& MainDialog();
const Dialog& NetworkPage();
const Dialog& DevicePage();
const Dialog& AboutBox();
const Dialog& HistoryDialog();

// All five, in resource order.
std::vector<const Dialog*> AllDialogs();

// The text a control shows: a field's label (with "：" where it has a colon)
// or its own text.
std::string ControlText(const Dialog& dialog, const Control& control);
// What a screen reader names the control; empty where the control's own
// text or its label does.
std::string AccessibleName(const Dialog& dialog, const Control& control);

// The control with the id; nullptr when the dialog has none.
const Control* Find(const Dialog& dialog, int id);
// The control a label with a field names, where that control is a drop-down:
// some platforms name a drop-down by its current text, so its label is tied
// to it by relation. nullptr otherwise.
const Control* LabelledDropDown(const Dialog& dialog, const Control& label);

} // namespace vornik::layout
