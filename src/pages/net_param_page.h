// The network parameters page: the eight server entries, the device's own
// address settings, its MAC address and the three network operations.
#pragma once

#include <QWidget>

#include "pages/qt_control_ops.h"

namespace vornik {

class DeviceOps;

class CNetParamPage : public QWidget, public QtControlOps {
public:
    // The object exists with the main window; its controls come with Create.
    CNetParamPage();

    // Builds the controls as a child of parent (the main window's tab
    // control), hidden, and routes the buttons and the IP-mode list to ops.
    void Create(QWidget* parent, DeviceOps& ops);
};

} // namespace vornik
