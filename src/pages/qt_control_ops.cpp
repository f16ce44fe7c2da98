#include "pages/qt_control_ops.h"

#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>

#include <algorithm>
#include <set>

#include "pages/cp936.h"
#include "proto/cp936.h"
#include "pages/drop_down.h"
#include "pages/group_frame.h"
#include "pages/report_list.h"

namespace vornik {

namespace {

std::set<QtControlOps*>& LiveDialogs()
{
    static std::set<QtControlOps*> dialogs;
    return dialogs;
}

// A multi-line edit separates lines by "\r\n"; the widget keeps "\n".
QString WithCrLf(QString text)
{
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

} // namespace

QtControlOps::QtControlOps(QWidget* ownerDialog) : m_owner(ownerDialog) { LiveDialogs().insert(this); }

QtControlOps::~QtControlOps()
{
    for (const QMetaObject::Connection& c : m_connections) QObject::disconnect(c);
    LiveDialogs().erase(this);
}

void QtControlOps::RegisterControl(int id, QWidget* control)
{
    m_controls[id] = control;
    control->setProperty("controlId", id);
    if (auto* edit = qobject_cast<QPlainTextEdit*>(control)) {
        MultiLineText& state = m_multiLine[id];
        // Typing into the area makes its content differ from the last text set.
        m_connections.push_back(
            QObject::connect(edit->document(), &QTextDocument::contentsChanged, m_owner, [&state] {
                if (!state.applying) state.shownValid = false;
            }));
    }
}

bool QtControlOps::TextFits936(int id) const
{
    QWidget* w = Control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) return Cp936FromUtf8(edit->text().toStdString()).has_value();
    if (auto* combo = qobject_cast<QComboBox*>(w)) return Cp936FromUtf8(combo->currentText().toStdString()).has_value();
    return true;
}

QWidget* QtControlOps::Control(int id) const
{
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

std::string QtControlOps::GetText(int id) const
{
    QWidget* w = Control(id);
    if (!w) return {};
    if (auto* edit = qobject_cast<QLineEdit*>(w)) return ToCp936(edit->text());
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        SettleDropDownText(combo);
        return ToCp936(combo->currentText());
    }
    if (auto* area = qobject_cast<QPlainTextEdit*>(w)) {
        // Reading returns what the area is about to show.
        const_cast<QtControlOps*>(this)->FlushPending();
        return ToCp936(WithCrLf(area->toPlainText()));
    }
    if (auto* button = qobject_cast<QAbstractButton*>(w)) return ToCp936(button->text());
    if (auto* label = qobject_cast<QLabel*>(w)) return ToCp936(label->text());
    if (auto* group = dynamic_cast<CGroupFrame*>(w)) return ToCp936(group->Title());
    return {};
}

void QtControlOps::SetText(int id, const std::string& text936)
{
    QWidget* w = Control(id);
    if (!w) return;
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        edit->setText(FromCp936(text936));
        edit->setCursorPosition(0); // a new text is shown from its beginning
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        combo->setEditText(FromCp936(text936));
    } else if (qobject_cast<QPlainTextEdit*>(w)) {
        MultiLineText& state = m_multiLine[id];
        state.pending = text936;
        state.hasPending = true;
        state.pendingIsTail = false;
        ScheduleFlush();
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        button->setText(FromCp936(text936));
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(FromCp936(text936));
        const QVariant prefix = label->property("accessiblePrefix");
        if (prefix.isValid())
            label->setAccessibleName(prefix.toString() + label->text().replace(QLatin1Char('\n'), QStringLiteral(u"，")));
    } else if (auto* group = dynamic_cast<CGroupFrame*>(w)) {
        group->SetTitle(FromCp936(text936));
    }
}

void QtControlOps::AppendText(int id, const std::string& tail936)
{
    if (!qobject_cast<QPlainTextEdit*>(Control(id))) {
        IControlOps::AppendText(id, tail936);
        return;
    }
    MultiLineText& state = m_multiLine[id];
    if (!state.hasPending) {
        state.pending.clear();
        state.pendingIsTail = true;
    }
    state.pending += tail936; // a whole text pending grows by the tail, a tail by another
    state.hasPending = true;
    ScheduleFlush();
}

void QtControlOps::ScheduleFlush()
{
    if (m_flushScheduled) return;
    m_flushScheduled = true;
    // Queued behind whatever is already waiting, datagrams included.
    QMetaObject::invokeMethod(m_owner, [this] { FlushPendingTexts(); }, Qt::QueuedConnection);
}

void QtControlOps::FlushPending()
{
    FlushPendingTexts();
    for (const auto& [id, control] : m_controls)
        if (auto* list = dynamic_cast<CReportList*>(control)) list->Rows().Commit();
}

void QtControlOps::FlushPendingTexts()
{
    m_flushScheduled = false;
    for (auto& [id, state] : m_multiLine) {
        if (!state.hasPending) continue;
        if (auto* area = qobject_cast<QPlainTextEdit*>(Control(id))) Apply(id, area, state);
        state.hasPending = false;
        state.pendingIsTail = false;
        state.pending.clear();
    }
}

void QtControlOps::FlushAllPending()
{
    for (QtControlOps* dialog : LiveDialogs()) dialog->FlushPending();
}

void QtControlOps::Apply(int, QPlainTextEdit* area, MultiLineText& state)
{
    state.applying = true;
    if (state.pendingIsTail) {
        const std::string& tail = state.pending;
        if (state.shownValid) {
            if (!tail.empty()) {
                QTextCursor end(area->document());
                end.movePosition(QTextCursor::End);
                end.insertText(FromCp936(tail));
            }
            state.shown += tail;
        } else {
            // The user typed since: the area shows the logic's text again.
            state.shown += tail;
            area->setPlainText(FromCp936(state.shown));
        }
        state.shownValid = true;
        state.applying = false;
        FollowEnd(area);
        return;
    }
    const std::string& text = state.pending;
    if (state.shownValid && text == state.shown) {
        // nothing new; only the caret goes back to the end below
    } else if (state.shownValid && !state.shown.empty() && state.shown.back() == '\n' &&
               text.size() > state.shown.size() && text.compare(0, state.shown.size(), state.shown) == 0) {
        // The log mostly grows by a line: add the tail instead of rebuilding the document.
        QTextCursor end(area->document());
        end.movePosition(QTextCursor::End);
        end.insertText(FromCp936(std::string_view(text).substr(state.shown.size())));
    } else {
        area->setPlainText(FromCp936(text));
    }
    state.shown = text;
    state.shownValid = true;
    state.applying = false;
    FollowEnd(area);
}

void QtControlOps::FollowEnd(QPlainTextEdit* area)
{
    // The area follows the end of the log.
    area->moveCursor(QTextCursor::End);
    area->ensureCursorVisible();
    area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
}

int QtControlOps::GetSel(int id) const
{
    QWidget* w = Control(id);
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        // What is read is what the box shows.
        SettleDropDownText(combo);
        return combo->currentIndex();
    }
    if (dynamic_cast<CReportList*>(w)) return FirstSelectedRow(id);
    return -1;
}

void QtControlOps::SetSel(int id, int index)
{
    if (auto* combo = qobject_cast<QComboBox*>(Control(id)))
        combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

void QtControlOps::Enable(int id, bool enabled)
{
    if (QWidget* w = Control(id)) w->setEnabled(enabled);
}

void QtControlOps::ClearRows(int id)
{
    if (auto* list = dynamic_cast<CReportList*>(Control(id))) list->Rows().Clear();
}

void QtControlOps::InsertDeviceRow(int id, int row, const DeviceRow& device)
{
    if (auto* list = dynamic_cast<CReportList*>(Control(id))) list->Rows().InsertRow(row, device);
}

void QtControlOps::SetCell(int id, int row, int column, const std::string& text936)
{
    auto* list = dynamic_cast<CReportList*>(Control(id));
    if (!list || column < 0 || column >= list->Rows().ColumnCount()) return;
    list->Rows().SetCell(row, column, text936);
}

int QtControlOps::FirstSelectedRow(int id) const
{
    auto* list = dynamic_cast<CReportList*>(Control(id));
    return list ? list->FirstSelectedRow() : -1;
}

std::string QtControlOps::GetCell(int id, int row, int column) const
{
    auto* list = dynamic_cast<CReportList*>(Control(id));
    return list ? list->Rows().Cell(row, column) : std::string{};
}

std::optional<DeviceRow> QtControlOps::DeviceRowAt(int id, int row) const
{
    auto* list = dynamic_cast<CReportList*>(Control(id));
    const DeviceRow* device = list ? list->Rows().Device(row) : nullptr;
    return device ? std::optional<DeviceRow>(*device) : std::nullopt;
}

void QtControlOps::MarkRow(int id, int row)
{
    if (auto* list = dynamic_cast<CReportList*>(Control(id))) list->Rows().Mark(row);
}

void QtControlOps::MessageBox(const std::string& text936, const std::string& caption936, MessageIcon icon)
{
    FlushAllPending();
    const QString caption = caption936.empty() ? QString::fromLatin1(kApplicationName) : FromCp936(caption936);
    QMessageBox box(icon == MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon, caption,
                    FromCp936(text936), QMessageBox::Ok, m_owner);
    box.exec();
}

bool QtControlOps::AskOkCancel(const std::string& text936, const std::string& caption936)
{
    FlushAllPending();
    QMessageBox box(QMessageBox::Warning, caption936.empty() ? QString::fromLatin1(kApplicationName) : FromCp936(caption936),
                    FromCp936(text936), QMessageBox::Ok | QMessageBox::Cancel, m_owner);
    // Enter on a stray focus must not erase a device.
    box.setDefaultButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

void QtControlOps::MessageBoxText(const QString& text, MessageIcon icon)
{
    FlushAllPending();
    QMessageBox box(icon == MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon,
                    QString::fromLatin1(kApplicationName), text, QMessageBox::Ok, m_owner);
    box.exec();
}

} // namespace vornik
