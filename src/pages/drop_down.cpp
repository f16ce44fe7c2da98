#include "pages/drop_down.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>

namespace vornik {

namespace {

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
        const int index = m_combo->findText(text, Qt::MatchExactly);
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
