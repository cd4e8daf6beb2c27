#include "AxWindow.h"

#include <cstdint>

namespace {

// The state stream: a tag, then the width and the height in pixels, little-endian.
constexpr uint32_t STATE_TAG = 0x53575841; // "AXWS"
struct TWindowState {
    uint32_t tag;
    int32_t width;
    int32_t height;
};

LPCWSTR AtomName(ATOM atom) {
    return reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(atom));
}

ATOM RegisteredClass(const WNDCLASSEXW& description) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    ATOM atom = static_cast<ATOM>(
        GetClassInfoExW(description.hInstance, description.lpszClassName, &existing));
    return atom ? atom : RegisterClassExW(&description);
}

} // namespace

TAxWindowHandle::~TAxWindowHandle() {
    if (window_)
        DestroyWindow(window_);
    if (class_)
        UnregisterClassW(AtomName(class_), instance_);
}

TAxWindowControl::TAxWindowControl(HINSTANCE instance, SIZE initialSize)
    : instance_(instance), size_(initialSize) {}

TAxWindowControl::~TAxWindowControl() = default;

void TAxWindowControl::SetSize(SIZE size) {
    size_ = size;
    if (HWND window = window_.Get())
        SetWindowPos(window, nullptr, 0, 0, size.cx, size.cy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TAxWindowControl::SetBounds(const RECT& bounds) {
    position_ = {bounds.left, bounds.top};
    size_ = {bounds.right - bounds.left, bounds.bottom - bounds.top};
    if (HWND window = window_.Get())
        SetWindowPos(window, nullptr, position_.x, position_.y, size_.cx, size_.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE);
}

void TAxWindowControl::SetVisible(bool visible) {
    visible_ = visible;
    if (HWND window = window_.Get())
        ShowWindow(window, visible ? SW_SHOWNA : SW_HIDE);
}

HWND TAxWindowControl::Handle() {
    if (!window_.Get())
        MakeWindow();
    return window_.Get();
}

void TAxWindowControl::MakeWindow() {
    // The parking window is a plain hidden pop-up of a system class; it only holds the child.
    HWND parking = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                   instance_, nullptr);
    if (!parking)
        return;
    parking_ = TAxWindowHandle(parking, 0, nullptr);
    WNDCLASSEXW description{};
    description.cbSize = sizeof description;
    description.lpfnWndProc = &WindowProcedure;
    description.hInstance = instance_;
    DescribeClass(description);
    ATOM windowClass = RegisteredClass(description);
    if (!windowClass)
        return;
    HWND window =
        CreateWindowExW(0, AtomName(windowClass), L"", WindowStyle(), position_.x, position_.y,
                        size_.cx, size_.cy, parking, nullptr, instance_, this);
    // Even a failed creation may leave the class behind; the holder takes it away.
    window_ = TAxWindowHandle(window, windowClass, instance_);
    if (window && visible_)
        ShowWindow(window, SW_SHOWNA);
}

void TAxWindowControl::SetParentWindow(HWND parent) {
    HWND window = Handle();
    if (window)
        SetParent(window, parent ? parent : parking_.Get());
}

LRESULT CALLBACK TAxWindowControl::WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                                   LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* control = reinterpret_cast<TAxWindowControl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!control)
        return DefWindowProcW(window, message, wParam, lParam);
    return control->HandleMessage(window, message, wParam, lParam);
}

LRESULT TAxWindowControl::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        PaintWindow(window);
        return 0;
    case WM_ERASEBKGND:
        // The control paints its whole rectangle itself.
        return 1;
    case WM_QUERYNEWPALETTE:
        return RealizePalette(window, true);
    case WM_PALETTECHANGED:
        if (reinterpret_cast<HWND>(wParam) != window)
            RealizePalette(window, false);
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void TAxWindowControl::PaintWindow(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (dc)
        Paint(dc);
    EndPaint(window, &paint);
}

LRESULT TAxWindowControl::RealizePalette(HWND window, bool foreground) {
    HPALETTE palette = Palette();
    if (!palette)
        return 0;
    HDC dc = GetDC(window);
    HPALETTE old = SelectPalette(dc, palette, !foreground);
    UINT changed = ::RealizePalette(dc);
    SelectPalette(dc, old, TRUE);
    ReleaseDC(window, dc);
    if (changed)
        InvalidateRect(window, nullptr, FALSE);
    return changed ? TRUE : FALSE;
}

HRESULT TAxWindowControl::SaveState(IStream* stream) const {
    if (!stream)
        return E_POINTER;
    TWindowState state{STATE_TAG, size_.cx, size_.cy};
    ULONG written = 0;
    HRESULT hr = stream->Write(&state, sizeof state, &written);
    if (FAILED(hr))
        return hr;
    return written == sizeof state ? S_OK : STG_E_MEDIUMFULL;
}

HRESULT TAxWindowControl::LoadState(IStream* stream) {
    if (!stream)
        return E_POINTER;
    TWindowState state{};
    ULONG read = 0;
    HRESULT hr = stream->Read(&state, sizeof state, &read);
    if (FAILED(hr))
        return hr;
    if (read != sizeof state || state.tag != STATE_TAG || state.width < 0 || state.height < 0)
        return STG_E_READFAULT;
    SetSize({state.width, state.height});
    return S_OK;
}
