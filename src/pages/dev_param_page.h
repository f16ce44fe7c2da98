// The device parameters page: server count, terminal address, intervals,
// work mode, the RS-485 line and the Modbus channels with their limits.
#pragma once

#include <QWidget>

#include "pages/qt_control_ops.h"

namespace vornik {

class DeviceOps;

class CDevParamPage : public QWidget, public QtControlOps {
public:
    // The object exists with the main window; its controls come with Create.
    CDevParamPage();

    // Builds the controls as a child of parent (the main window's tab
    // control), hidden, and routes the two buttons to ops.
    void Create(QWidget* parent, DeviceOps& ops);
};

} // namespace vornik
