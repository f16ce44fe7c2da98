// The info prompt area: a multi-line edit with a vertical scroll bar that
// shows typed letters in upper case. As in a dialog, Tab moves on and Enter
// goes to the dialog; Ctrl+Enter starts a new line.
#pragma once

#include <QPlainTextEdit>

namespace vornik {

class CInfoEdit : public QPlainTextEdit {
public:
    explicit CInfoEdit(QWidget* parent);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
};

} // namespace vornik
