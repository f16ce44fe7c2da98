// The dialogs' table against the window's design: sizes, places, ids, texts
// and the order of the templates, row by row as the design gives them.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "layout/dialogs.h"

namespace vornik::layout {
namespace {

struct Row {
    const char* what;
    int id;
    Kind kind;
    Rect at;
    std::string text; // as shown; empty: not checked
};

void ExpectRows(const Dialog& d, const std::vector<Row>& rows)
{
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        const Control* c = Find(d, r.id);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->kind, r.kind);
        EXPECT_EQ(c->at, r.at);
        if (!r.text.empty()) {
            EXPECT_EQ(ControlText(d, *c), r.text);
        }
    }
}

TEST(MainDialogTable, EveryControlOfTheDesign)
{
    const Dialog& d = MainDialog();
    EXPECT_EQ(d.resource, 102);
    EXPECT_EQ(d.title, "Vornik多探头 V2.0");
    EXPECT_EQ(d.width, 579);
    EXPECT_EQ(d.height, 366);
    EXPECT_EQ(d.frame, Frame::Main);
    ExpectRows(d, {
        {"local address", 1005, Kind::ReadOnlyEdit, {15, 25, 74, 14}, ""},
        {"local port", 1006, Kind::ReadOnlyEdit, {106, 25, 40, 14}, ""},
        {"search", 1002, Kind::Button, {157, 22, 77, 21}, "搜索"},
        {"list label", 1000, Kind::Label, {12, 52, 56, 8}, "设备列表"},
        {"device list", 1001, Kind::List, {7, 64, 240, 143}, ""},
        {"info area", 1007, Kind::InfoEdit, {7, 227, 240, 131}, ""},
        {"tab control", 1047, Kind::Tab, {254, 7, 315, 352}, ""},
    });
    // The two statics without ids.
    std::vector<std::pair<std::string, Rect>> statics;
    for (const Control& c : d.controls)
        if (c.id == 0) statics.emplace_back(ControlText(d, c), c.at);
    const std::vector<std::pair<std::string, Rect>> expected = {{"本机信息", {7, 7, 236, 41}},
                                                                {"信息提示区", {7, 212, 41, 8}}};
    EXPECT_EQ(statics, expected);
}

TEST(AboutBoxTable, IconNameAndOk)
{
    const Dialog& d = AboutBox();
    EXPECT_EQ(d.resource, 100);
    EXPECT_EQ(d.title, "关于 Vornik多探头 V2.0");
    EXPECT_EQ(d.width, 235);
    EXPECT_EQ(d.height, 55);
    ExpectRows(d, {{"OK", 1, Kind::DefaultButton, {178, 6, 50, 14}, "确定"}});
    ASSERT_EQ(d.controls.size(), 3u);
    EXPECT_EQ(d.controls[0].kind, Kind::Icon);
    EXPECT_EQ(d.controls[0].icon, 128);
    EXPECT_EQ(d.controls[0].at.x, 11);
    EXPECT_EQ(d.controls[0].at.y, 17);
    EXPECT_EQ(ControlText(d, d.controls[1]), "Vornik多探头 V2.0");
    EXPECT_EQ(d.controls[1].at.x, 40);
    EXPECT_EQ(d.controls[1].at.y, 10);
}

TEST(NetworkPageTable, GroupsEditsAndTheRowsBelow)
{
    const Dialog& d = NetworkPage();
    EXPECT_EQ(d.resource, 137);
    EXPECT_EQ(d.width, 295);
    EXPECT_EQ(d.height, 337);
    EXPECT_EQ(d.frame, Frame::Child);
    const std::vector<std::pair<std::string, Rect>> groups = {
        {"服务器1", {0, 3, 123, 55}},    {"服务器2", {148, 3, 133, 55}}, {"服务器3", {0, 60, 123, 55}},
        {"服务器4", {148, 60, 133, 55}}, {"服务器5", {0, 119, 124, 55}}, {"服务器6", {148, 119, 134, 55}},
        {"服务器7", {0, 178, 123, 55}},  {"服务器8", {148, 178, 134, 55}},
    };
    std::vector<std::pair<std::string, Rect>> found;
    for (const Control& c : d.controls)
        if (c.kind == Kind::Group) found.emplace_back(ControlText(d, c), c.at);
    EXPECT_EQ(found, groups);
    ExpectRows(d, {
        {"server 1 target port", 1016, Kind::Edit, {52, 15, 31, 12}, ""},
        {"server 4 target address", 1032, Kind::Edit, {202, 83, 74, 12}, ""},
        {"server 7 target address", 1041, Kind::Edit, {52, 200, 67, 12}, ""},
        {"server 8 local port", 1043, Kind::Edit, {202, 215, 31, 12}, ""},
        {"ip", 1020, Kind::Edit, {52, 244, 68, 12}, ""},
        {"ip mode", 1021, Kind::DropDown, {201, 243, 50, 35}, ""},
        {"max connections", 1046, Kind::DropDown, {201, 259, 36, 69}, ""},
        {"write", 1024, Kind::Button, {33, 308, 53, 22}, "参数配置"},
        {"defaults", 1025, Kind::Button, {130, 308, 49, 22}, "载入默认"},
        {"write MAC", 1031, Kind::Button, {184, 295, 44, 12}, "写MAC"},
    });
}

// The statics of a page by text and place, for the labels the table words
// through the settings fields.
bool HasLabel(const Dialog& d, const std::string& text, Rect at)
{
    for (const Control& c : d.controls)
        if (c.kind == Kind::Label && ControlText(d, c) == text && c.at == at) return true;
    return false;
}

TEST(NetworkPageTable, LabelsAsTheDesignWordsThem)
{
    const Dialog& d = NetworkPage();
    const std::vector<std::pair<std::string, Rect>> labels = {
        {"静态IP：", {7, 246, 41, 8}},     {"目标端口：", {5, 17, 45, 9}}, {"本地端口：", {156, 217, 44, 8}},
        {"目标地址：", {155, 145, 45, 8}}, {"MAC地址：", {149, 277, 47, 8}},
    };
    for (const auto& [text, at] : labels) EXPECT_TRUE(HasLabel(d, text, at)) << text;
}

// The ids of the controls the Tab key visits, in the table's order.
std::vector<int> TabOrder(const Dialog& d)
{
    std::vector<int> ids;
    for (const Control& c : d.controls)
        if (c.kind != Kind::Label && c.kind != Kind::Group && c.kind != Kind::SourceLabel && c.kind != Kind::Icon)
            ids.push_back(c.id);
    return ids;
}

TEST(NetworkPageTable, TabOrderPerServerBottomToTopThenBelowTheGrid)
{
    const std::vector<int> expected = {1014, 1015, 1016, 1056, 1057, 1058, 1026, 1027, 1028, 1029, 1032, 1033,
                                       1034, 1035, 1036, 1037, 1038, 1039, 1040, 1041, 1042, 1043, 1044, 1045,
                                       1024, 1025, 1018, 1019, 1020, 1021, 1030, 1031, 1046};
    EXPECT_EQ(TabOrder(NetworkPage()), expected);
}

TEST(DevicePageTable, TemplateOrderAsDesigned)
{
    const Dialog& d = DevicePage();
    EXPECT_EQ(d.resource, 138);
    EXPECT_EQ(d.width, 316);
    EXPECT_EQ(d.height, 339);
    // Each row: the id, or the label's text; the page's own source line left out.
    std::vector<std::string> expected = {"1049", "1048", "1050", "服务器数量", "终端地址：", "1051",
                                         "登陆帧间隔时间：", "1052", "心跳包间隔时间：", "1053",
                                         "主动上送帧间隔时间：", "1054", "工作模式：", "1055", "485口波特率：",
                                         "1056", "Modbus终端数量(1-8)：", "1057"};
    for (int k = 1; k <= 8; ++k) {
        expected.push_back(std::to_string(k) + "号通道地址：");
        expected.push_back(std::to_string(1057 + k));
    }
    for (const char* s : {"1066", "1012", "1068", "秒", "秒", "秒", "MODBUS参数"}) expected.push_back(s);
    for (int id = 1069; id <= 1101; ++id)
        if (id != 1092) expected.push_back(std::to_string(id));
    for (const char* s : {"温度上限", "温度下限", "湿度上限", "湿度下限"}) expected.push_back(s);

    std::vector<std::string> rows;
    for (const Control& c : d.controls) {
        if (c.kind == Kind::SourceLabel) continue;
        rows.push_back(c.id != 0 ? std::to_string(c.id) : ControlText(d, c));
    }
    EXPECT_EQ(rows, expected);
}

TEST(DevicePageTable, PlacesOfTheGridAndItsNeighbours)
{
    const Dialog& d = DevicePage();
    ExpectRows(d, {
        {"channel 1 address", 1058, Kind::Edit, {99, 177, 40, 14}, ""},
        {"channel 8 address", 1065, Kind::Edit, {99, 289, 40, 14}, ""},
        {"upper temperature, channel 1", 1069, Kind::Edit, {146, 178, 27, 13}, ""},
        {"upper humidity, channel 7", 1091, Kind::Edit, {218, 274, 27, 13}, ""},
        {"upper humidity, channel 8", 1093, Kind::Edit, {218, 290, 27, 13}, ""},
        {"lower humidity, channel 8", 1101, Kind::Edit, {254, 290, 27, 13}, ""},
        {"stop bits", 1068, Kind::DropDown, {232, 129, 21, 65}, ""},
        {"work mode", 1055, Kind::DropDown, {113, 112, 94, 59}, ""},
    });
    EXPECT_EQ(Find(d, 1092), nullptr);
    EXPECT_TRUE(HasLabel(d, "湿度下限", {254, 161, 36, 12}));
    EXPECT_TRUE(HasLabel(d, "8号通道地址：", {39, 292, 53, 8}));
}

TEST(AllDialogs, IdsOnceEachAndEveryControlInside)
{
    for (const Dialog* d : AllDialogs()) {
        SCOPED_TRACE(d->resource);
        std::set<int> ids;
        for (const Control& c : d->controls) {
            if (c.id != 0) {
                EXPECT_TRUE(ids.insert(c.id).second) << "id " << c.id << " twice";
            }
            EXPECT_GE(c.at.x, 0) << c.id;
            EXPECT_GE(c.at.y, 0) << c.id;
            // Drop-downs' heights hold their lists, which may reach past the page.
            if (c.kind != Kind::DropDown) {
                EXPECT_LE(c.at.y + c.at.height, d->height) << c.id;
            }
            EXPECT_LE(c.at.x + c.at.width, d->width) << c.id;
        }
    }
}

// Statics carry no id of their own (the resource compiler's -1): asking for
// id 0, as a table row with no control does, finds none of them.
TEST(AllDialogs, NoIdFindsNoControl)
{
    size_t withStatics = 0;
    for (const Dialog* d : AllDialogs()) {
        SCOPED_TRACE(d->resource);
        withStatics += std::any_of(d->controls.begin(), d->controls.end(), [](const Control& c) { return c.id == 0; });
        EXPECT_EQ(Find(*d, 0), nullptr);
    }
    EXPECT_GE(withStatics, 3u) << "the main window and both pages have labels";
}

TEST(AllDialogs, NamesForScreenReaders)
{
    struct Case {
        const Dialog& dialog;
        int id;
        std::string name;
    };
    const std::vector<Case> cases = {
        {MainDialog(), 1005, "本机IP地址"},
        {MainDialog(), 1001, "设备列表"},
        {NetworkPage(), 1058, "服务器2 目标端口"},
        {NetworkPage(), 1020, "静态IP"},
        {NetworkPage(), 1030, "MAC地址"},
        {DevicePage(), 1050, "服务器数量"},
        {DevicePage(), 1093, "8号通道 湿度上限"},
        {DevicePage(), 1057, "Modbus终端数量(1-8)"},
    };
    for (const Case& c : cases) {
        const Control* control = Find(c.dialog, c.id);
        ASSERT_NE(control, nullptr) << c.id;
        EXPECT_EQ(AccessibleName(c.dialog, *control), c.name) << c.id;
    }
    // Texts of their own need no names.
    EXPECT_EQ(AccessibleName(MainDialog(), *Find(MainDialog(), 1002)), "");
}

TEST(AllDialogs, LabelsTiedToTheirDropDowns)
{
    struct Case {
        const Dialog& dialog;
        std::string label;
        int dropDown; // 0: none
    };
    const std::vector<Case> cases = {
        {NetworkPage(), "IP获取方式：", 1021}, {NetworkPage(), "最大连接数量：", 1046},
        {DevicePage(), "服务器数量", 1050},    {DevicePage(), "工作模式：", 1055},
        {NetworkPage(), "静态IP：", 0},        {DevicePage(), "485口波特率：", 0},
    };
    for (const Case& c : cases) {
        const Control* label = nullptr;
        for (const Control& row : c.dialog.controls)
            if (row.kind == Kind::Label && ControlText(c.dialog, row) == c.label) label = &row;
        ASSERT_NE(label, nullptr) << c.label;
        const Control* tied = LabelledDropDown(c.dialog, *label);
        EXPECT_EQ(tied ? tied->id : 0, c.dropDown) << c.label;
    }
}

} // namespace
} // namespace vornik::layout
