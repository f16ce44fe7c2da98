// A tab control as the dialog manager has it: a row of fixed-width tabs over
// a framed area, and pages that are plain children placed by their owner.
// Selecting a tab only reports the change; the owner shows and hides pages.
#pragma once

#include <QWidget>

class QTabBar;

namespace vornik {

class CTabCtrl : public QWidget {
public:
    explicit CTabCtrl(QWidget* parent);

    QTabBar* Bar() const { return m_bar; }
    int InsertItem(int index, const QString& text);
    int GetCurSel() const;
    void SetCurSel(int index);
    // Where pages go: the control's client rectangle, its own coordinates.
    QRect ClientRect() const { return rect(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int BarHeight() const;

    QTabBar* m_bar;
};

} // namespace vornik
