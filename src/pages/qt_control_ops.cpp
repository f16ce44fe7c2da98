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
#include <QTreeWidget>

#include <algorithm>
#include <set>

#include "pages/cp936.h"
#include "pages/drop_down.h"
#include "pages/group_frame.h"

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
        ScheduleFlush();
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        button->setText(FromCp936(text936));
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(FromCp936(text936));
    } else if (auto* group = dynamic_cast<CGroupFrame*>(w)) {
        group->SetTitle(FromCp936(text936));
    }
}

void QtControlOps::ScheduleFlush()
{
    if (m_flushScheduled) return;
    m_flushScheduled = true;
    // Queued behind whatever is already waiting, datagrams included.
    QMetaObject::invokeMethod(m_owner, [this] { FlushPending(); }, Qt::QueuedConnection);
}

void QtControlOps::FlushPending()
{
    m_flushScheduled = false;
    for (auto& [id, state] : m_multiLine) {
        if (!state.hasPending) continue;
        if (auto* area = qobject_cast<QPlainTextEdit*>(Control(id))) Apply(id, area, state);
        state.hasPending = false;
        state.pending.clear();
    }
}

void QtControlOps::FlushAllPending()
{
    for (QtControlOps* dialog : LiveDialogs()) dialog->FlushPending();
}

void QtControlOps::Apply(int, QPlainTextEdit* area, MultiLineText& state)
{
    const std::string& text = state.pending;
    state.applying = true;
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
    if (qobject_cast<QTreeWidget*>(w)) return FirstSelectedRow(id);
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
    if (auto* list = qobject_cast<QTreeWidget*>(Control(id))) list->clear();
}

void QtControlOps::InsertRow(int id, int row, const std::string& firstCell936)
{
    auto* list = qobject_cast<QTreeWidget*>(Control(id));
    if (!list) return;
    auto* item = new QTreeWidgetItem(QStringList{FromCp936(firstCell936)});
    list->insertTopLevelItem(std::clamp(row, 0, list->topLevelItemCount()), item);
}

void QtControlOps::SetCell(int id, int row, int column, const std::string& text936)
{
    auto* list = qobject_cast<QTreeWidget*>(Control(id));
    if (!list || column < 0 || column >= list->columnCount()) return;
    if (QTreeWidgetItem* item = list->topLevelItem(row)) item->setText(column, FromCp936(text936));
}

int QtControlOps::FirstSelectedRow(int id) const
{
    auto* list = qobject_cast<QTreeWidget*>(Control(id));
    if (!list) return -1;
    int first = -1;
    for (const QModelIndex& index : list->selectionModel()->selectedIndexes())
        if (!index.parent().isValid() && (first < 0 || index.row() < first)) first = index.row();
    return first;
}

std::string QtControlOps::GetCell(int id, int row, int column) const
{
    auto* list = qobject_cast<QTreeWidget*>(Control(id));
    if (!list) return {};
    const QTreeWidgetItem* item = list->topLevelItem(row);
    return item ? ToCp936(item->text(column)) : std::string{};
}

void QtControlOps::MessageBox(const std::string& text936, const std::string& caption936, MessageIcon icon)
{
    FlushAllPending();
    const QString caption = caption936.empty() ? QString::fromLatin1(kApplicationName) : FromCp936(caption936);
    QMessageBox box(icon == MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon, caption,
                    FromCp936(text936), QMessageBox::Ok, m_owner);
    box.exec();
}

} // namespace vornik
