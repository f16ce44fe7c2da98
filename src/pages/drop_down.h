// The editable drop-downs of the pages: what the field shows and the entry a
// write sends are kept the same.
#pragma once

class QComboBox;

namespace vornik {

// Typed text that names an entry, in any case, selects it at once (as the
// user's choice); text that names none is put back to the selected entry's
// text when the field loses the focus or takes Enter (the keypad's too). The
// box must be editable.
void KeepDropDownTextSelected(QComboBox* combo);

// From here on screen readers hear every combo box by its accessible name,
// its text as its value. Called before the first box is made: Qt makes and
// keeps a widget's accessible interface while the widget is being set up.
void NameDropDownsByTheirNames();

// Puts the field back to the selected entry's text (empty with none
// selected); called before the selection is read.
void SettleDropDownText(QComboBox* combo);

} // namespace vornik
