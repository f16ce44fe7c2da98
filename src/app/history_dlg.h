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
#include "ops/history_pages.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace vornik {

class DeviceOps;

class CHistoryDlg : public QDialog {
public:
    // Entries read at a time.
    static constexpr size_t PAGE = HistoryPages::PAGE;

    // The store must outlive the dialog.
    CHistoryDlg(QWidget* parent, const MacAddress& mac, const history::Store& store, DeviceOps& ops);

    QTreeWidget& List() { return *m_list; }
    QPushButton& FillButton() { return *m_fill; }
    // Why the history could not be read, when it could not.
    const std::optional<std::string>& Failure() const { return m_pages.Failure(); }
    // Reads the next older page into the list; false when there is none or it could not be read.
    bool LoadMore();
    bool Complete() const { return m_pages.Complete(); }
    // Fills the pages from the entry in row `row` (0: the newest); false when there is none.
    bool FillFromRow(int row);

private:
    void LoadWhenNearEnd();

    HistoryPages m_pages;
    DeviceOps& m_ops;
    QTreeWidget* m_list = nullptr;
    QPushButton* m_fill = nullptr;
};

} // namespace vornik
