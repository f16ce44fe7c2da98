// Builds a dialog's controls from template-like descriptions: each control
// at its place in dialog units, registered under its id.
#pragma once

#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

#include "layout/dialogs.h"
#include "pages/dialog_units.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace vornik {

class CGroupFrame;
class QtControlOps;

// Dialog-unit rectangle: x, y, width, height.
struct DuRect {
    int x, y, width, height;
};

class DialogBuilder {
public:
    DialogBuilder(QWidget* dialog, QtControlOps& controls);

    const DialogUnits& Units() const { return m_units; }

    CGroupFrame* Group(const QString& title, DuRect at);
    QLabel* Label(const QString& text, DuRect at, int id = 0);
    // A framed label for where the page's values came from; a screen reader
    // hears its lines as one sentence after "本页".
    QLabel* SourceLabel(int id, DuRect at);
    // Single-line, bordered, scrolls horizontally, no length limit.
    QLineEdit* Edit(int id, DuRect at, bool readOnly = false);
    // Drop-down combo box: an editable text field over a list. The height in
    // the template includes the dropped-down list. Its entries are those
    // ops/drop_downs.h gives the control.
    QComboBox* DropDown(int id, DuRect at);
    QPushButton* Button(int id, const QString& text, DuRect at);
    // Places an already made control and registers it under id (0: none).
    void Place(QWidget* control, DuRect at, int id = 0);

    // Every control of the template, in template order, at its place, under
    // its id, named for screen readers, each label of a drop-down tied to it.
    // The controls the builder does not make itself (the list, the info
    // area, the tab control, the icon) come from `make`. One widget per row
    // of the template, in its order.
    using Maker = std::function<QWidget*(const layout::Control& control)>;
    std::vector<QWidget*> Build(const layout::Dialog& dialog, const Maker& make = {});
    // Of the built controls, those the Tab key visits, in the template's order.
    static std::vector<QWidget*> TabStops(const layout::Dialog& dialog, const std::vector<QWidget*>& built);

    // The name a screen reader gives the control (a drop-down's text field too).
    static QWidget* Name(QWidget* control, const QString& name);

    // The keyboard order through the given controls, first to last.
    static void SetTabOrder(const std::vector<QWidget*>& order);

private:
    QWidget* m_dialog;
    QtControlOps& m_controls;
    DialogUnits m_units;
};

} // namespace vornik
