#include "pages/net_param_page.h"

#include <QComboBox>
#include <QPushButton>

#include "layout/dialogs.h"
#include "ops/control_ids.h"
#include "ops/device_ops.h"
#include "pages/dialog_builder.h"
#include "pages/dialog_units.h"

namespace vornik {

CNetParamPage::CNetParamPage() : QWidget(nullptr), QtControlOps(this) {}

void CNetParamPage::Create(QWidget* parent, DeviceOps& ops)
{
    setParent(parent);
    setFont(DialogFont());
    hide();
    DialogBuilder b(this, *this);
    const layout::Dialog& page = layout::NetworkPage();
    DialogBuilder::SetTabOrder(DialogBuilder::TabStops(page, b.Build(page)));
    const auto button = [this](int id) { return static_cast<QPushButton*>(Control(id)); };
    QPushButton* write = button(IDC_NET_WRITE);
    QPushButton* writeMac = button(IDC_NET_WRITE_MAC);
    QPushButton* defaults = button(IDC_NET_DEFAULTS);
    auto* ipMode = static_cast<QComboBox*>(Control(IDC_NET_IP_MODE));

    QObject::connect(write, &QPushButton::clicked, this, [&ops] { ops.OnWriteNetworkParams(); });
    QObject::connect(writeMac, &QPushButton::clicked, this, [&ops] { ops.OnWriteMac(); });
    QObject::connect(defaults, &QPushButton::clicked, this, [&ops] { ops.OnFactoryDefaults(); });
    // A choice made by the user; selections set by the logic apply the rule themselves.
    QObject::connect(ipMode, &QComboBox::activated, this, [&ops] { ops.OnIpModeChanged(); });
}

} // namespace vornik
