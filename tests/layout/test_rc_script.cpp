// The resource script as windres reads it: the lines of the templates, with
// the places, ids, texts and styles the window's design gives, and texts
// quoted as resource scripts quote them.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "layout/rc_script.h"

namespace vornik::layout {
namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const size_t start = line.find_first_not_of(' ');
        lines.push_back(start == std::string::npos ? "" : line.substr(start));
    }
    return lines;
}

bool Has(const std::vector<std::string>& lines, const std::string& line)
{
    for (const std::string& l : lines)
        if (l == line) return true;
    return false;
}

const std::string& Script()
{
    static const std::string script = ResourceScript({"p.ico", "w.ico", "d.ico"});
    return script;
}

TEST(ResourceScript, LinesOfTheDesign)
{
    const std::vector<std::string> lines = Lines(Script());
    const std::vector<std::string> expected = {
        "#pragma code_page(65001)",
        "102 DIALOGEX 0, 0, 579, 366",
        "CAPTION \"Vornik多探头 V2.0\"",
        "FONT 9, \"宋体\", 400, 0, 0x86",
        "EXSTYLE WS_EX_APPWINDOW",
        "GROUPBOX \"本机信息\", -1, 7, 7, 236, 41",
        "EDITTEXT 1005, 15, 25, 74, 14, ES_AUTOHSCROLL | ES_READONLY",
        "PUSHBUTTON \"搜索\", 1002, 157, 22, 77, 21",
        "LTEXT \"设备列表\", 1000, 12, 52, 56, 8",
        "CONTROL \"\", 1001, \"SysListView32\", LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_BORDER | "
        "WS_TABSTOP, 7, 64, 240, 143",
        "EDITTEXT 1007, 7, 227, 240, 131, ES_MULTILINE | ES_UPPERCASE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL",
        "CONTROL \"\", 1047, \"SysTabControl32\", TCS_FIXEDWIDTH | WS_TABSTOP, 254, 7, 315, 352",
        "137 DIALOGEX 0, 0, 295, 337",
        "GROUPBOX \"服务器8\", -1, 148, 178, 134, 55",
        "LTEXT \"静态IP：\", -1, 7, 246, 41, 8",
        "EDITTEXT 1020, 52, 244, 68, 12, ES_AUTOHSCROLL",
        "COMBOBOX 1021, 201, 243, 50, 35, CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP",
        "PUSHBUTTON \"写MAC\", 1031, 184, 295, 44, 12",
        "138 DIALOGEX 0, 0, 316, 339",
        "LTEXT \"主动上送帧间隔时间：\", -1, 22, 95, 81, 8",
        "EDITTEXT 1093, 218, 290, 27, 13, ES_AUTOHSCROLL",
        "100 DIALOGEX 0, 0, 235, 55",
        "CAPTION \"关于 Vornik多探头 V2.0\"",
        "ICON 128, -1, 11, 17, 21, 20",
        "DEFPUSHBUTTON \"确定\", 1, 178, 6, 50, 14",
        "101, \"关于 Vornik_Setup(&A)...\"",
        "128 ICON \"p.ico\"",
        "133 ICON \"w.ico\"",
        "135 ICON \"d.ico\"",
    };
    for (const std::string& line : expected) EXPECT_TRUE(Has(lines, line)) << line;
}

// A template's lines from its DIALOGEX line to its END.
std::vector<std::string> Template(int resource)
{
    const std::vector<std::string> lines = Lines(Script());
    std::vector<std::string> out;
    bool in = false;
    for (const std::string& l : lines) {
        if (l.rfind(std::to_string(resource) + " DIALOGEX", 0) == 0) in = true;
        if (in) out.push_back(l);
        if (in && l == "END") break;
    }
    return out;
}

TEST(ResourceScript, PagesAreChildrenWithoutCaption)
{
    for (int page : {137, 138}) {
        const std::vector<std::string> t = Template(page);
        ASSERT_FALSE(t.empty()) << page;
        EXPECT_TRUE(Has(t, "STYLE DS_SETFONT | DS_CONTROL | WS_CHILD")) << page;
        for (const std::string& l : t) EXPECT_NE(l.rfind("CAPTION", 0), 0u) << page;
    }
    // The main window has no minimise or maximise box.
    for (const std::string& l : Template(102)) {
        EXPECT_EQ(l.find("WS_MINIMIZEBOX"), std::string::npos);
        EXPECT_EQ(l.find("WS_MAXIMIZEBOX"), std::string::npos);
    }
}

TEST(ResourceScript, EveryControlOnceInTableOrder)
{
    for (const Dialog* d : AllDialogs()) {
        const std::vector<std::string> t = Template(d->resource);
        // DIALOGEX, STYLE, [EXSTYLE], [CAPTION], FONT, BEGIN, controls, END.
        size_t begin = 0;
        while (begin < t.size() && t[begin] != "BEGIN") ++begin;
        ASSERT_LT(begin, t.size()) << d->resource;
        EXPECT_EQ(t.size() - begin - 2, d->controls.size()) << d->resource;
    }
    // The device page's limit grid, column by column.
    const std::vector<std::string> t = Template(138);
    std::vector<std::string> limits;
    for (const std::string& l : t)
        if (l.rfind("EDITTEXT ", 0) == 0 && l.find(", 27, 13,") != std::string::npos) limits.push_back(l.substr(9, 4));
    ASSERT_EQ(limits.size(), 32u);
    EXPECT_EQ(limits.front(), "1069");
    EXPECT_EQ(limits[8], "1077");
    EXPECT_EQ(limits[23], "1093");
    EXPECT_EQ(limits.back(), "1101");
}

TEST(ResourceScript, QuotesAsResourceScriptsDo)
{
    struct Case {
        const char* what;
        std::string text;
        std::string quoted;
    };
    const std::vector<Case> cases = {
        {"plain", "搜索", "\"搜索\""},
        {"a double quote doubled", "单击\"搜索\"", "\"单击\"\"搜索\"\"\""},
        {"a backslash escaped", "C:\\vornik", "\"C:\\\\vornik\""},
        {"a line break as \\n", "a\nb", "\"a\\nb\""},
        {"empty", "", "\"\""},
    };
    for (const Case& c : cases) EXPECT_EQ(Quoted(c.text), c.quoted) << c.what;
}

} // namespace
} // namespace vornik::layout
