#include "untCtrl.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "WinHolders.h"
#include "untConst.h"

namespace {

constexpr SIZE INITIAL_SIZE{40, 40};
constexpr UINT PICTURE_ID = 1;

// A line through points in the system colour colourIndex. Painting allocates nothing: it runs
// inside the window procedure and IViewObject::Draw, which nothing may leave by an exception.
void Polyline(HDC dc, int colourIndex, std::initializer_list<POINT> points) {
    TGdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, GetSysColor(colourIndex)));
    TGdiSelection selected(dc, pen.Get());
    ::Polyline(dc, points.begin(), static_cast<int>(points.size()));
}

// The palette of a picture's colour table, or null when it has none.
HPALETTE PaletteOf(HBITMAP bitmap) {
    TMemoryDc dc(nullptr);
    TGdiSelection selected(dc.Get(), bitmap);
    RGBQUAD colours[256];
    UINT count = GetDIBColorTable(dc.Get(), 0, 256, colours);
    if (count == 0)
        return nullptr;
    std::vector<BYTE> storage(sizeof(LOGPALETTE) + count * sizeof(PALETTEENTRY));
    auto* palette = reinterpret_cast<LOGPALETTE*>(storage.data());
    palette->palVersion = 0x300;
    palette->palNumEntries = static_cast<WORD>(count);
    for (UINT i = 0; i < count; ++i)
        palette->palPalEntry[i] = {colours[i].rgbRed, colours[i].rgbGreen, colours[i].rgbBlue, 0};
    return CreatePalette(palette);
}

} // namespace

TCtrlPicture::TCtrlPicture(HINSTANCE module, UINT id)
    : bitmap_(static_cast<HBITMAP>(
          LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION))) {
    if (!bitmap_)
        return;
    BITMAP info{};
    GetObjectW(bitmap_.Get(), sizeof info, &info);
    size_ = {info.bmWidth, info.bmHeight};
    palette_ = TGdiObject<HPALETTE>(PaletteOf(bitmap_.Get()));
}

void TCtrlPicture::DrawTransparent(HDC dc, int x, int y) const {
    if (!bitmap_)
        return;
    TMemoryDc source(dc);
    TGdiSelection selected(source.Get(), bitmap_.Get());
    COLORREF transparent = GetPixel(source.Get(), 0, size_.cy - 1);
    HPALETTE oldPalette = palette_ ? SelectPalette(dc, palette_.Get(), TRUE) : nullptr;
    if (palette_)
        RealizePalette(dc);
    TransparentBlt(dc, x, y, size_.cx, size_.cy, source.Get(), 0, 0, size_.cx, size_.cy,
                   transparent);
    if (palette_)
        SelectPalette(dc, oldPalette, TRUE);
}

int CentredPosition(int size, int extent) {
    // The default rounding mode takes an exact half to the even neighbour.
    double centred = std::nearbyint(1 + (size - 2) / 2.0 - extent / 2.0);
    return std::max(0, static_cast<int>(centred));
}

TAxCtrl::TAxCtrl()
    : TAxWindowControl(CodeModule(), INITIAL_SIZE), Bitmap(CodeModule(), PICTURE_ID) {}

void TAxCtrl::DescribeClass(WNDCLASSEXW& windowClass) const {
    windowClass.lpszClassName = L"TAxCtrl";
    // No CS_HREDRAW or CS_VREDRAW: the control invalidates itself when it moves or resizes.
    windowClass.style = CS_DBLCLKS;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = nullptr;
}

DWORD TAxCtrl::WindowStyle() const {
    return WS_CHILD | WS_CLIPSIBLINGS;
}

void TAxCtrl::Paint(HDC dc) {
    SIZE size = Size();
    int w = size.cx, h = size.cy;
    // A raised frame: light top and left edges, dark right and bottom ones.
    Polyline(dc, COLOR_BTNHIGHLIGHT, {{0, h - 1}, {0, 0}, {w - 1, 0}});
    Polyline(dc, COLOR_BTNSHADOW, {{w - 1, 0}, {w - 1, h - 1}, {-1, h - 1}});
    RECT inner{1, 1, w - 1, h - 1};
    FillRect(dc, &inner, GetSysColorBrush(COLOR_WINDOW));
    if (!Bitmap.Empty()) {
        SIZE picture = Bitmap.Size();
        Bitmap.DrawTransparent(dc, CentredPosition(w, picture.cx), CentredPosition(h, picture.cy));
    }
}

LRESULT TAxCtrl::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_WINDOWPOSCHANGED)
        // A move repaints the whole control, not only the newly exposed part.
        InvalidateRect(window, nullptr, FALSE);
    return TAxWindowControl::HandleMessage(window, message, wParam, lParam);
}
