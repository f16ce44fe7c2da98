#include "pages/dev_param_page.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>

#include <array>
#include <vector>

#include "ops/control_ids.h"
#include "ops/device_ops.h"
#include "pages/dialog_builder.h"
#include "pages/dialog_units.h"

namespace vornik {

namespace {

// The channel rows of the address edits and the limit grid.
constexpr std::array<int, 8> CHANNEL_ADDRESS_Y = {177, 193, 209, 224, 240, 256, 273, 289};
constexpr std::array<int, 8> CHANNEL_LABEL_Y = {180, 195, 212, 228, 244, 260, 276, 292};
constexpr std::array<int, 8> LIMIT_ROW_Y = {178, 193, 210, 225, 241, 257, 274, 290};
// Upper temperature, lower temperature, upper humidity, lower humidity.
constexpr std::array<int, 4> LIMIT_COLUMN_X = {146, 182, 218, 254};
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
    // without a label of their own are named after their neighbour's.
    const auto named = &DialogBuilder::Name;

    QPushButton* read = b.Button(IDC_DEV_READ, QStringLiteral(u"读取设备参数"), {43, 311, 61, 21});
    QPushButton* write = b.Button(IDC_DEV_WRITE, QStringLiteral(u"配置设备参数"), {159, 311, 59, 21});
    order.insert(order.end(), {read, write});
    b.SourceLabel(IDC_DEV_SOURCE, {221, 311, 78, 21});

    QWidget* serverCount = named(b.DropDown(IDC_DEV_SERVER_COUNT, {113, 16, 48, 56}),
                                 QStringLiteral(u"服务器数量"));
    order.push_back(serverCount);
    // Some platforms name a drop-down by its current text and its label by relation.
    b.Label(QStringLiteral(u"服务器数量"), {22, 19, 41, 8})->setBuddy(serverCount);
    b.Label(QStringLiteral(u"终端地址："), {22, 38, 41, 8});
    order.push_back(named(b.Edit(IDC_DEV_TERMINAL_ADDRESS, {114, 35, 81, 14}), QStringLiteral(u"终端地址")));
    b.Label(QStringLiteral(u"登陆帧间隔时间："), {21, 58, 65, 8});
    order.push_back(named(b.Edit(IDC_DEV_LOGIN_INTERVAL, {113, 55, 82, 14}), QStringLiteral(u"登陆帧间隔时间")));
    b.Label(QStringLiteral(u"心跳包间隔时间："), {21, 77, 65, 8});
    order.push_back(named(b.Edit(IDC_DEV_HEARTBEAT_INTERVAL, {113, 74, 82, 14}), QStringLiteral(u"心跳包间隔时间")));
    b.Label(QStringLiteral(u"主动上送帧间隔时间："), {22, 95, 81, 8});
    order.push_back(
        named(b.Edit(IDC_DEV_UPLOAD_INTERVAL, {113, 93, 81, 14}), QStringLiteral(u"主动上送帧间隔时间")));
    QLabel* workModeLabel = b.Label(QStringLiteral(u"工作模式："), {22, 114, 41, 8});
    order.push_back(named(b.DropDown(IDC_DEV_WORK_MODE, {113, 112, 94, 59}),
                          QStringLiteral(u"工作模式")));
    workModeLabel->setBuddy(order.back());
    b.Label(QStringLiteral(u"485口波特率："), {22, 132, 53, 8});
    order.push_back(named(b.Edit(IDC_DEV_BAUD_RATE, {113, 129, 42, 14}), QStringLiteral(u"485口波特率")));
    b.Label(QStringLiteral(u"Modbus终端数量(1-8)："), {7, 162, 85, 8});
    order.push_back(
        named(b.Edit(IDC_DEV_MODBUS_TERMINAL_COUNT, {99, 159, 40, 14}), QStringLiteral(u"Modbus终端数量(1-8)")));
    for (size_t c = 0; c < CHANNEL_ADDRESS_IDS.size(); ++c) {
        b.Label(QStringLiteral(u"%1号通道地址：").arg(c + 1), {39, CHANNEL_LABEL_Y[c], 53, 8});
        order.push_back(named(b.Edit(CHANNEL_ADDRESS_IDS[c], {99, CHANNEL_ADDRESS_Y[c], 40, 14}),
                              QStringLiteral(u"%1号通道地址").arg(c + 1)));
    }
    order.push_back(named(b.DropDown(IDC_DEV_DATA_BITS, {160, 129, 32, 63}),
                          QStringLiteral(u"485口数据位")));
    order.push_back(named(b.DropDown(IDC_DEV_PARITY, {197, 129, 31, 63}),
                          QStringLiteral(u"485口校验位")));
    order.push_back(
        named(b.DropDown(IDC_DEV_STOP_BITS, {232, 129, 21, 65}), QStringLiteral(u"485口停止位")));
    b.Label(QStringLiteral(u"秒"), {201, 58, 9, 8});
    b.Label(QStringLiteral(u"秒"), {201, 76, 9, 8});
    b.Label(QStringLiteral(u"秒"), {201, 93, 9, 8});
    b.Group(QStringLiteral(u"MODBUS参数"), {2, 146, 294, 161});

    // The limit grid, column by column, under its column headings.
    const std::array<QString, 4> headings = {QStringLiteral(u"温度上限"), QStringLiteral(u"温度下限"),
                                             QStringLiteral(u"湿度上限"), QStringLiteral(u"湿度下限")};
    for (size_t column = 0; column < LIMIT_COLUMN_X.size(); ++column) {
        for (size_t c = 0; c < LimitEditIds.size(); ++c) {
            const LimitControls& ids = LimitEditIds[c];
            const int id = std::array{ids.tempUpper, ids.tempLower, ids.humidityUpper, ids.humidityLower}[column];
            order.push_back(named(b.Edit(id, {LIMIT_COLUMN_X[column], LIMIT_ROW_Y[c], LIMIT_WIDTH, LIMIT_HEIGHT}),
                                  QStringLiteral(u"%1号通道 ").arg(c + 1) + headings[column]));
        }
    }
    for (size_t column = 0; column < LIMIT_COLUMN_X.size(); ++column)
        b.Label(headings[column], {LIMIT_COLUMN_X[column], 161, 36, 12});

    DialogBuilder::SetTabOrder(order);

    QObject::connect(read, &QPushButton::clicked, this, [&ops] { ops.OnReadDeviceParams(); });
    QObject::connect(write, &QPushButton::clicked, this, [&ops] { ops.OnWriteDeviceParams(); });
}

} // namespace vornik
