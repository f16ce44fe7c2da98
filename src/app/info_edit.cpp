#include "app/info_edit.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>

namespace vornik {

CInfoEdit::CInfoEdit(QWidget* parent) : QPlainTextEdit(parent)
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setTabChangesFocus(true);
    // Every new text replaces the whole content; there is nothing to undo to.
    setUndoRedoEnabled(false);
}

void CInfoEdit::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && event->modifiers() & Qt::ControlModifier) {
        textCursor().insertText(QStringLiteral("\n"));
        ensureCursorVisible();
        return;
    }
    if (enter) {
        event->ignore();
        return;
    }
    const QString text = event->text();
    const QString upper = text.toUpper();
    if (upper != text) {
        QKeyEvent shown(event->type(), event->key(), event->modifiers(), upper, event->isAutoRepeat(),
                        ushort(event->count()));
        QPlainTextEdit::keyPressEvent(&shown);
        event->setAccepted(shown.isAccepted());
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void CInfoEdit::inputMethodEvent(QInputMethodEvent* event)
{
    const QString upper = event->commitString().toUpper();
    if (upper != event->commitString()) {
        QInputMethodEvent shown(event->preeditString(), event->attributes());
        shown.setCommitString(upper, event->replacementStart(), event->replacementLength());
        QPlainTextEdit::inputMethodEvent(&shown);
        return;
    }
    QPlainTextEdit::inputMethodEvent(event);
}

void CInfoEdit::insertFromMimeData(const QMimeData* source)
{
    if (source && source->hasText()) {
        textCursor().insertText(source->text().toUpper());
        ensureCursorVisible();
        return;
    }
    QPlainTextEdit::insertFromMimeData(source);
}

} // namespace vornik
