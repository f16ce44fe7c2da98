// CIconButton: an existing push button of a dialog made owner-drawn, with a
// 3-D edge, an icon left of the caption, the caption centred in the rest, a
// black frame when focused or default and a dotted focus rectangle. The
// button keeps its id, caption, place and its clicks; a double-click counts
// as two clicks. Drawing follows the parent's WM_DRAWITEM, which the parent
// hands to DrawItem.
#pragma once

#include <windows.h>

namespace vornik::win32 {

class CIconButton {
public:
    CIconButton();
    ~CIconButton();
    CIconButton(const CIconButton&) = delete;
    CIconButton& operator=(const CIconButton&) = delete;

    // False when the dialog has no control with the id.
    bool AttachToButton(int id, HWND dialog);
    // 0, also when the icon does not load (the caption alone is drawn); 1
    // when the icon's information is unreadable.
    int LoadIcons(int iconId, int width, int height);
    int AssignIcon(HICON icon);
    int SetFlatLook(bool flat, bool redraw = true);
    int SetImageAlignment(BYTE alignment, bool redraw = true);
    int ResetColors(bool redraw = true);

    // The parent's WM_DRAWITEM for this button.
    void DrawItem(const DRAWITEMSTRUCT& item);
    HWND Handle() const { return m_hwnd; }
    bool IsDefault() const { return m_default; }
    // Where DrawItem last put the icon's top-left corner and the caption's
    // area, in the button's client coordinates (for tests of the layout).
    POINT LastIconAt() const { return m_lastIconAt; }
    RECT LastCaptionBounds() const { return m_lastCaption; }

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR self);
    void Redraw() const;
    void DrawBackground(HDC dc, RECT& r) const;
    void DrawBorder(HDC dc, const RECT& r) const;
    void DrawIconImage(HDC dc, const RECT& item, RECT& caption);
    void DrawCaption(HDC dc, const wchar_t* text, RECT caption);

    struct IconSlot {
        HICON icon = nullptr;
        int width = 0;
        int height = 0;
    };
    struct ColorPair {
        COLORREF background, foreground;
    };

    HWND m_hwnd = nullptr;
    int m_imageMargin = 3;
    int m_pressedShiftX = 1, m_pressedShiftY = 1;
    BOOL m_flat = TRUE;
    BOOL m_pressed = FALSE;
    BOOL m_focused = FALSE;
    BOOL m_disabled = FALSE;
    BOOL m_default = FALSE;
    BYTE m_alignment = 0;
    ColorPair m_colors[3]{}; // In, Out, Focus
    IconSlot m_icon;
    POINT m_lastIconAt{-1, -1};
    RECT m_lastCaption{};
};

} // namespace vornik::win32
