#include "CIconButton.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVariant>

#include <cmath>

namespace {

// Control ids live in this dynamic property of the dialog's widgets.
constexpr char kControlIdProperty[] = "controlId";

// Word-wrapped, '&' marks the mnemonic as in a dialog caption.
constexpr int kCaptionFlags = Qt::TextWordWrap | Qt::TextShowMnemonic;

// The pixels of the axis-parallel segment from `from` to `to`, without `to`,
// the way a pen line ends one short of its end point. Steps through the
// segment so that it works in either direction.
void LineTo(QPainter& painter, QPoint from, QPoint to, const QColor& color)
{
    if (from == to)
        return;
    if (from.x() == to.x()) {
        const int y0 = from.y() < to.y() ? from.y() : to.y() + 1;
        const int y1 = from.y() < to.y() ? to.y() - 1 : from.y();
        painter.fillRect(QRect(from.x(), y0, 1, y1 - y0 + 1), color);
    } else if (from.y() == to.y()) {
        const int x0 = from.x() < to.x() ? from.x() : to.x() + 1;
        const int x1 = from.x() < to.x() ? to.x() - 1 : from.x();
        painter.fillRect(QRect(x0, from.y(), x1 - x0 + 1, 1), color);
    }
    // The face only ever draws horizontal and vertical edges.
}

void Polyline(QPainter& painter, QPoint from, QPoint through, QPoint to, const QColor& color)
{
    LineTo(painter, from, through, color);
    LineTo(painter, through, to, color);
}

// A 1-pixel frame just inside r (right and bottom exclusive).
void FrameRect(QPainter& painter, const QRect& r, const QColor& color)
{
    if (r.width() <= 0 || r.height() <= 0)
        return;
    painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), color);
    painter.fillRect(QRect(r.left(), r.top() + r.height() - 1, r.width(), 1), color);
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), color);
    painter.fillRect(QRect(r.left() + r.width() - 1, r.top(), 1, r.height()), color);
}

// Inverts every second pixel (checkerboard from the button's origin) of the
// logical rectangle r in image. The dots are inverted rather than painted so
// they stay visible over the icon as well as over the face.
void InvertDots(QImage& image, const QRect& r)
{
    if (r.width() <= 0 || r.height() <= 0)
        return;
    const qreal dpr = image.devicePixelRatio();
    for (int y = r.top(); y < r.top() + r.height(); ++y) {
        for (int x = r.left(); x < r.left() + r.width(); ++x) {
            if ((x + y) & 1)
                continue;
            const QRect dev = QRectF(x * dpr, y * dpr, dpr, dpr).toAlignedRect()
                                  .intersected(image.rect());
            for (int dy = dev.top(); dy <= dev.bottom(); ++dy) {
                auto* line = reinterpret_cast<QRgb*>(image.scanLine(dy));
                for (int dx = dev.left(); dx <= dev.right(); ++dx)
                    line[dx] ^= 0x00FFFFFFu;
            }
        }
    }
}

// A dotted focus frame inside r: top and bottom rows, then the sides between
// them, so no pixel is inverted twice.
void DrawFocusRect(QImage& image, const QRect& r)
{
    if (r.width() <= 0 || r.height() <= 0)
        return;
    const int l = r.left(), t = r.top(), w = r.width(), h = r.height();
    InvertDots(image, QRect(l, t, w, 1));
    InvertDots(image, QRect(l, t + h - 1, w, 1));
    InvertDots(image, QRect(l, t + 1, 1, h - 2));
    InvertDots(image, QRect(l + w - 1, t + 1, 1, h - 2));
}

// The icon's darker parts as one colour: every pixel that is at least half
// opaque and darker than a light grey (192) once laid over white. Light areas
// (a paper label, a metal shutter) stay open, so the engraved picture keeps
// its shape instead of turning into a solid blob. Drawn twice by the caller.
QImage Engraving(const QPixmap& icon, const QColor& color)
{
    const QImage src = icon.toImage().convertToFormat(QImage::Format_ARGB32);
    QImage out(src.size(), QImage::Format_ARGB32);
    out.fill(Qt::transparent);
    const QRgb ink = color.rgb() | 0xFF000000u;
    for (int y = 0; y < src.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < src.width(); ++x) {
            const int a = qAlpha(in[x]);
            // Grey level over white: gray * a + 255 * (255 - a), scaled by 255.
            const int over = (qGray(in[x]) * a + 255 * (255 - a)) / 255;
            if (a >= 128 && over < 192)
                dst[x] = ink;
        }
    }
    out.setDevicePixelRatio(icon.devicePixelRatio());
    return out;
}

} // namespace

CIconButton::CIconButton(QObject* parent)
    : QObject(parent)
{
    ResetColors(false);
}

CIconButton::~CIconButton()
{
    Detach();
}

bool CIconButton::AttachToButton(int id, QWidget* dialog)
{
    if (!dialog || m_button)
        return false;
    const auto buttons = dialog->findChildren<QPushButton*>();
    for (QPushButton* button : buttons) {
        bool ok = false;
        const int value = button->property(kControlIdProperty).toInt(&ok);
        if (ok && value == id) {
            Attach(button);
            return true;
        }
    }
    return false;
}

void CIconButton::Attach(QPushButton* button)
{
    m_button = button;
    m_default = button->isDefault();
    // Colours of the button the face is drawn for (its palette may differ
    // from the application's).
    ResetColors(false);
    button->installEventFilter(this);
    // The control takes the focus when clicked, also when the click comes
    // from click() or the keyboard; the dialog still gets clicked().
    connect(button, &QAbstractButton::clicked, this, [this] {
        if (QPushButton* b = Button())
            b->setFocus(Qt::OtherFocusReason);
    });
    Redraw();
}

void CIconButton::Detach()
{
    if (!m_button)
        return;
    m_button->removeEventFilter(this);
    disconnect(m_button, nullptr, this, nullptr);
    m_button->update();
    m_button.clear();
}

int CIconButton::LoadIcons(int resourceId, int width, int height)
{
    QPixmap pixmap;
    QImage image(QStringLiteral(":/icon/%1").arg(resourceId));
    if (!image.isNull() && width > 0 && height > 0) {
        // Stretched to the size asked for, like a resource icon loaded at a
        // given size; the aspect ratio of the picture is not kept.
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                    .scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        pixmap = QPixmap::fromImage(image);
    }
    return AssignIcon(pixmap);
}

int CIconButton::AssignIcon(const QPixmap& icon)
{
    m_icon = IconSlot{};
    if (icon.isNull()) {
        Redraw();
        return ICON_BUTTON_OK;
    }
    m_icon.icon = icon;
    const QSize size = icon.deviceIndependentSize().toSize();
    if (size.width() <= 0 || size.height() <= 0) {
        m_icon = IconSlot{};
        return ICON_BUTTON_INVALID_ICON;
    }
    // Laid out at twice the icon's centre point, which for an odd size is
    // one pixel less than the picture.
    m_icon.width = 2 * (size.width() / 2);
    m_icon.height = 2 * (size.height() / 2);
    Redraw();
    return ICON_BUTTON_OK;
}

int CIconButton::SetFlatLook(bool flat, bool redraw)
{
    m_flat = flat;
    if (redraw)
        Redraw();
    return ICON_BUTTON_OK;
}

int CIconButton::SetImageAlignment(uint8_t alignment, bool redraw)
{
    m_alignment = alignment;
    if (redraw)
        Redraw();
    return ICON_BUTTON_OK;
}

int CIconButton::ResetColors(bool redraw)
{
    const ColorPair pair{SystemColor(QPalette::Button), SystemColor(QPalette::ButtonText)};
    for (ColorPair& colors : m_colors)
        colors = pair;
    if (redraw)
        Redraw();
    return ICON_BUTTON_OK;
}

void CIconButton::Redraw()
{
    if (m_button)
        m_button->update();
}

QColor CIconButton::SystemColor(QPalette::ColorRole role) const
{
    const QWidget* button = Button();
    const QPalette palette = button ? button->palette() : QApplication::palette("QPushButton");
    return palette.color(QPalette::Active, role);
}

const CIconButton::ColorPair& CIconButton::CurrentColors() const
{
    return m_colors[m_focused ? ColorFocus : ColorOut];
}

bool CIconButton::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_button.data())
        return QObject::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::Paint: {
        QPushButton* button = Button();
        if (!button)
            break;
        QPainter painter(button);
        DrawItem(painter, button);
        return true;
    }
    case QEvent::MouseButtonDblClick: {
        // A double-click counts as a second click: deliver it as a press.
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() != Qt::LeftButton)
            break;
        QMouseEvent press(QEvent::MouseButtonPress, me->position(), me->scenePosition(),
                          me->globalPosition(), me->button(), me->buttons(), me->modifiers(),
                          me->pointingDevice());
        press.setTimestamp(me->timestamp());
        QCoreApplication::sendEvent(m_button.data(), &press);
        event->setAccepted(press.isAccepted());
        return true;
    }
    case QEvent::PaletteChange:
    case QEvent::ApplicationPaletteChange:
        ResetColors(true);
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void CIconButton::DrawItem(QPainter& target, QPushButton* button)
{
    m_pressed = button->isDown();
    m_focused = button->hasFocus();
    m_disabled = !button->isEnabled();
    // The dialog moves the default state between its buttons (and to the
    // focused one); follow it on every draw.
    m_default = button->isDefault();

    const QRect bounds = button->rect();
    if (bounds.isEmpty())
        return;

    // The face is composed in an image so the focus dots can invert what lies
    // beneath them. It matches the button's pixel density and font resolution.
    const qreal dpr = button->devicePixelRatioF();
    QImage face(QSize(int(std::ceil(bounds.width() * dpr)), int(std::ceil(bounds.height() * dpr))),
                QImage::Format_RGB32);
    face.setDevicePixelRatio(dpr);
    face.setDotsPerMeterX(int(std::lround(button->logicalDpiX() / 0.0254)));
    face.setDotsPerMeterY(int(std::lround(button->logicalDpiY() / 0.0254)));
    face.fill(CurrentColors().background);

    const Box item{0, 0, bounds.width(), bounds.height()};
    Box work = item;
    {
        QPainter painter(&face);
        painter.setFont(button->font());
        DrawBackground(painter, work);
        DrawBorder(painter, work);

        const QString caption = button->text();
        Box captionBox = item;
        if (!m_icon.icon.isNull())
            DrawIconImage(painter, item, captionBox, !caption.isEmpty());
        if (!caption.isEmpty())
            DrawCaption(painter, caption, captionBox);
    }
    if (m_focused) {
        Box focus = work;
        focus.Deflate(3);
        DrawFocusRect(face, focus.ToRect());
    }
    target.drawImage(QPoint(0, 0), face);
}

void CIconButton::DrawBackground(QPainter& painter, Box& work)
{
    if (m_focused || m_default) {
        FrameRect(painter, work.ToRect(), QColor(0, 0, 0));
        work.Deflate(1);
    }
    if (work.Width() > 0 && work.Height() > 0)
        painter.fillRect(work.ToRect(), CurrentColors().background);
}

void CIconButton::DrawBorder(QPainter& painter, const Box& r)
{
    if (m_pressed) {
        FrameRect(painter, r.ToRect(), SystemColor(QPalette::Dark));
        return;
    }
    const int l = r.left, t = r.top, rt = r.right, b = r.bottom;
    Polyline(painter, {l, b - 1}, {l, t}, {rt, t}, SystemColor(QPalette::Light));
    Polyline(painter, {l + 1, b - 1}, {l + 1, t + 1}, {rt, t + 1}, SystemColor(QPalette::Midlight));
    Polyline(painter, {l, b - 1}, {rt - 1, b - 1}, {rt - 1, t - 1}, SystemColor(QPalette::Shadow));
    Polyline(painter, {l + 1, b - 2}, {rt - 2, b - 2}, {rt - 2, t}, SystemColor(QPalette::Dark));
}

void CIconButton::DrawIconImage(QPainter& painter, const Box& item, Box& caption, bool hasCaption)
{
    const int w = m_icon.width;
    const int h = m_icon.height;
    Box image = item;
    // Image left of the caption, the only placement this button draws.
    if (hasCaption) {
        image.left = item.left + m_imageMargin;
        caption.left += w + m_imageMargin;
    } else {
        image.left = image.left + (image.right - image.left - w) / 2;
    }
    image.top = image.top + (image.bottom - image.top - h) / 2;
    if (m_pressed)
        image.Offset(m_pressedShiftX, m_pressedShiftY);

    // Drawn at its own size (which may be a pixel more than its layout size).
    const QPoint at(image.left, image.top);
    if (m_disabled) {
        painter.drawImage(at + QPoint(1, 1), Engraving(m_icon.icon, SystemColor(QPalette::Light)));
        painter.drawImage(at, Engraving(m_icon.icon, SystemColor(QPalette::Dark)));
    } else {
        painter.drawPixmap(at, m_icon.icon);
    }
}

void CIconButton::DrawCaption(QPainter& painter, const QString& text, Box caption)
{
    if (m_pressed)
        caption.Offset(m_pressedShiftX, m_pressedShiftY);

    // Size of the wrapped text block, then centre that block in the caption
    // area both ways (halves truncated toward zero).
    const Box bounds = caption;
    const QFontMetrics metrics(painter.font(), painter.device());
    const QRect extent = metrics.boundingRect(bounds.ToRect(), Qt::AlignLeft | Qt::AlignTop | kCaptionFlags, text);
    Box r{caption.left, caption.top, caption.left + extent.width(), caption.top + extent.height()};
    r.Offset((bounds.Width() - r.Width()) / 2, (bounds.Height() - r.Height()) / 2);

    const int flags = Qt::AlignHCenter | Qt::AlignTop | kCaptionFlags;
    if (m_disabled) {
        r.Offset(1, 1);
        painter.setPen(SystemColor(QPalette::Light));
        painter.drawText(r.ToRect(), flags, text);
        r.Offset(-1, -1);
        painter.setPen(SystemColor(QPalette::Dark));
        painter.drawText(r.ToRect(), flags, text);
    } else {
        painter.setPen(CurrentColors().foreground);
        painter.drawText(r.ToRect(), flags, text);
    }
}
