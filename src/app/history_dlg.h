// "历史记录...": one device's history, newest first, each entry with what it
// changed; "填入页面" puts the device's state as it stood after the chosen
// entry into both pages. Nothing is sent: the operator writes, as after a read.
//
// The newest entries are read when the dialog opens and older ones a page at
// a time as the list is scrolled or walked to its end, so it opens at once
// however long the device's history.
#pragma once

#include <QDialog>

#include <optional>
#include <string>
#include <vector>

#include "history/history.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace vornik {

class DeviceOps;

class CHistoryDlg : public QDialog {
public:
    // Entries read at a time.
    static constexpr size_t PAGE = 200;

    // The store must outlive the dialog.
    CHistoryDlg(QWidget* parent, const MacAddress& mac, const history::Store& store, DeviceOps& ops);

    QTreeWidget& List() { return *m_list; }
    QPushButton& FillButton() { return *m_fill; }
    // Why the history could not be read, when it could not.
    const std::optional<std::string>& Failure() const { return m_failure; }
    // Reads the next older page into the list; false when there is none or it could not be read.
    bool LoadMore();
    bool Complete() const { return m_complete; }
    // Fills the pages from the entry in row `row` (0: the newest); false when there is none.
    bool FillFromRow(int row);

private:
    void LoadWhenNearEnd();

    MacAddress m_mac;
    const history::Store& m_store;
    DeviceOps& m_ops;
    std::vector<history::Position> m_rows; // of each row, newest first
    bool m_complete = false;
    std::optional<std::string> m_failure;
    QTreeWidget* m_list = nullptr;
    QPushButton* m_fill = nullptr;
};

} // namespace vornik
