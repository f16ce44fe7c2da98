#include "pages/dev_param_page.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>

#include <array>
#include <string>
#include <vector>

#include "ops/control_ids.h"
#include "ops/device_ops.h"
#include "pages/dialog_builder.h"
#include "pages/dialog_units.h"
#include "settings/fields.h"

namespace vornik {

namespace {

// The channel rows of the address edits and the limit grid.
constexpr std::array<int, 8> CHANNEL_ADDRESS_Y = {177, 193, 209, 224, 240, 256, 273, 289};
constexpr std::array<int, 8> CHANNEL_LABEL_Y = {180, 195, 212, 228, 244, 260, 276, 292};
constexpr std::array<int, 8> LIMIT_ROW_Y = {178, 193, 210, 225, 241, 257, 274, 290};
// Upper temperature, lower temperature, upper humidity, lower humidity.
constexpr std::array<int, 4> LIMIT_COLUMN_X = {146, 182, 218, 254};
static_assert(LIMIT_COLUMN_X.size() == LIMIT_EDIT_FIELDS.size(), "a column for each limit");
constexpr int LIMIT_WIDTH = 27;
constexpr int LIMIT_HEIGHT = 13;

} // namespace

CDevParamPage::CDevParamPage() : QWidget(nullptr), QtControlOps(this) {}

void CDevParamPage::Create(QWidget* parent, DeviceOps& ops)
{
    setParent(parent);
    setFont(DialogFont());
    hide();
    DialogBuilder b(this, *this);
    std::vector<QWidget*> order;
    // Each field is named as its label reads, for screen readers; fields
    // without a label of their own are named after their neighbour's. Both
    // are the settings table's label of the field, the label with a colon.
    const auto named = &DialogBuilder::Name;
    const auto label = [](const std::string& field) { return FieldLabel(settings::Block::Device, field); };
    const auto colon = [&label](const std::string& field) { return label(field) + QStringLiteral(u"："); };

    QPushButton* read = b.Button(IDC_DEV_READ, QStringLiteral(u"读取设备参数"), {43, 311, 61, 21});
    QPushButton* write = b.Button(IDC_DEV_WRITE, QStringLiteral(u"配置设备参数"), {159, 311, 59, 21});
    order.insert(order.end(), {read, write});
    b.SourceLabel(IDC_DEV_SOURCE, {221, 311, 78, 21});

    QWidget* serverCount = named(b.DropDown(IDC_DEV_SERVER_COUNT, {113, 16, 48, 56}), label("server-count"));
    order.push_back(serverCount);
    // Some platforms name a drop-down by its current text and its label by relation.
    b.Label(label("server-count"), {22, 19, 41, 8})->setBuddy(serverCount);
    b.Label(colon("terminal-address"), {22, 38, 41, 8});
    order.push_back(named(b.Edit(IDC_DEV_TERMINAL_ADDRESS, {114, 35, 81, 14}), label("terminal-address")));
    b.Label(colon("login-interval"), {21, 58, 65, 8});
    order.push_back(named(b.Edit(IDC_DEV_LOGIN_INTERVAL, {113, 55, 82, 14}), label("login-interval")));
    b.Label(colon("heartbeat-interval"), {21, 77, 65, 8});
    order.push_back(named(b.Edit(IDC_DEV_HEARTBEAT_INTERVAL, {113, 74, 82, 14}), label("heartbeat-interval")));
    b.Label(colon("upload-interval"), {22, 95, 81, 8});
    order.push_back(named(b.Edit(IDC_DEV_UPLOAD_INTERVAL, {113, 93, 81, 14}), label("upload-interval")));
    QLabel* workModeLabel = b.Label(colon("work-mode"), {22, 114, 41, 8});
    order.push_back(named(b.DropDown(IDC_DEV_WORK_MODE, {113, 112, 94, 59}), label("work-mode")));
    workModeLabel->setBuddy(order.back());
    b.Label(colon("baud"), {22, 132, 53, 8});
    order.push_back(named(b.Edit(IDC_DEV_BAUD_RATE, {113, 129, 42, 14}), label("baud")));
    // The template's own words, not the field's label: its "(1-8)" is what
    // the template has always said, though the field takes 0 to 255.
    b.Label(QStringLiteral(u"Modbus终端数量(1-8)："), {7, 162, 85, 8});
    order.push_back(
        named(b.Edit(IDC_DEV_MODBUS_TERMINAL_COUNT, {99, 159, 40, 14}), QStringLiteral(u"Modbus终端数量(1-8)")));
    for (size_t c = 0; c < CHANNEL_ADDRESS_IDS.size(); ++c) {
        const std::string address = "channel" + std::to_string(c + 1) + ".address";
        b.Label(colon(address), {39, CHANNEL_LABEL_Y[c], 53, 8});
        order.push_back(named(b.Edit(CHANNEL_ADDRESS_IDS[c], {99, CHANNEL_ADDRESS_Y[c], 40, 14}), label(address)));
    }
    order.push_back(named(b.DropDown(IDC_DEV_DATA_BITS, {160, 129, 32, 63}), label("data-bits")));
    order.push_back(named(b.DropDown(IDC_DEV_PARITY, {197, 129, 31, 63}), label("parity")));
    order.push_back(named(b.DropDown(IDC_DEV_STOP_BITS, {232, 129, 21, 65}), label("stop-bits")));
    b.Label(QStringLiteral(u"秒"), {201, 58, 9, 8});
    b.Label(QStringLiteral(u"秒"), {201, 76, 9, 8});
    b.Label(QStringLiteral(u"秒"), {201, 93, 9, 8});
    b.Group(QStringLiteral(u"MODBUS参数"), {2, 146, 294, 161});

    // The limit grid, column by column, under its column headings; each edit
    // is named with its channel, as the headings name none.
    const std::array<QString, 4> headings = {QStringLiteral(u"温度上限"), QStringLiteral(u"温度下限"),
                                             QStringLiteral(u"湿度上限"), QStringLiteral(u"湿度下限")};
    for (size_t column = 0; column < LIMIT_COLUMN_X.size(); ++column) {
        for (size_t c = 0; c < LimitEditIds.size(); ++c) {
            const GroupEditField<LimitControls>& limit = LIMIT_EDIT_FIELDS[column];
            order.push_back(named(b.Edit(LimitEditIds[c].*limit.control,
                                         {LIMIT_COLUMN_X[column], LIMIT_ROW_Y[c], LIMIT_WIDTH, LIMIT_HEIGHT}),
                                  label("channel" + std::to_string(c + 1) + "." + limit.field)));
        }
    }
    for (size_t column = 0; column < LIMIT_COLUMN_X.size(); ++column)
        b.Label(headings[column], {LIMIT_COLUMN_X[column], 161, 36, 12});

    DialogBuilder::SetTabOrder(order);

    QObject::connect(read, &QPushButton::clicked, this, [&ops] { ops.OnReadDeviceParams(); });
    QObject::connect(write, &QPushButton::clicked, this, [&ops] { ops.OnWriteDeviceParams(); });
}

} // namespace vornik
