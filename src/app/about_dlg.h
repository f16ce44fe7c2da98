// The about box: the program's icon and name, and an OK button.
#pragma once

#include <QDialog>

namespace vornik {

class CAboutDlg : public QDialog {
public:
    explicit CAboutDlg(QWidget* parent);
};

} // namespace vornik
