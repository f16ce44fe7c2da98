#include "pages/net_param_page.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

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

// One server group: frame, the three edits (top to bottom: target port,
// target address, local port) and their labels.
struct ServerLayout {
    DuRect group;
    DuRect targetPort, targetAddress, localPort;
    DuRect targetPortLabel, targetAddressLabel, localPortLabel;
};

constexpr int EDIT_HEIGHT = 12;
constexpr int PORT_WIDTH = 31;

constexpr ServerLayout Server(DuRect group, int editX, int yTargetPort, int yTargetAddress, int addressWidth,
                              int yLocalPort, DuRect targetPortLabel, DuRect targetAddressLabel,
                              DuRect localPortLabel)
{
    return {group,
            {editX, yTargetPort, PORT_WIDTH, EDIT_HEIGHT},
            {editX, yTargetAddress, addressWidth, EDIT_HEIGHT},
            {editX, yLocalPort, PORT_WIDTH, EDIT_HEIGHT},
            targetPortLabel,
            targetAddressLabel,
            localPortLabel};
}

// Odd servers on the left, even on the right, four rows.
constexpr std::array<ServerLayout, 8> SERVER_LAYOUT = {{
    Server({0, 3, 123, 55}, 52, 15, 29, 68, 44, {5, 17, 45, 9}, {5, 32, 41, 8}, {6, 45, 48, 8}),
    Server({148, 3, 133, 55}, 202, 15, 29, 73, 44, {156, 17, 46, 8}, {156, 32, 41, 8}, {156, 45, 45, 8}),
    Server({0, 60, 123, 55}, 52, 69, 83, 67, 98, {6, 71, 42, 8}, {6, 86, 43, 8}, {6, 99, 43, 8}),
    Server({148, 60, 133, 55}, 202, 69, 83, 74, 98, {155, 71, 47, 8}, {155, 86, 46, 8}, {156, 99, 43, 8}),
    Server({0, 119, 124, 55}, 52, 128, 142, 67, 157, {5, 130, 44, 8}, {5, 145, 44, 8}, {6, 158, 45, 8}),
    Server({148, 119, 134, 55}, 202, 128, 142, 74, 157, {155, 130, 44, 8}, {155, 145, 45, 8}, {156, 158, 45, 8}),
    Server({0, 178, 123, 55}, 52, 187, 200, 67, 215, {5, 188, 43, 8}, {5, 203, 41, 8}, {6, 217, 45, 8}),
    Server({148, 178, 134, 55}, 202, 187, 200, 74, 215, {155, 188, 43, 8}, {155, 203, 47, 8}, {156, 217, 44, 8}),
}};

} // namespace

CNetParamPage::CNetParamPage() : QWidget(nullptr), QtControlOps(this) {}

void CNetParamPage::Create(QWidget* parent, DeviceOps& ops)
{
    setParent(parent);
    setFont(DialogFont());
    hide();
    DialogBuilder b(this, *this);
    // The settings table's label of each field; a label beside its edit has a colon.
    const auto label = [](const std::string& field) { return FieldLabel(settings::Block::Network, field); };
    const auto colon = [&label](const std::string& field) { return label(field) + QStringLiteral(u"："); };

    // Group frames first, so the controls they enclose lie above them.
    for (size_t k = 0; k < SERVER_LAYOUT.size(); ++k)
        b.Group(QStringLiteral(u"服务器%1").arg(k + 1), SERVER_LAYOUT[k].group);

    std::vector<QWidget*> order;
    for (size_t k = 0; k < SERVER_LAYOUT.size(); ++k) {
        const ServerLayout& at = SERVER_LAYOUT[k];
        const ServerControls& ids = SERVER_CONTROL_IDS[k];
        b.Label(QStringLiteral(u"目标端口："), at.targetPortLabel);
        b.Label(QStringLiteral(u"目标地址："), at.targetAddressLabel);
        b.Label(QStringLiteral(u"本地端口："), at.localPortLabel);
        QWidget* targetPort = b.Edit(ids.targetPort, at.targetPort);
        QWidget* targetAddress = b.Edit(ids.targetAddress, at.targetAddress);
        QWidget* localPort = b.Edit(ids.localPort, at.localPort);
        // The labels repeat in every group; a screen reader needs the group
        // too, as the field's label has it ("服务器3 目标端口").
        const std::string server = "server" + std::to_string(k + 1) + ".";
        targetPort->setAccessibleName(label(server + "target-port"));
        targetAddress->setAccessibleName(label(server + "target-address"));
        localPort->setAccessibleName(label(server + "local-port"));
        // Within a group the keyboard goes bottom to top.
        order.insert(order.end(), {localPort, targetAddress, targetPort});
    }

    b.Label(colon("ip"), {7, 246, 41, 8});
    QLineEdit* ipAddress = b.Edit(IDC_NET_IP_ADDRESS, {52, 244, 68, 12});
    b.Label(colon("mask"), {5, 262, 44, 8});
    QLineEdit* subnetMask = b.Edit(IDC_NET_SUBNET_MASK, {52, 259, 68, 12});
    b.Label(colon("gateway"), {6, 277, 42, 8});
    QLineEdit* gateway = b.Edit(IDC_NET_GATEWAY, {52, 276, 68, 12});

    QLabel* ipModeLabel = b.Label(colon("mode"), {149, 246, 50, 8});
    QComboBox* ipMode = b.DropDown(IDC_NET_IP_MODE, {201, 243, 50, 35});
    QLabel* maxConnectionsLabel = b.Label(colon("max-connections"), {149, 261, 49, 8});
    QComboBox* maxConnections = b.DropDown(IDC_NET_MAX_CONNECTIONS, {201, 259, 36, 69});
    b.Label(QStringLiteral(u"MAC地址："), {149, 277, 47, 8});
    QLineEdit* mac = b.Edit(IDC_NET_MAC, {202, 275, 71, 12});

    QPushButton* writeMac = b.Button(IDC_NET_WRITE_MAC, QStringLiteral(u"写MAC"), {184, 295, 44, 12});
    QPushButton* write = b.Button(IDC_NET_WRITE, QStringLiteral(u"参数配置"), {33, 308, 53, 22});
    QPushButton* defaults = b.Button(IDC_NET_DEFAULTS, QStringLiteral(u"载入默认"), {130, 308, 49, 22});
    // Beside the buttons, where the eye is before a write.
    b.SourceLabel(IDC_NET_SOURCE, {190, 308, 106, 22});

    ipAddress->setAccessibleName(label("ip"));
    subnetMask->setAccessibleName(label("mask"));
    gateway->setAccessibleName(label("gateway"));
    DialogBuilder::Name(ipMode, label("mode"));
    DialogBuilder::Name(maxConnections, label("max-connections"));
    // Some platforms name a drop-down by its current text and its label by relation.
    ipModeLabel->setBuddy(ipMode);
    maxConnectionsLabel->setBuddy(maxConnections);
    mac->setAccessibleName(QStringLiteral(u"MAC地址"));

    order.insert(order.end(), {write, defaults, subnetMask, gateway, ipAddress, ipMode, mac, writeMac, maxConnections});
    DialogBuilder::SetTabOrder(order);

    QObject::connect(write, &QPushButton::clicked, this, [&ops] { ops.OnWriteNetworkParams(); });
    QObject::connect(writeMac, &QPushButton::clicked, this, [&ops] { ops.OnWriteMac(); });
    QObject::connect(defaults, &QPushButton::clicked, this, [&ops] { ops.OnFactoryDefaults(); });
    // A choice made by the user; selections set by the logic apply the rule themselves.
    QObject::connect(ipMode, &QComboBox::activated, this, [&ops] { ops.OnIpModeChanged(); });
}

} // namespace vornik
