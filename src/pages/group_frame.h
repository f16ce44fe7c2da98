// A group box as dialogs draw it: an etched frame whose top edge runs through
// the middle of the title, with the title set into it. It only frames: the
// controls inside are its siblings, placed by the dialog.
#pragma once

#include <QString>
#include <QWidget>

namespace vornik {

class CGroupFrame : public QWidget {
public:
    CGroupFrame(const QString& title, QWidget* parent);

    QString Title() const { return m_title; }
    void SetTitle(const QString& title);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_title;
};

} // namespace vornik
