#include "pages/drop_down.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>

namespace vornik {

namespace {

// Qt's own interface for a combo box names it by its current text on Unix
// (the label is left to a relation), and AT-SPI hands screen readers that
// name: the data-bits box was heard as "8". This one names the box as its
// accessible name says and keeps the text as its value; the children (the
// list, then the text field) are Qt's order.
class DropDownAccessible : public QAccessibleWidget {
public:
    explicit DropDownAccessible(QComboBox* combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value) return Combo()->lineEdit() ? Combo()->lineEdit()->text() : Combo()->currentText();
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = Combo()->view()->isVisible();
        s.editable = Combo()->isEditable();
        return s;
    }

    int childCount() const override { return Combo()->lineEdit() ? 2 : 1; }

    QAccessibleInterface* child(int index) const override
    {
        if (index == 0) return QAccessible::queryAccessibleInterface(Combo()->view());
        if (index == 1 && Combo()->lineEdit()) return QAccessible::queryAccessibleInterface(Combo()->lineEdit());
        return nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (!child) return -1;
        if (child->object() == Combo()->view()) return 0;
        if (Combo()->lineEdit() && child->object() == Combo()->lineEdit()) return 1;
        return -1;
    }

    QAccessibleInterface* childAt(int x, int y) const override
    {
        QLineEdit* field = Combo()->lineEdit();
        if (field && field->isVisible() && QRect(field->mapToGlobal(QPoint(0, 0)), field->size()).contains(x, y))
            return child(1);
        return nullptr;
    }

    QStringList actionNames() const override { return QStringList{showMenuAction()} + QAccessibleWidget::actionNames(); }

    void doAction(const QString& action) override
    {
        if (action == showMenuAction()) Combo()->showPopup();
        else QAccessibleWidget::doAction(action);
    }

private:
    QComboBox* Combo() const { return static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* DropDownFactory(const QString& className, QObject* object)
{
    if (className != QLatin1String("QComboBox") || !object || !object->isWidgetType()) return nullptr;
    return new DropDownAccessible(static_cast<QComboBox*>(object));
}

class DropDownRule : public QObject {
public:
    explicit DropDownRule(QComboBox* combo) : QObject(combo), m_combo(combo)
    {
        combo->installEventFilter(this);
        connect(combo->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) { OnTyped(text); });
        // A chosen entry is shown from its beginning, like any new text of an
        // edit; an entry selected by typing leaves the caret where it is.
        connect(combo, &QComboBox::currentIndexChanged, this, [this] {
            if (!m_typing) m_combo->lineEdit()->setCursorPosition(0);
        });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // A focused box that is being destroyed loses the focus from its
        // base's destructor, when it is no longer a combo box.
        if (watched != m_combo || !qobject_cast<QComboBox*>(watched)) return false;
        if (event->type() == QEvent::FocusOut) {
            SettleDropDownText(m_combo);
        } else if (event->type() == QEvent::KeyPress && !m_combo->view()->isVisible()) {
            // Enter in the field commits what it shows and goes no further;
            // with the list open it chooses the entry as usual.
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                SettleDropDownText(m_combo);
                return true;
            }
        }
        return false;
    }

private:
    void OnTyped(const QString& text)
    {
        // "none" names NONE as "NONE" does.
        const int index = m_combo->findText(text, Qt::MatchFixedString);
        if (index < 0 || index == m_combo->currentIndex()) return;
        m_typing = true;
        m_combo->setCurrentIndex(index);
        m_typing = false;
        emit m_combo->activated(index);
        emit m_combo->textActivated(text);
    }

    QComboBox* m_combo;
    bool m_typing = false;
};

} // namespace

void NameDropDownsByTheirNames()
{
    static const bool installed = (QAccessible::installFactory(DropDownFactory), true);
    (void)installed;
}

void KeepDropDownTextSelected(QComboBox* combo) { new DropDownRule(combo); }

void SettleDropDownText(QComboBox* combo)
{
    QLineEdit* field = combo->lineEdit();
    if (!field) return;
    const QString selected = combo->currentIndex() >= 0 ? combo->itemText(combo->currentIndex()) : QString();
    if (field->text() == selected) return;
    field->setText(selected);
    field->setCursorPosition(0);
}

} // namespace vornik
