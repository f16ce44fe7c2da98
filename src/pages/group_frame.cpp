#include "pages/group_frame.h"

#include <QFontMetrics>
#include <QPainter>
#include <qdrawutil.h>

namespace vornik {

namespace {
constexpr int kTitleIndent = 8;  // from the frame's left edge to the title's gap
constexpr int kTitlePadding = 2; // cleared on each side of the title
} // namespace

CGroupFrame::CGroupFrame(const QString& title, QWidget* parent) : QWidget(parent), m_title(title)
{
    setAttribute(Qt::WA_TransparentForMouseEvents); // clicks belong to what lies inside
    setFocusPolicy(Qt::NoFocus);
}

void CGroupFrame::SetTitle(const QString& title)
{
    m_title = title;
    update();
}

void CGroupFrame::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const int lineY = metrics.height() / 2;

    // An etched edge: a shadow line with a light line beside it.
    qDrawShadeRect(&painter, rect().adjusted(0, lineY, 0, 0), palette(), true, 1, 0);

    if (m_title.isEmpty()) return;
    const QRect gap(kTitleIndent, 0, metrics.horizontalAdvance(m_title) + 2 * kTitlePadding, metrics.height());
    painter.fillRect(gap, palette().brush(backgroundRole()));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(gap, Qt::AlignCenter | Qt::TextSingleLine, m_title);
}

} // namespace vornik
