#include "win32views/AboutLogo.h"

#include <commctrl.h>

namespace win32views {

namespace {

constexpr COLORREF kLogoBlue = RGB(0, 0, 128);
// Inset, corner roundness and letter height (share of the logo's height) of the drawing.
constexpr int kInset = 2;
constexpr int kCorner = 12;
constexpr int kLetterPercent = 70;

}  // namespace

void showAboutLogo(HWND box) {
    if (box == nullptr) {
        return;
    }
    // A logo drawn before (at another DPI) goes with its bitmap.
    while (HWND old = GetWindow(box, GW_CHILD)) {
        if (auto image =
                reinterpret_cast<HBITMAP>(SendMessageW(old, STM_GETIMAGE, IMAGE_BITMAP, 0))) {
            DeleteObject(image);
        }
        DestroyWindow(old);
    }
    RECT area{};
    GetClientRect(box, &area);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, area.right, area.bottom);
    ReleaseDC(nullptr, screen);
    if (bitmap == nullptr) {
        DeleteDC(dc);
        return;
    }
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
    HBRUSH blue = CreateSolidBrush(kLogoBlue);
    HGDIOBJ oldBrush = SelectObject(dc, blue);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    RoundRect(dc, kInset, kInset, area.right - kInset, area.bottom - kInset, kCorner, kCorner);
    LOGFONTW font{};
    font.lfHeight = -(area.bottom - 2 * kInset) * kLetterPercent / 100;
    font.lfWeight = FW_BOLD;
    lstrcpyW(font.lfFaceName, L"Tahoma");
    HFONT letterFont = CreateFontIndirectW(&font);
    HGDIOBJ oldFont = SelectObject(dc, letterFont);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    DrawTextW(dc, L"V", 1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, oldFont);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldBitmap);
    DeleteObject(letterFont);
    DeleteObject(blue);
    DeleteDC(dc);
    HWND picture =
        CreateWindowExW(0, WC_STATICW, L"", WS_CHILD | WS_VISIBLE | SS_BITMAP, 0, 0, area.right,
                        area.bottom, box, nullptr, GetModuleHandleW(nullptr), nullptr);
    // The bitmap lives as long as the logo: the About box keeps its window once made.
    SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
}

}  // namespace win32views
