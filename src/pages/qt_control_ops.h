// The control operations over real widgets: a dialog registers each control
// under its id and the logic reaches it by that id alone. Ids repeat between
// dialogs, so every dialog has its own instance.
//
// Controls by kind: QLineEdit (edit), QComboBox (drop-down list; its selected
// index is the list index), QPlainTextEdit (multi-line edit), CReportList
// (report list), QPushButton, QLabel, QGroupBox.
#pragma once

#include <QMetaObject>

#include <map>
#include <string>
#include <vector>

#include "ops/control_ops.h"

class QWidget;
class QPlainTextEdit;

namespace vornik {

// The caption of message boxes that the logic leaves without one.
inline constexpr char kApplicationName[] = "Vornik_Setup";

class QtControlOps : public IControlOps {
public:
    // Message boxes are owned by ownerDialog.
    explicit QtControlOps(QWidget* ownerDialog);
    ~QtControlOps() override;

    QtControlOps(const QtControlOps&) = delete;
    QtControlOps& operator=(const QtControlOps&) = delete;

    // Also gives the widget the dynamic property "controlId", by which other
    // parts (the icon buttons) find it.
    void RegisterControl(int id, QWidget* control);
    QWidget* Control(int id) const;

    std::string GetText(int id) const override;
    bool TextFits936(int id) const override;
    // A multi-line edit takes its new text when the event loop next has a
    // free moment, once for any number of calls in between: a burst of
    // replies each rewriting the whole info log then costs one repaint.
    void SetText(int id, const std::string& text936) override;
    // A multi-line edit takes the tail at the same free moment; only the tail
    // is converted and added, unless the user typed into the edit since, in
    // which case it shows the whole text again.
    void AppendText(int id, const std::string& tail936) override;
    int GetSel(int id) const override;
    void SetSel(int id, int index) override;
    void Enable(int id, bool enabled) override;
    void ClearRows(int id) override;
    void InsertDeviceRow(int id, int row, const DeviceRow& device) override;
    void SetCell(int id, int row, int column, const std::string& text936) override;
    int FirstSelectedRow(int id) const override;
    std::string GetCell(int id, int row, int column) const override;
    std::optional<DeviceRow> DeviceRowAt(int id, int row) const override;
    void MarkRow(int id, int row) override;
    // Shows any pending multi-line text first, so the log is current behind the box.
    void MessageBox(const std::string& text936, const std::string& caption936 = {},
                    MessageIcon icon = MessageIcon::None) override;
    bool AskOkCancel(const std::string& text936, const std::string& caption936) override;
    // The same for a text of the window's Qt code, which may hold what code
    // page 936 cannot (a file name with ç or ő): shown as it is.
    void MessageBoxText(const QString& text, MessageIcon icon = MessageIcon::None);

    // Applies pending multi-line texts and shows gathered list rows now.
    void FlushPending();
    // Pending multi-line texts only.
    void FlushPendingTexts();
    // The same for every dialog.
    static void FlushAllPending();

private:
    struct MultiLineText {
        std::string pending;     // a whole new text, or the tail to add (pendingIsTail)
        bool hasPending = false;
        bool pendingIsTail = false;
        std::string shown;       // the text the logic gave; the widget shows it unless the user typed since
        bool shownValid = false;
        bool applying = false;
    };

    void Apply(int id, QPlainTextEdit* edit, MultiLineText& state);
    void ScheduleFlush();
    static void FollowEnd(QPlainTextEdit* area);

    QWidget* m_owner;
    std::map<int, QWidget*> m_controls;
    std::map<int, MultiLineText> m_multiLine;
    std::vector<QMetaObject::Connection> m_connections;
    bool m_flushScheduled = false;
};

} // namespace vornik
