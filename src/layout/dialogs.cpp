#include "layout/dialogs.h"

#include <array>
#include <stdexcept>
#include <string>

#include "ops/control_ids.h"
#include "ops/text.h"
#include "settings/fields.h"

namespace vornik::layout {

namespace {

Control Static(std::string text, Rect at, int id = 0) { return {Kind::Label, id, at, std::move(text)}; }

Control FieldLabel(std::string field, Rect at, bool colon = true)
{
    Control c{Kind::Label, 0, at};
    c.field = std::move(field);
    c.colon = colon;
    return c;
}

Control Of(Kind kind, int id, Rect at, std::string field = {})
{
    Control c{kind, id, at};
    c.field = std::move(field);
    return c;
}

Control Named(Kind kind, int id, Rect at, std::string name)
{
    Control c{kind, id, at};
    c.name = std::move(name);
    return c;
}

Control Push(int id, std::string text, Rect at, Kind kind = Kind::Button) { return {kind, id, at, std::move(text)}; }

Control Group(std::string title, Rect at) { return {Kind::Group, 0, at, std::move(title)}; }

// One server group of the network page: its frame, and the three edits with
// their labels (target port, target address, local port, top to bottom).
struct ServerRows {
    Rect group;
    Rect targetPort, targetAddress, localPort;
    Rect targetPortLabel, targetAddressLabel, localPortLabel;
};

constexpr int kEditHeight = 12;
constexpr int kPortWidth = 31;

constexpr ServerRows Server(Rect group, int editX, int yTargetPort, int yTargetAddress, int addressWidth,
                            int yLocalPort, Rect targetPortLabel, Rect targetAddressLabel, Rect localPortLabel)
{
    return {group,
            {editX, yTargetPort, kPortWidth, kEditHeight},
            {editX, yTargetAddress, addressWidth, kEditHeight},
            {editX, yLocalPort, kPortWidth, kEditHeight},
            targetPortLabel,
            targetAddressLabel,
            localPortLabel};
}

// Odd servers on the left, even on the right, four rows.
constexpr std::array<ServerRows, 8> kServers = {{
    Server({0, 3, 123, 55}, 52, 15, 29, 68, 44, {5, 17, 45, 9}, {5, 32, 41, 8}, {6, 45, 48, 8}),
    Server({148, 3, 133, 55}, 202, 15, 29, 73, 44, {156, 17, 46, 8}, {156, 32, 41, 8}, {156, 45, 45, 8}),
    Server({0, 60, 123, 55}, 52, 69, 83, 67, 98, {6, 71, 42, 8}, {6, 86, 43, 8}, {6, 99, 43, 8}),
    Server({148, 60, 133, 55}, 202, 69, 83, 74, 98, {155, 71, 47, 8}, {155, 86, 46, 8}, {156, 99, 43, 8}),
    Server({0, 119, 124, 55}, 52, 128, 142, 67, 157, {5, 130, 44, 8}, {5, 145, 44, 8}, {6, 158, 45, 8}),
    Server({148, 119, 134, 55}, 202, 128, 142, 74, 157, {155, 130, 44, 8}, {155, 145, 45, 8}, {156, 158, 45, 8}),
    Server({0, 178, 123, 55}, 52, 187, 200, 67, 215, {5, 188, 43, 8}, {5, 203, 41, 8}, {6, 217, 45, 8}),
    Server({148, 178, 134, 55}, 202, 187, 200, 74, 215, {155, 188, 43, 8}, {155, 203, 47, 8}, {156, 217, 44, 8}),
}};

Dialog MakeMain()
{
    Dialog d{IDD_SETUP_DIALOG, QT_TRANSLATE_NOOP("vornik::layout", "Vornik多探头 V2.0"), 579, 366, Frame::Main, settings::Block::Network, {}};
    d.controls = {
        Group(QT_TRANSLATE_NOOP("vornik::layout", "本机信息"), {7, 7, 236, 41}),
        Named(Kind::ReadOnlyEdit, IDC_LOCAL_IP, {15, 25, 74, 14}, QT_TRANSLATE_NOOP("vornik::layout", "本机IP地址")),
        Named(Kind::ReadOnlyEdit, IDC_LOCAL_PORT, {106, 25, 40, 14}, QT_TRANSLATE_NOOP("vornik::layout", "本机端口")),
        Push(IDC_SEARCH, QT_TRANSLATE_NOOP("vornik::layout", "搜索"), {157, 22, 77, 21}),
        Static(QT_TRANSLATE_NOOP("vornik::layout", "设备列表"), {12, 52, 56, 8}, IDC_DEVICE_LIST_LABEL),
        Named(Kind::List, IDC_DEVICE_LIST, {7, 64, 240, 143}, QT_TRANSLATE_NOOP("vornik::layout", "设备列表")),
        Static(QT_TRANSLATE_NOOP("vornik::layout", "信息提示区"), {7, 212, 41, 8}),
        Named(Kind::InfoEdit, IDC_INFO, {7, 227, 240, 131}, QT_TRANSLATE_NOOP("vornik::layout", "信息提示区")),
        Of(Kind::Tab, IDC_TAB, {254, 7, 315, 352}),
    };
    return d;
}

Dialog MakeNetworkPage()
{
    Dialog d{IDD_NET_PAGE, "", 295, 337, Frame::Child, settings::Block::Network, {}};
    auto& c = d.controls;
    // Within a group the keyboard goes bottom to top. Each label comes just
    // before its edit: Windows names an edit for a screen reader after the
    // static text before it.
    for (size_t k = 0; k < kServers.size(); ++k) {
        const ServerRows& at = kServers[k];
        const ServerControls& ids = SERVER_CONTROL_IDS[k];
        const std::string server = "server" + std::to_string(k + 1) + ".";
        c.push_back(Group(QT_TRANSLATE_NOOP("vornik::layout", "服务器") + std::to_string(k + 1), at.group));
        c.push_back(Static(QT_TRANSLATE_NOOP("vornik::layout", "本地端口："), at.localPortLabel));
        c.push_back(Of(Kind::Edit, ids.localPort, at.localPort, server + "local-port"));
        c.push_back(Static(QT_TRANSLATE_NOOP("vornik::layout", "目标地址："), at.targetAddressLabel));
        c.push_back(Of(Kind::Edit, ids.targetAddress, at.targetAddress, server + "target-address"));
        c.push_back(Static(QT_TRANSLATE_NOOP("vornik::layout", "目标端口："), at.targetPortLabel));
        c.push_back(Of(Kind::Edit, ids.targetPort, at.targetPort, server + "target-port"));
    }
    c.push_back(Push(IDC_NET_WRITE, QT_TRANSLATE_NOOP("vornik::layout", "参数配置"), {33, 308, 53, 22}));
    c.push_back(Push(IDC_NET_DEFAULTS, QT_TRANSLATE_NOOP("vornik::layout", "载入默认"), {130, 308, 49, 22}));
    // Beside the buttons, where the eye is before a write.
    c.push_back({Kind::SourceLabel, IDC_NET_SOURCE, {190, 308, 105, 22}});
    c.push_back(FieldLabel("mask", {5, 262, 44, 8}));
    c.push_back(Of(Kind::Edit, IDC_NET_SUBNET_MASK, {52, 259, 68, 12}, "mask"));
    c.push_back(FieldLabel("gateway", {6, 277, 42, 8}));
    c.push_back(Of(Kind::Edit, IDC_NET_GATEWAY, {52, 276, 68, 12}, "gateway"));
    c.push_back(FieldLabel("ip", {7, 246, 41, 8}));
    c.push_back(Of(Kind::Edit, IDC_NET_IP_ADDRESS, {52, 244, 68, 12}, "ip"));
    c.push_back(FieldLabel("mode", {149, 246, 50, 8}));
    c.push_back(Of(Kind::DropDown, IDC_NET_IP_MODE, {201, 243, 50, 35}, "mode"));
    c.push_back(Static(QT_TRANSLATE_NOOP("vornik::layout", "MAC地址："), {149, 277, 47, 8}));
    c.push_back(Named(Kind::Edit, IDC_NET_MAC, {202, 275, 71, 12}, QT_TRANSLATE_NOOP("vornik::layout", "MAC地址")));
    c.push_back(Push(IDC_NET_WRITE_MAC, QT_TRANSLATE_NOOP("vornik::layout", "写MAC"), {184, 295, 44, 12}));
    c.push_back(FieldLabel("max-connections", {149, 261, 49, 8}));
    c.push_back(Of(Kind::DropDown, IDC_NET_MAX_CONNECTIONS, {201, 259, 36, 69}, "max-connections"));
    return d;
}

// The channel rows of the address edits and of the limit grid.
constexpr std::array<int, 8> kChannelAddressY = {177, 193, 209, 224, 240, 256, 273, 289};
constexpr std::array<int, 8> kChannelLabelY = {180, 195, 212, 228, 244, 260, 276, 292};
constexpr std::array<int, 8> kLimitRowY = {178, 193, 210, 225, 241, 257, 274, 290};
// Upper temperature, lower temperature, upper humidity, lower humidity.
constexpr std::array<int, 4> kLimitColumnX = {146, 182, 218, 254};
static_assert(kLimitColumnX.size() == LIMIT_EDIT_FIELDS.size(), "a column for each limit");
constexpr std::array<const char*, 4> kLimitHeadings = {QT_TRANSLATE_NOOP("vornik::layout", "温度上限"), QT_TRANSLATE_NOOP("vornik::layout", "温度下限"), QT_TRANSLATE_NOOP("vornik::layout", "湿度上限"), QT_TRANSLATE_NOOP("vornik::layout", "湿度下限")};
constexpr int kLimitWidth = 27;
constexpr int kLimitHeight = 13;

Dialog MakeDevicePage()
{
    Dialog d{IDD_DEV_PAGE, "", 316, 339, Frame::Child, settings::Block::Device, {}};
    auto& c = d.controls;
    c.push_back(Push(IDC_DEV_READ, QT_TRANSLATE_NOOP("vornik::layout", "读取设备参数"), {43, 311, 61, 21}));
    c.push_back(Push(IDC_DEV_WRITE, QT_TRANSLATE_NOOP("vornik::layout", "配置设备参数"), {159, 311, 59, 21}));
    c.push_back({Kind::SourceLabel, IDC_DEV_SOURCE, {221, 311, 78, 21}});
    c.push_back(Of(Kind::DropDown, IDC_DEV_SERVER_COUNT, {113, 16, 48, 56}, "server-count"));
    c.push_back(FieldLabel("server-count", {22, 19, 41, 8}, false));
    c.push_back(FieldLabel("terminal-address", {22, 38, 41, 8}));
    c.push_back(Of(Kind::Edit, IDC_DEV_TERMINAL_ADDRESS, {114, 35, 81, 14}, "terminal-address"));
    c.push_back(FieldLabel("login-interval", {21, 58, 65, 8}));
    c.push_back(Of(Kind::Edit, IDC_DEV_LOGIN_INTERVAL, {113, 55, 82, 14}, "login-interval"));
    c.push_back(FieldLabel("heartbeat-interval", {21, 77, 65, 8}));
    c.push_back(Of(Kind::Edit, IDC_DEV_HEARTBEAT_INTERVAL, {113, 74, 82, 14}, "heartbeat-interval"));
    c.push_back(FieldLabel("upload-interval", {22, 95, 81, 8}));
    c.push_back(Of(Kind::Edit, IDC_DEV_UPLOAD_INTERVAL, {113, 93, 81, 14}, "upload-interval"));
    c.push_back(FieldLabel("work-mode", {22, 114, 41, 8}));
    c.push_back(Of(Kind::DropDown, IDC_DEV_WORK_MODE, {113, 112, 94, 59}, "work-mode"));
    c.push_back(FieldLabel("baud", {22, 132, 53, 8}));
    c.push_back(Of(Kind::Edit, IDC_DEV_BAUD_RATE, {113, 129, 42, 14}, "baud"));
    // The template's own words, not the field's label: its "(1-8)" is what
    // the template has always said, though the field takes 0 to 255.
    c.push_back(Static(QT_TRANSLATE_NOOP("vornik::layout", "Modbus终端数量(1-8)："), {7, 162, 85, 8}));
    c.push_back(Named(Kind::Edit, IDC_DEV_MODBUS_TERMINAL_COUNT, {99, 159, 40, 14}, QT_TRANSLATE_NOOP("vornik::layout", "Modbus终端数量(1-8)")));
    for (size_t k = 0; k < CHANNEL_ADDRESS_IDS.size(); ++k) {
        const std::string address = "channel" + std::to_string(k + 1) + ".address";
        c.push_back(FieldLabel(address, {39, kChannelLabelY[k], 53, 8}));
        c.push_back(Of(Kind::Edit, CHANNEL_ADDRESS_IDS[k], {99, kChannelAddressY[k], 40, 14}, address));
    }
    // The serial framing beside the baud rate has no labels of its own.
    c.push_back(Of(Kind::DropDown, IDC_DEV_DATA_BITS, {160, 129, 32, 63}, "data-bits"));
    c.push_back(Of(Kind::DropDown, IDC_DEV_PARITY, {197, 129, 31, 63}, "parity"));
    c.push_back(Of(Kind::DropDown, IDC_DEV_STOP_BITS, {232, 129, 21, 65}, "stop-bits"));
    for (int y : {58, 76, 93}) c.push_back(Static(QT_TRANSLATE_NOOP("vornik::layout", "秒"), {201, y, 9, 8}));
    c.push_back(Group(QT_TRANSLATE_NOOP("vornik::layout", "MODBUS参数"), {2, 146, 294, 161}));
    // The limit grid column by column, then its headings; each edit is named
    // with its channel, as the headings name none.
    for (size_t column = 0; column < kLimitColumnX.size(); ++column) {
        const GroupEditField<LimitControls>& limit = LIMIT_EDIT_FIELDS[column];
        for (size_t k = 0; k < LimitEditIds.size(); ++k)
            c.push_back(Of(Kind::Edit, LimitEditIds[k].*limit.control,
                           {kLimitColumnX[column], kLimitRowY[k], kLimitWidth, kLimitHeight},
                           "channel" + std::to_string(k + 1) + "." + limit.field));
    }
    for (size_t column = 0; column < kLimitColumnX.size(); ++column)
        c.push_back(Static(kLimitHeadings[column], {kLimitColumnX[column], 161, 36, 12}));
    return d;
}

Dialog MakeAboutBox()
{
    Dialog d{IDD_ABOUTBOX, QT_TRANSLATE_NOOP("vornik::layout", "关于 Vornik多探头 V2.0"), 235, 55, Frame::Box, settings::Block::Network, {}};
    Control icon{Kind::Icon, 0, {11, 17, 21, 20}};
    icon.icon = IDR_MAINFRAME;
    d.controls = {
        icon,
        Static(QT_TRANSLATE_NOOP("vornik::layout", "Vornik多探头 V2.0"), {40, 10, 119, 8}),
        Push(ID_OK, QT_TRANSLATE_NOOP("vornik::layout", "确定"), {178, 6, 50, 14}, Kind::DefaultButton),
    };
    return d;
}

Dialog MakeHistoryDialog()
{
    Dialog d{IDD_HISTORY, QT_TRANSLATE_NOOP("vornik::layout", "历史记录"), 420, 240, Frame::Box, settings::Block::Network, {}};
    d.controls = {
        Static("", {7, 7, 406, 18}, IDC_HISTORY_HEADING),
        Named(Kind::List, IDC_HISTORY_LIST, {7, 28, 406, 184}, QT_TRANSLATE_NOOP("vornik::layout", "历史记录")),
        Push(IDC_HISTORY_FILL, QT_TRANSLATE_NOOP("vornik::layout", "填入页面"), {292, 219, 60, 14}),
        Push(ID_CANCEL, QT_TRANSLATE_NOOP("vornik::layout", "关闭"), {356, 219, 57, 14}, Kind::CancelButton),
    };
    return d;
}

} // namespace

const Dialog& MainDialog()
{
    static const Dialog d = MakeMain();
    return d;
}

const Dialog& NetworkPage()
{
    static const Dialog d = MakeNetworkPage();
    return d;
}

const Dialog& DevicePage()
{
    static const Dialog d = MakeDevicePage();
    return d;
}

const Dialog& AboutBox()
{
    static const Dialog d = MakeAboutBox();
    return d;
}

const Dialog& HistoryDialog()
{
    static const Dialog d = MakeHistoryDialog();
    return d;
}

std::vector<const Dialog*> AllDialogs()
{
    return {&AboutBox(), &MainDialog(), &NetworkPage(), &DevicePage(), &HistoryDialog()};
}

std::string ControlText(const Dialog& dialog, const Control& control)
{
    if (control.kind != Kind::Label || control.field.empty()) return control.text;
    const auto label = settings::LabelZh(dialog.block, control.field);
    if (!label) throw std::logic_error("no settings field " + control.field + " to label");
    return control.colon ? *label + QT_TRANSLATE_NOOP("vornik::layout", "：") : *label;
}

std::string AccessibleName(const Dialog& dialog, const Control& control)
{
    if (!control.name.empty()) return control.name;
    if (control.field.empty() || control.kind == Kind::Label) return {};
    const auto label = settings::LabelZh(dialog.block, control.field);
    if (!label) throw std::logic_error("no settings field " + control.field + " to name");
    return *label;
}

const Control* Find(const Dialog& dialog, int id)
{
    for (const Control& c : dialog.controls)
        if (id != 0 && c.id == id) return &c;
    return nullptr;
}

const Control* LabelledDropDown(const Dialog& dialog, const Control& label)
{
    if (label.kind != Kind::Label || label.field.empty()) return nullptr;
    for (const Control& c : dialog.controls)
        if (c.kind == Kind::DropDown && c.field == label.field) return &c;
    return nullptr;
}

} // namespace vornik::layout
