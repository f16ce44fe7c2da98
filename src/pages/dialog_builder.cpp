#include "pages/dialog_builder.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCoreApplication>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOptionComplex>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

#include <stdexcept>
#include <string>

#include "ops/drop_downs.h"
#include "pages/drop_down.h"
#include "pages/group_frame.h"
#include "pages/qt_control_ops.h"

namespace vornik {

namespace {

// The narrow drop-downs of the templates (31 units for "NONE", 50 for
// "DHCP/autoIP") leave the text too little room beside the usual arrow
// button; a slim button, with the text field reaching up to it, gives it back.
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
        if (sub == SC_ComboBoxEditField) r.setRight(arrow.left() + spare - 1);
        return r;
    }

private:
    static constexpr int kArrowWidth = 11;
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

QLabel* DialogBuilder::SourceLabel(int id, DuRect at)
{
    QLabel* label = Label(QString(), at, id);
    label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setProperty("accessiblePrefix", QStringLiteral(u"本页"));
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

QComboBox* DialogBuilder::DropDown(int id, DuRect at)
{
    NameDropDownsByTheirNames();
    auto* combo = new QComboBox(m_dialog);
    combo->setStyle(DropDownStyle());
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert); // typing never adds entries
    combo->setCompleter(nullptr);                // nor completes to one
    for (const std::string& entry : DropDownOf(id).entries) combo->addItem(QString::fromStdString(entry));
    combo->setCurrentIndex(-1);
    KeepDropDownTextSelected(combo);
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
    // No button is the dialog's default: Enter presses only a focused button.
    button->setAutoDefault(false);
    Place(button, at, id);
    return button;
}

std::vector<QWidget*> DialogBuilder::Build(const layout::Dialog& dialog, const Maker& make)
{
    using layout::Kind;
    std::vector<QWidget*> built;
    for (const layout::Control& c : dialog.controls) {
        const QString text = QCoreApplication::translate("vornik::layout", layout::ControlText(dialog, c).c_str());
        const DuRect at{c.at.x, c.at.y, c.at.width, c.at.height};
        QWidget* w = nullptr;
        switch (c.kind) {
        case Kind::Group: w = Group(text, at); break;
        case Kind::Label: w = Label(text, at, c.id); break;
        case Kind::SourceLabel: w = SourceLabel(c.id, at); break;
        case Kind::Edit: w = Edit(c.id, at); break;
        case Kind::ReadOnlyEdit: w = Edit(c.id, at, true); break;
        case Kind::DropDown: w = DropDown(c.id, at); break;
        case Kind::Button:
        case Kind::DefaultButton:
        case Kind::CancelButton: w = Button(c.id, text, at); break;
        case Kind::Icon:
        case Kind::InfoEdit:
        case Kind::List:
        case Kind::Tab:
            if (!make) throw std::logic_error("no maker for control " + std::to_string(c.id));
            w = make(c);
            Place(w, at, c.id);
            break;
        }
        if (const std::string name = layout::AccessibleName(dialog, c); !name.empty())
            Name(w, QString::fromStdString(name));
        built.push_back(w);
    }
    // Some platforms name a drop-down by its current text and its label by relation.
    for (size_t i = 0; i < dialog.controls.size(); ++i)
        if (const layout::Control* list = layout::LabelledDropDown(dialog, dialog.controls[i]))
            static_cast<QLabel*>(built[i])->setBuddy(built[size_t(list - dialog.controls.data())]);
    return built;
}

std::vector<QWidget*> DialogBuilder::TabStops(const layout::Dialog& dialog, const std::vector<QWidget*>& built)
{
    using layout::Kind;
    std::vector<QWidget*> stops;
    for (size_t i = 0; i < dialog.controls.size() && i < built.size(); ++i) {
        switch (dialog.controls[i].kind) {
        case Kind::Group:
        case Kind::Label:
        case Kind::SourceLabel:
        case Kind::Icon: break;
        default: stops.push_back(built[i]);
        }
    }
    return stops;
}

QWidget* DialogBuilder::Name(QWidget* control, const QString& name)
{
    control->setAccessibleName(name);
    if (auto* combo = qobject_cast<QComboBox*>(control); combo && combo->lineEdit())
        combo->lineEdit()->setAccessibleName(name);
    return control;
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
