// CIconButton: gives an existing push button of a dialog a face of its own —
// a 3-D edge, an icon left of the caption, the caption centred in the rest and
// a dotted focus rectangle — the way a subclassed owner-drawn button would.
//
// It does not create a widget. AttachToButton finds the dialog's button by
// its "controlId" property and installs an event filter on it; the filter
// paints the face itself and leaves everything else (caption, geometry,
// clicked(), keyboard handling, default-button logic) to the QPushButton.
//
// Colours: the face uses palette roles in place of system colours —
// Button (face), ButtonText (caption), Light (highlight edge, embossed
// disabled text), Midlight (inner light edge), Shadow (outer dark edge) and
// Dark (inner shadow edge, pressed frame, disabled text). They are always
// taken from the Active colour group: disabled and pressed looks are drawn
// explicitly, not through the palette's groups.
//
// Lifetime: destroying the CIconButton removes the filter and the button
// paints itself normally again. Destroying the button first is harmless.
#pragma once

#include <QColor>
#include <QObject>
#include <QPalette>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QRect>
#include <QSize>

#include <cstdint>

class QPainter;
class QWidget;

class CIconButton : public QObject {
    Q_OBJECT

public:
    // Result codes of the configuration operations.
    static constexpr int ICON_BUTTON_OK = 0;
    // The icon's size could not be read. Every non-null QPixmap has a readable
    // size, so with Qt this code never comes back; it is kept so callers can
    // test for it as for any other result.
    static constexpr int ICON_BUTTON_INVALID_ICON = 1;

    // Image placement rules; only "image left of the caption" is drawn.
    static constexpr uint8_t ICON_ALIGN_HORIZONTAL = 0;

    // One colour pair per state: face and caption.
    enum ColorState { ColorIn = 0, ColorOut = 1, ColorFocus = 2, ColorStateCount = 3 };
    struct ColorPair {
        QColor background;
        QColor foreground;
    };

    // The icon and the size it is laid out with (twice its centre point, so
    // odd sizes lose a pixel: 25 x 25 is laid out as 24 x 24).
    struct IconSlot {
        QPixmap icon;
        int width = 0;
        int height = 0;
    };

    explicit CIconButton(QObject* parent = nullptr);
    ~CIconButton() override;

    CIconButton(const CIconButton&) = delete;
    CIconButton& operator=(const CIconButton&) = delete;

    // Attaches to the QPushButton among dialog's descendants whose dynamic
    // property "controlId" equals id. False when there is no such button, when
    // dialog is null, or when this object is already attached; then nothing
    // changes.
    bool AttachToButton(int id, QWidget* dialog);

    // Loads ":/icon/<resourceId>" stretched to exactly width x height, then
    // AssignIcon. An icon that cannot be loaded arrives as a null pixmap.
    int LoadIcons(int resourceId, int width, int height);

    // Replaces the icon (null pixmap: no icon, caption alone, centred) and
    // redraws. 0, or ICON_BUTTON_INVALID_ICON as described above.
    int AssignIcon(const QPixmap& icon);

    // Stored only: the face is always drawn in the normal 3-D look.
    int SetFlatLook(bool flat, bool redraw = true);
    // Stored only: the image is always placed left of the caption.
    int SetImageAlignment(uint8_t alignment, bool redraw = true);
    // Every colour pair becomes (Button, ButtonText) of the button's palette,
    // or of the application's palette while not attached.
    int ResetColors(bool redraw = true);

    // State, for callers and tests.
    QPushButton* Button() const { return qobject_cast<QPushButton*>(m_button.data()); }
    QSize IconSize() const { return {m_icon.width, m_icon.height}; }
    const QPixmap& Icon() const { return m_icon.icon; }
    int ImageMargin() const { return m_imageMargin; }
    QPoint PressedShift() const { return {m_pressedShiftX, m_pressedShiftY}; }
    bool IsFlat() const { return m_flat; }
    uint8_t ImageAlignment() const { return m_alignment; }
    ColorPair Colors(ColorState state) const { return m_colors[state]; }
    // The item states as of the last face drawn.
    bool WasPressed() const { return m_pressed; }
    bool WasFocused() const { return m_focused; }
    bool WasDisabled() const { return m_disabled; }
    bool IsDefault() const { return m_default; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Rectangles follow the GDI convention the drawing steps are written in:
    // right and bottom are exclusive.
    struct Box {
        int left = 0, top = 0, right = 0, bottom = 0;
        int Width() const { return right - left; }
        int Height() const { return bottom - top; }
        void Offset(int dx, int dy) { left += dx; right += dx; top += dy; bottom += dy; }
        void Deflate(int d) { left += d; top += d; right -= d; bottom -= d; }
        QRect ToRect() const { return QRect(left, top, Width(), Height()); }
    };

    void Attach(QPushButton* button);
    void Detach();
    void Redraw();
    QColor SystemColor(QPalette::ColorRole role) const;
    const ColorPair& CurrentColors() const;

    void DrawItem(QPainter& painter, QPushButton* button);
    void DrawBackground(QPainter& painter, Box& work);
    void DrawBorder(QPainter& painter, const Box& work);
    void DrawIconImage(QPainter& painter, const Box& item, Box& caption, bool hasCaption);
    void DrawCaption(QPainter& painter, const QString& text, Box caption);

    // Held as a QWidget: while the button is being destroyed it is no longer
    // a QPushButton, and this object may be destroyed with it (as its child).
    QPointer<QWidget> m_button;

    int m_imageMargin = 3;
    int m_pressedShiftX = 1;
    int m_pressedShiftY = 1;
    bool m_flat = true;
    bool m_pressed = false;
    bool m_focused = false;
    bool m_disabled = false;
    bool m_default = false;
    uint8_t m_alignment = ICON_ALIGN_HORIZONTAL;
    ColorPair m_colors[ColorStateCount];
    IconSlot m_icon;
};
