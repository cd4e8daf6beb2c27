// TAxCtrl: the window control of the relay board control. It gives the control its look in a
// form designer: a raised 40 x 40 square with the toolbox picture in its middle. It takes no
// input.
#pragma once

#include <windows.h>

#include "WinHolders.h"
#include "AxWindow.h"

// A picture and what drawing it needs, freed together.
class TCtrlPicture {
public:
    // The bitmap resource id of module, or an empty picture when there is none.
    TCtrlPicture(HINSTANCE module, UINT id);

    bool Empty() const { return !bitmap_; }
    SIZE Size() const { return size_; }
    HPALETTE Palette() const { return palette_.Get(); }
    // Draws the picture at (x, y), leaving out the pixels of its lower-left pixel's colour.
    void DrawTransparent(HDC dc, int x, int y) const;

private:
    TGdiObject<HBITMAP> bitmap_;
    TGdiObject<HPALETTE> palette_;
    SIZE size_{0, 0};
};

class TAxCtrl final : public TAxWindowControl {
public:
    TAxCtrl();

    TCtrlPicture Bitmap;

protected:
    void DescribeClass(WNDCLASSEXW& windowClass) const override;
    DWORD WindowStyle() const override;
    void Paint(HDC dc) override;
    HPALETTE Palette() const override { return Bitmap.Palette(); }
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
};

// Where a picture of extent goes in a control of extent size: centred, an exact half to the
// even neighbour, never before 0.
int CentredPosition(int size, int extent);
