#include "pages/dialog_builder.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOptionComplex>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <QEvent>
#include <QKeyEvent>

#include <algorithm>

#include "pages/group_frame.h"
#include "pages/qt_control_ops.h"

namespace vornik {

namespace {

// Enter in a drop-down's text field belongs to the dialog, as in an edit:
// it ends the dialog rather than being taken by the box. With the list open,
// Enter chooses the entry as usual.
class PassEnterToDialog : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        auto* combo = qobject_cast<QComboBox*>(watched);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && combo &&
            !combo->view()->isVisible()) {
            key->ignore(); // unaccepted, the key goes on to the parent widgets
            return true;
        }
        return false;
    }
};

// The narrow drop-downs of the templates (31 units for "NONE") leave the
// text too little room beside the usual arrow button; a button the width of
// a slim scroll bar gives it back.
class SlimArrowStyle : public QProxyStyle {
public:
    SlimArrowStyle() = default;

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget) const override
    {
        QRect r = QProxyStyle::subControlRect(control, option, sub, widget);
        if (control != CC_ComboBox) return r;
        const QRect arrow = QProxyStyle::subControlRect(control, option, SC_ComboBoxArrow, widget);
        const int spare = arrow.width() - kArrowWidth;
        if (spare <= 0) return r;
        if (sub == SC_ComboBoxArrow) r.setLeft(r.left() + spare);
        if (sub == SC_ComboBoxEditField) r.setRight(r.right() + spare);
        return r;
    }

private:
    static constexpr int kArrowWidth = 14;
};

QStyle* DropDownStyle()
{
    static QPointer<QStyle> style;
    if (!style) {
        style = new SlimArrowStyle;
        style->setParent(qApp);
    }
    return style;
}

} // namespace

DialogBuilder::DialogBuilder(QWidget* dialog, QtControlOps& controls)
    : m_dialog(dialog), m_controls(controls), m_units(DialogUnits::FromFont(dialog->font()))
{
}

void DialogBuilder::Place(QWidget* control, DuRect at, int id)
{
    control->setGeometry(m_units.Map(at.x, at.y, at.width, at.height));
    if (id != 0) m_controls.RegisterControl(id, control);
}

CGroupFrame* DialogBuilder::Group(const QString& title, DuRect at)
{
    // A frame drawn behind its controls, which stay children of the dialog as
    // in the template; kept below them so that it never takes their clicks.
    auto* group = new CGroupFrame(title, m_dialog);
    Place(group, at);
    group->lower();
    return group;
}

QLabel* DialogBuilder::Label(const QString& text, DuRect at, int id)
{
    auto* label = new QLabel(text, m_dialog);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop); // static text starts at its top
    Place(label, at, id);
    return label;
}

QLineEdit* DialogBuilder::Edit(int id, DuRect at, bool readOnly)
{
    auto* edit = new QLineEdit(m_dialog);
    edit->setReadOnly(readOnly);
    edit->setMaxLength(32767); // the most a QLineEdit takes; no limit of our own
    Place(edit, at, id);
    return edit;
}

QComboBox* DialogBuilder::DropDown(int id, DuRect at, const QStringList& entries)
{
    auto* combo = new QComboBox(m_dialog);
    combo->setStyle(DropDownStyle());
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert); // typing never adds entries
    combo->setCompleter(nullptr);                // nor completes to one
    combo->addItems(entries);
    combo->installEventFilter(new PassEnterToDialog(combo));
    combo->setCurrentIndex(-1);
    // A chosen entry is shown from its beginning, like any new text of an edit.
    QObject::connect(combo, &QComboBox::currentIndexChanged, combo, [combo] {
        if (QLineEdit* field = combo->lineEdit()) field->setCursorPosition(0);
    });
    Place(combo, at, id);

    // Closed, the box is as high as its text field; the rest of the template
    // height is what the dropped-down list may take before it scrolls.
    const QRect full = m_units.Map(at.x, at.y, at.width, at.height);
    const int closed = std::min(full.height(), combo->sizeHint().height());
    combo->setGeometry(full.x(), full.y(), full.width(), closed);
    const int itemHeight = QFontMetrics(combo->font()).height() + 2;
    combo->setMaxVisibleItems(std::max(1, (full.height() - closed) / itemHeight));
    return combo;
}

QPushButton* DialogBuilder::Button(int id, const QString& text, DuRect at)
{
    auto* button = new QPushButton(text, m_dialog);
    Place(button, at, id);
    return button;
}

void DialogBuilder::SetTabOrder(const std::vector<QWidget*>& order)
{
    QWidget* previous = nullptr;
    for (QWidget* w : order) {
        if (previous) QWidget::setTabOrder(previous, w);
        previous = w;
    }
}

} // namespace vornik
