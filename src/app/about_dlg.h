// The about box: the program's icon and name, and an OK button.
#pragma once

#include <QDialog>

#include "pages/qt_control_ops.h"

namespace vornik {

class CAboutDlg : public QDialog {
public:
    explicit CAboutDlg(QWidget* parent);

private:
    QtControlOps m_controls{this};
};

} // namespace vornik
