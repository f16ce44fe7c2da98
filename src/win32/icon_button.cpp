#include "win32/icon_button.h"

#include <commctrl.h>

#include <string>

namespace vornik::win32 {

namespace {

constexpr UINT_PTR kSubclassId = 0x1B07;

void Line(HDC dc, COLORREF color, POINT from, POINT through, POINT to)
{
    HPEN pen = CreatePen(PS_SOLID, 1, color);
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, from.x, from.y, nullptr);
    LineTo(dc, through.x, through.y);
    LineTo(dc, to.x, to.y);
    SelectObject(dc, old);
    DeleteObject(pen);
}

} // namespace

CIconButton::CIconButton() { ResetColors(false); }

CIconButton::~CIconButton()
{
    if (m_hwnd) RemoveWindowSubclass(m_hwnd, SubclassProc, kSubclassId);
    if (m_icon.icon) DestroyIcon(m_icon.icon);
}

bool CIconButton::AttachToButton(int id, HWND dialog)
{
    HWND button = GetDlgItem(dialog, id);
    if (!button) return false;
    m_hwnd = button;
    LONG style = GetWindowLongW(button, GWL_STYLE);
    if ((style & 0x1F) == BS_DEFPUSHBUTTON) m_default = TRUE;
    style = (style & ~0x1F) | BS_OWNERDRAW;
    SetWindowLongW(button, GWL_STYLE, style);
    SetWindowPos(button, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    SetWindowSubclass(button, SubclassProc, kSubclassId, DWORD_PTR(this));
    return true;
}

int CIconButton::LoadIcons(int iconId, int width, int height)
{
    const HICON icon = HICON(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(iconId), IMAGE_ICON, width,
                                        height, LR_DEFAULTCOLOR));
    return AssignIcon(icon);
}

int CIconButton::AssignIcon(HICON icon)
{
    if (m_icon.icon) DestroyIcon(m_icon.icon);
    m_icon = IconSlot{};
    if (!icon) {
        Redraw();
        return 0;
    }
    m_icon.icon = icon;
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) {
        DestroyIcon(icon);
        m_icon = IconSlot{};
        return 1;
    }
    // The hot spot is the icon's centre: an icon loaded at 25 × 25 is laid out as 24 × 24.
    m_icon.width = int(info.xHotspot) * 2;
    m_icon.height = int(info.yHotspot) * 2;
    if (info.hbmMask) DeleteObject(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    Redraw();
    return 0;
}

int CIconButton::SetFlatLook(bool flat, bool redraw)
{
    m_flat = flat;
    if (redraw) Redraw();
    return 0;
}

int CIconButton::SetImageAlignment(BYTE alignment, bool redraw)
{
    m_alignment = alignment;
    if (redraw) Redraw();
    return 0;
}

int CIconButton::ResetColors(bool redraw)
{
    for (ColorPair& pair : m_colors) pair = {GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNTEXT)};
    if (redraw) Redraw();
    return 0;
}

void CIconButton::Redraw() const
{
    if (m_hwnd) InvalidateRect(m_hwnd, nullptr, TRUE);
}

LRESULT CALLBACK CIconButton::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                           DWORD_PTR selfData)
{
    auto* self = reinterpret_cast<CIconButton*>(selfData);
    switch (message) {
    case WM_LBUTTONDBLCLK:
        // A double-click counts as two clicks.
        return DefSubclassProc(hwnd, WM_LBUTTONDOWN, wParam, lParam);
    case WM_GETDLGCODE:
        return DefSubclassProc(hwnd, message, wParam, lParam) |
               (self->m_default ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
    case BM_SETSTYLE: {
        // The dialog moves the default state between its buttons; this one
        // stays owner-drawn and remembers whether it is the default.
        const UINT type = UINT(wParam) & 0x1F;
        if (type == BS_DEFPUSHBUTTON) self->m_default = TRUE;
        if (type == BS_PUSHBUTTON) self->m_default = FALSE;
        return DefSubclassProc(hwnd, message, (wParam & ~WPARAM(0x1F)) | BS_OWNERDRAW, lParam);
    }
    case WM_SYSCOLORCHANGE: {
        const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
        self->ResetColors(true);
        return result;
    }
    case WM_LBUTTONUP: {
        // A click gives the button the focus.
        const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
        if (IsWindow(hwnd) && GetFocus() != hwnd) SetFocus(hwnd);
        return result;
    }
    default:
        return DefSubclassProc(hwnd, message, wParam, lParam);
    }
}

void CIconButton::DrawItem(const DRAWITEMSTRUCT& item)
{
    HDC dc = item.hDC;
    m_pressed = (item.itemState & ODS_SELECTED) != 0;
    m_focused = (item.itemState & ODS_FOCUS) != 0;
    m_disabled = (item.itemState & ODS_DISABLED) != 0;
    RECT work = item.rcItem;
    SetBkMode(dc, TRANSPARENT);
    DrawBackground(dc, work);
    DrawBorder(dc, work);

    wchar_t text[256] = {};
    GetWindowTextW(item.hwndItem, text, 256);
    RECT caption = item.rcItem;
    if (m_icon.icon) DrawIconImage(dc, item.rcItem, caption);
    if (text[0]) DrawCaption(dc, text, caption);
    if (m_focused) {
        RECT focus = work;
        InflateRect(&focus, -3, -3);
        DrawFocusRect(dc, &focus);
    }
}

void CIconButton::DrawBackground(HDC dc, RECT& r) const
{
    if (m_focused || m_default) {
        HBRUSH black = CreateSolidBrush(RGB(0, 0, 0));
        FrameRect(dc, &r, black);
        DeleteObject(black);
        InflateRect(&r, -1, -1);
    }
    HBRUSH face = CreateSolidBrush(m_colors[0].background);
    FillRect(dc, &r, face);
    DeleteObject(face);
}

void CIconButton::DrawBorder(HDC dc, const RECT& r) const
{
    if (m_pressed) {
        HBRUSH shadow = CreateSolidBrush(GetSysColor(COLOR_BTNSHADOW));
        FrameRect(dc, &r, shadow);
        DeleteObject(shadow);
        return;
    }
    Line(dc, GetSysColor(COLOR_BTNHIGHLIGHT), {r.left, r.bottom - 1}, {r.left, r.top}, {r.right, r.top});
    Line(dc, GetSysColor(COLOR_3DLIGHT), {r.left + 1, r.bottom - 1}, {r.left + 1, r.top + 1}, {r.right, r.top + 1});
    Line(dc, GetSysColor(COLOR_3DDKSHADOW), {r.left, r.bottom - 1}, {r.right - 1, r.bottom - 1},
         {r.right - 1, r.top - 1});
    Line(dc, GetSysColor(COLOR_BTNSHADOW), {r.left + 1, r.bottom - 2}, {r.right - 2, r.bottom - 2},
         {r.right - 2, r.top});
}

void CIconButton::DrawIconImage(HDC dc, const RECT& item, RECT& caption)
{
    const int w = m_icon.width, h = m_icon.height;
    RECT image = item;
    wchar_t text[4] = {};
    const bool hasCaption = GetWindowTextW(m_hwnd, text, 4) > 0;
    if (hasCaption) {
        image.left = item.left + m_imageMargin;
        caption.left += w + m_imageMargin;
    } else {
        image.left = item.left + (item.right - item.left - w) / 2;
    }
    image.top = item.top + (item.bottom - item.top - h) / 2;
    if (m_pressed) OffsetRect(&image, m_pressedShiftX, m_pressedShiftY);
    m_lastIconAt = {image.left, image.top};
    DrawStateW(dc, nullptr, nullptr, LPARAM(m_icon.icon), 0, image.left, image.top, image.right - image.left,
               image.bottom - image.top, DST_ICON | (m_disabled ? DSS_DISABLED : 0));
}

void CIconButton::DrawCaption(HDC dc, const wchar_t* text, RECT caption)
{
    if (m_pressed) OffsetRect(&caption, m_pressedShiftX, m_pressedShiftY);
    m_lastCaption = caption;
    const RECT bounds = caption;
    DrawTextW(dc, text, -1, &caption, DT_WORDBREAK | DT_CENTER | DT_CALCRECT);
    OffsetRect(&caption, ((bounds.right - bounds.left) - (caption.right - caption.left)) / 2,
               ((bounds.bottom - bounds.top) - (caption.bottom - caption.top)) / 2);
    SetBkMode(dc, TRANSPARENT);
    if (m_disabled) {
        OffsetRect(&caption, 1, 1);
        SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
        DrawTextW(dc, text, -1, &caption, DT_WORDBREAK | DT_CENTER);
        OffsetRect(&caption, -1, -1);
        SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
        DrawTextW(dc, text, -1, &caption, DT_WORDBREAK | DT_CENTER);
    } else {
        SetTextColor(dc, m_colors[0].foreground);
        SetBkColor(dc, m_colors[0].background);
        DrawTextW(dc, text, -1, &caption, DT_WORDBREAK | DT_CENTER);
    }
}

} // namespace vornik::win32
