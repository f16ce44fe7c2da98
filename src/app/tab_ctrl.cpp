#include "app/tab_ctrl.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>
#include <QTabBar>

#include <algorithm>

namespace vornik {

namespace {

// Pages start 20 pixels below the control's top; the tabs keep to that band.
constexpr int kTabBandHeight = 20;

// Every tab as wide as the widest caption needs.
class FixedWidthTabBar : public QTabBar {
public:
    using QTabBar::QTabBar;

protected:
    QSize tabSizeHint(int index) const override
    {
        QSize size = QTabBar::tabSizeHint(index);
        int widest = 0;
        for (int i = 0; i < count(); ++i) widest = std::max(widest, QTabBar::tabSizeHint(i).width());
        size.setWidth(widest);
        size.setHeight(kTabBandHeight);
        return size;
    }
    QSize minimumTabSizeHint(int index) const override { return tabSizeHint(index); }
};

} // namespace

CTabCtrl::CTabCtrl(QWidget* parent) : QWidget(parent), m_bar(new FixedWidthTabBar(this))
{
    m_bar->setDrawBase(false); // the frame below is ours
    m_bar->setExpanding(false);
    m_bar->setUsesScrollButtons(false);
    m_bar->setFocusPolicy(Qt::TabFocus);
}

int CTabCtrl::BarHeight() const { return std::min(kTabBandHeight, m_bar->sizeHint().height()); }

int CTabCtrl::InsertItem(int index, const QString& text)
{
    const int at = m_bar->insertTab(index, text);
    m_bar->resize(m_bar->sizeHint().width(), BarHeight());
    return at;
}

int CTabCtrl::GetCurSel() const { return m_bar->currentIndex(); }

void CTabCtrl::SetCurSel(int index) { m_bar->setCurrentIndex(index); }

void CTabCtrl::resizeEvent(QResizeEvent*) { m_bar->resize(m_bar->sizeHint().width(), BarHeight()); }

void CTabCtrl::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionTabWidgetFrame frame;
    frame.initFrom(this);
    frame.shape = QTabBar::RoundedNorth;
    frame.tabBarSize = m_bar->size();
    frame.tabBarRect = m_bar->geometry();
    frame.selectedTabRect = m_bar->tabRect(m_bar->currentIndex()).translated(m_bar->pos());
    frame.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    const int overlap = style()->pixelMetric(QStyle::PM_TabBarBaseOverlap, nullptr, this);
    frame.rect = rect().adjusted(0, m_bar->height() - overlap, 0, 0);
    painter.drawPrimitive(QStyle::PE_FrameTabWidget, frame);
}

} // namespace vornik
