// "历史记录...": one device's history, newest first, each entry with what it
// changed; "填入页面" puts the device's state as it stood after the chosen
// entry into both pages. Nothing is sent: the operator writes, as after a read.
#pragma once

#include <QDialog>

#include <vector>

#include "history/history.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace vornik {

class DeviceOps;

class CHistoryDlg : public QDialog {
public:
    CHistoryDlg(QWidget* parent, const MacAddress& mac, std::vector<history::Event> events, DeviceOps& ops);

    QTreeWidget& List() { return *m_list; }
    QPushButton& FillButton() { return *m_fill; }
    // Fills the pages from the entry in row `row` (0: the newest); false when there is none.
    bool FillFromRow(int row);

private:
    MacAddress m_mac;
    std::vector<history::Event> m_events; // oldest first, as the store gives them
    DeviceOps& m_ops;
    QTreeWidget* m_list = nullptr;
    QPushButton* m_fill = nullptr;
};

} // namespace vornik
