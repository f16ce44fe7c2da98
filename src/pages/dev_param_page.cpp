#include "pages/dev_param_page.h"

#include <QPushButton>

#include "layout/dialogs.h"
#include "ops/control_ids.h"
#include "ops/device_ops.h"
#include "pages/dialog_builder.h"
#include "pages/dialog_units.h"

namespace vornik {

CDevParamPage::CDevParamPage() : QWidget(nullptr), QtControlOps(this) {}

void CDevParamPage::Create(QWidget* parent, DeviceOps& ops)
{
    setParent(parent);
    setFont(DialogFont());
    hide();
    DialogBuilder b(this, *this);
    const layout::Dialog& page = layout::DevicePage();
    DialogBuilder::SetTabOrder(DialogBuilder::TabStops(page, b.Build(page)));
    auto* read = static_cast<QPushButton*>(Control(IDC_DEV_READ));
    auto* write = static_cast<QPushButton*>(Control(IDC_DEV_WRITE));

    QObject::connect(read, &QPushButton::clicked, this, [&ops] { ops.OnReadDeviceParams(); });
    QObject::connect(write, &QPushButton::clicked, this, [&ops] { ops.OnWriteDeviceParams(); });
}

} // namespace vornik
