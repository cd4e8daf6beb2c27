// The main window's stored layout: every control with its kind, container, position and size
// in pixels at 96 dpi, caption, tab order, fonts, colours, tooltips and the properties beyond
// those, made into child windows of the form.
#pragma once

#include <windows.h>

#include <map>

#include "WinHolders.h"

class TfmMainLayout {
public:
    static constexpr int ClientWidth = 455;
    static constexpr int ClientHeight = 394;

    // Builds every control of the layout in form, in its container, with the form's font, and
    // puts each container's controls in their tab order.
    explicit TfmMainLayout(HWND form);
    TfmMainLayout(const TfmMainLayout&) = delete;
    TfmMainLayout& operator=(const TfmMainLayout&) = delete;

    // The control of that identifier (see fmuMainIds.h).
    HWND operator[](int id) const { return FControls.at(id); }

    // Prepares dc for a control's text and returns the brush behind it, for WM_CTLCOLORSTATIC
    // and WM_CTLCOLOREDIT; nullptr leaves the control to the system's colours.
    HBRUSH Colours(HWND control, HDC dc) const;

private:
    void AddTooltips(HWND form);

    TGdiObject<HFONT> FFont;     // "MS Sans Serif" 8 pt
    TGdiObject<HFONT> FListFont; // "Courier New" 10 pt, Russian character set
    TGdiObject<HBRUSH> FSilver;
    std::map<int, HWND> FControls;
};

// Gives control a window procedure of its own; proc passes what it does not handle on with
// CallInherited. The control's GWLP_USERDATA keeps the procedure it had.
void Subclass(HWND control, WNDPROC proc);
LRESULT CallInherited(HWND control, UINT message, WPARAM wParam, LPARAM lParam);
