// The window control of an ActiveX control: the small window that gives the control its look in
// a container. The window itself is made on first use, as a child of a hidden parking window,
// so a control that is only driven through automation never needs a display. In-place
// activation moves it into the container's window; deactivation parks it again.
#pragma once

#include <windows.h>

#include <objidl.h>

#include <utility>

// One window, destroyed with its holder; then its class is unregistered, which succeeds only
// once no window of the class is left, so the last window of a module takes its class along.
class TAxWindowHandle {
public:
    TAxWindowHandle() = default;
    TAxWindowHandle(HWND window, ATOM windowClass, HINSTANCE instance)
        : window_(window), class_(windowClass), instance_(instance) {}
    TAxWindowHandle(const TAxWindowHandle&) = delete;
    TAxWindowHandle& operator=(const TAxWindowHandle&) = delete;
    TAxWindowHandle(TAxWindowHandle&& other) noexcept { *this = std::move(other); }
    TAxWindowHandle& operator=(TAxWindowHandle&& other) noexcept {
        std::swap(window_, other.window_);
        std::swap(class_, other.class_);
        std::swap(instance_, other.instance_);
        return *this;
    }
    ~TAxWindowHandle();

    HWND Get() const { return window_; }

private:
    HWND window_ = nullptr;
    ATOM class_ = 0;
    HINSTANCE instance_ = nullptr;
};

class TAxWindowControl {
public:
    TAxWindowControl(const TAxWindowControl&) = delete;
    TAxWindowControl& operator=(const TAxWindowControl&) = delete;
    virtual ~TAxWindowControl();

    SIZE Size() const { return size_; }
    // Resizes the control and its window, if it has one.
    void SetSize(SIZE size);
    // Places the window at bounds within its parent and takes the bounds' size.
    void SetBounds(const RECT& bounds);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);

    // The window, made on first use; null when the system refuses to make it.
    HWND Handle();
    // The window if it was made, without making it.
    HWND HandleIfMade() const { return window_.Get(); }
    // Moves the window into parent, or back onto the parking window when parent is null.
    void SetParentWindow(HWND parent);

    // Paints the control, at its size, into a foreign device context with its top-left at the
    // context's origin.
    void PaintTo(HDC dc) { Paint(dc); }

    // The persistent state: the control's size. Load refuses a stream that this did not write.
    HRESULT SaveState(IStream* stream) const;
    HRESULT LoadState(IStream* stream);

protected:
    // instance: the module that holds the window procedure and the class.
    TAxWindowControl(HINSTANCE instance, SIZE initialSize);

    // The window class: the derived class fills in name, style and cursor.
    virtual void DescribeClass(WNDCLASSEXW& windowClass) const = 0;
    virtual DWORD WindowStyle() const = 0;
    // Paints the whole control at (0, 0) in its current size. It runs inside the window
    // procedure and IViewObject::Draw, so it raises nothing.
    virtual void Paint(HDC dc) = 0;
    // The palette the control's pictures need, or null.
    virtual HPALETTE Palette() const { return nullptr; }
    // The window's messages; the default paints, realises the palette and passes the rest on.
    virtual LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    void MakeWindow();
    void PaintWindow(HWND window);
    LRESULT RealizePalette(HWND window, bool foreground);

    HINSTANCE instance_;
    SIZE size_;
    POINT position_{0, 0};
    bool visible_ = true;
    TAxWindowHandle parking_;
    TAxWindowHandle window_;
};
