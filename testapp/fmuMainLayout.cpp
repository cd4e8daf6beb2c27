#include "fmuMainLayout.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "fmuMainIds.h"
#include "untText.h"

namespace {

enum class TKind { GroupBox, Label, DropDownList, Edit, ReadOnlyEdit, Button, ListBox };

// What lies behind a control's text: the system's choice, or one of the layout's colours.
enum class TBackground { System, ButtonFace, Silver, ScrollBar };

struct TControlDef {
    int Id;
    TKind Kind;
    int Container; // 0: the window's client area, else the group box's identifier
    int Left, Top, Width, Height;
    const char* Caption; // cp1251
    int TabOrder;        // among the container's controls; -1: not in the tab order
    TBackground Background;
    const char* Hint; // tooltip, cp1251
};

using K = TKind;
using B = TBackground;

// The layout of the window, in pixels at 96 dpi relative to the container.
const TControlDef kLayout[] = {
    // "Реле"
    {ctl::gbRele, K::GroupBox, 0, 8, 8, 337, 121, "\xD0\xE5\xEB\xE5", 0, B::ButtonFace, nullptr},
    // "Номер порта:"
    {ctl::PortLabel, K::Label, ctl::gbRele, 8, 28, 69, 13,
     "\xCD\xEE\xEC\xE5\xF0 \xEF\xEE\xF0\xF2\xE0:", -1, B::ButtonFace, nullptr},
    {ctl::cbPortNumber, K::DropDownList, ctl::gbRele, 112, 24, 89, 21, "", 0, B::System, nullptr},
    // "Состояние:"
    {ctl::lblStatus, K::Label, ctl::gbRele, 8, 60, 57, 13,
     "\xD1\xEE\xF1\xF2\xEE\xFF\xED\xE8\xE5:", -1, B::ButtonFace, nullptr},
    {ctl::edtStatus, K::ReadOnlyEdit, ctl::gbRele, 112, 56, 89, 21, "", 1, B::Silver, nullptr},
    // "Тип", tooltip "Запрос типа устройства(0х7А)" with a Cyrillic "х" and "А"
    {ctl::btnGetDeviceMetrics, K::Button, ctl::gbRele, 208, 24, 97, 25, "\xD2\xE8\xEF", 2,
     B::System,
     "\xC7\xE0\xEF\xF0\xEE\xF1 \xF2\xE8\xEF\xE0 \xF3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xE0(0\xF5"
     "7\xC0)"},
    // "Состояние", tooltip "Запрос состояния (0х79)" with a Cyrillic "х"
    {ctl::btnGetStatus, K::Button, ctl::gbRele, 208, 56, 97, 25,
     "\xD1\xEE\xF1\xF2\xEE\xFF\xED\xE8\xE5", 3, B::System,
     "\xC7\xE0\xEF\xF0\xEE\xF1 \xF1\xEE\xF1\xF2\xEE\xFF\xED\xE8\xFF (0\xF5"
     "79)"},
    // "Выключить все", 99 wide where its neighbours are 97
    {ctl::btnAllOff, K::Button, ctl::gbRele, 208, 88, 99, 25,
     "\xC2\xFB\xEA\xEB\xFE\xF7\xE8\xF2\xFC \xE2\xF1\xE5", 4, B::System, nullptr},
    // "Устройства"
    {ctl::gbDevice, K::GroupBox, 0, 8, 136, 337, 177, "\xD3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xE0", 1,
     B::ButtonFace, nullptr},
    {ctl::ListBox, K::ListBox, ctl::gbDevice, 16, 24, 193, 145, "", 0, B::System, nullptr},
    // "Включить"
    {ctl::btnOn, K::Button, ctl::gbDevice, 216, 24, 113, 25, "\xC2\xEA\xEB\xFE\xF7\xE8\xF2\xFC", 1,
     B::System, nullptr},
    // "Выключить"
    {ctl::btnOff, K::Button, ctl::gbDevice, 216, 56, 113, 25,
     "\xC2\xFB\xEA\xEB\xFE\xF7\xE8\xF2\xFC", 2, B::System, nullptr},
    // "Длительность, мс:"
    {ctl::lblPulseTime, K::Label, ctl::gbDevice, 216, 88, 96, 13,
     "\xC4\xEB\xE8\xF2\xE5\xEB\xFC\xED\xEE\xF1\xF2\xFC, \xEC\xF1:", -1, B::ButtonFace, nullptr},
    {ctl::edtPulseTime, K::Edit, ctl::gbDevice, 216, 104, 113, 21, "1000", 3, B::System, nullptr},
    // "Импульс"
    {ctl::btnPulse, K::Button, ctl::gbDevice, 216, 136, 113, 25, "\xC8\xEC\xEF\xF3\xEB\xFC\xF1", 4,
     B::System, nullptr},
    // "Результат:"
    {ctl::lblResult, K::Label, 0, 8, 324, 55, 13, "\xD0\xE5\xE7\xF3\xEB\xFC\xF2\xE0\xF2:", -1,
     B::ButtonFace, nullptr},
    {ctl::edtResult, K::ReadOnlyEdit, 0, 72, 320, 273, 21, "", 2, B::ScrollBar, nullptr},
    // "Передано:" (sent) stands above "Принято:" (received)
    {ctl::lblOutput, K::Label, 0, 8, 348, 53, 13, "\xCF\xE5\xF0\xE5\xE4\xE0\xED\xEE:", -1,
     B::ButtonFace, nullptr},
    {ctl::edtOutput, K::ReadOnlyEdit, 0, 72, 344, 273, 21, "", 4, B::ButtonFace, nullptr},
    // "Принято:"
    {ctl::lblInput, K::Label, 0, 8, 372, 46, 13, "\xCF\xF0\xE8\xED\xFF\xF2\xEE:", -1, B::ButtonFace,
     nullptr},
    {ctl::edtInput, K::ReadOnlyEdit, 0, 72, 368, 273, 21, "", 3, B::ButtonFace, nullptr},
    // "По умолчанию"
    {ctl::btnSetDefaults, K::Button, 0, 352, 332, 97, 25,
     "\xCF\xEE \xF3\xEC\xEE\xEB\xF7\xE0\xED\xE8\xFE", 5, B::System, nullptr},
    // "Закрыть"
    {ctl::btnClose, K::Button, 0, 352, 364, 97, 25, "\xC7\xE0\xEA\xF0\xFB\xF2\xFC", 6, B::System,
     nullptr},
};

const int kPorts = 16;           // COM1 to COM16
const int kDropDownHeight = 130; // the opened port list: eight entries
const int kListItemHeight = 16;
const int kPulseTimeMaxLength = 4;

struct TWindowClass {
    const wchar_t* Name;
    DWORD Style;
    DWORD ExStyle;
};

TWindowClass ClassOf(TKind kind) {
    switch (kind) {
    case K::GroupBox:
        // Its controls are its children; Tab walks into it.
        return {L"BUTTON", BS_GROUPBOX | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT};
    case K::Label:
        return {L"STATIC", SS_LEFTNOWORDWRAP, 0};
    case K::DropDownList:
        return {L"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL, 0};
    case K::Edit:
        return {L"EDIT", ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case K::ReadOnlyEdit:
        return {L"EDIT", ES_AUTOHSCROLL | ES_READONLY, WS_EX_CLIENTEDGE};
    case K::Button:
        return {L"BUTTON", BS_PUSHBUTTON, 0};
    case K::ListBox:
        // Unsorted, so entry positions equal contact positions; the height stays as laid out.
        return {L"LISTBOX", LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL, WS_EX_CLIENTEDGE};
    }
    return {L"STATIC", 0, 0};
}

const TControlDef* DefinitionOf(int id) {
    for (const TControlDef& def : kLayout)
        if (def.Id == id)
            return &def;
    return nullptr;
}

HFONT MakeFont(LONG height, const wchar_t* face, BYTE charset) {
    LOGFONTW font{};
    font.lfHeight = height;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = charset;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    std::wcsncpy(font.lfFaceName, face, LF_FACESIZE - 1);
    return CreateFontIndirectW(&font);
}

// A group box keeps what its children send; the window handles it, and the box paints its
// inside in the window's colour.
LRESULT CALLBACK ContainerProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
        return SendMessageW(GetParent(box), message, wParam, lParam);
    case WM_ERASEBKGND: {
        RECT client;
        GetClientRect(box, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    }
    return CallInherited(box, message, wParam, lParam);
}

// A drop-down list is as high as its font makes it; its selection field is set so that the
// closed box has the height of the layout.
void FitDropDownHeight(HWND combo, int height) {
    RECT box;
    GetWindowRect(combo, &box);
    const LRESULT field = SendMessageW(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
    const LONG change = height - (box.bottom - box.top);
    if (field != CB_ERR && change != 0)
        SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field + change);
}

} // namespace

void Subclass(HWND control, WNDPROC proc) {
    SetWindowLongPtrW(control, GWLP_USERDATA, GetWindowLongPtrW(control, GWLP_WNDPROC));
    SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
}

LRESULT CallInherited(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    auto inherited = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(control, GWLP_USERDATA));
    return CallWindowProcW(inherited, control, message, wParam, lParam);
}

TfmMainLayout::TfmMainLayout(HWND form)
    : FFont(MakeFont(-11, L"MS Sans Serif", DEFAULT_CHARSET)),
      FListFont(MakeFont(-13, L"Courier New", RUSSIAN_CHARSET)),
      FSilver(CreateSolidBrush(RGB(192, 192, 192))) {
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(form, GWLP_HINSTANCE));
    for (const TControlDef& def : kLayout) {
        const TWindowClass cls = ClassOf(def.Kind);
        DWORD style = WS_CHILD | WS_VISIBLE | cls.Style;
        if (def.TabOrder >= 0 && def.Kind != K::GroupBox)
            style |= WS_TABSTOP;
        int height = def.Height;
        if (def.Kind == K::DropDownList) // the opened list below the closed box
            height += kDropDownHeight;
        HWND parent = def.Container ? FControls.at(def.Container) : form;
        HWND control = CreateWindowExW(cls.ExStyle, cls.Name, Cp1251ToWide(def.Caption).c_str(),
                                       style, def.Left, def.Top, def.Width, height, parent,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(def.Id)),
                                       instance, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Get()), FALSE);
        if (def.Kind == K::GroupBox)
            Subclass(control, ContainerProc);
        FControls[def.Id] = control;
    }

    // The tab order is the order of the siblings: each container's controls go to the bottom
    // of its list in ascending tab order.
    std::vector<const TControlDef*> tabbed;
    for (const TControlDef& def : kLayout)
        if (def.TabOrder >= 0)
            tabbed.push_back(&def);
    std::stable_sort(tabbed.begin(), tabbed.end(),
                     [](auto a, auto b) { return a->TabOrder < b->TabOrder; });
    for (const TControlDef* def : tabbed)
        SetWindowPos(FControls.at(def->Id), HWND_BOTTOM, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    HWND ports = FControls.at(ctl::cbPortNumber);
    for (int i = 1; i <= kPorts; ++i)
        SendMessageW(ports, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>((L"COM" + std::to_wstring(i)).c_str()));
    FitDropDownHeight(ports, DefinitionOf(ctl::cbPortNumber)->Height);

    HWND list = FControls.at(ctl::ListBox);
    SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(FListFont.Get()), FALSE);
    SendMessageW(list, LB_SETITEMHEIGHT, 0, kListItemHeight);

    SendMessageW(FControls.at(ctl::edtPulseTime), EM_LIMITTEXT, kPulseTimeMaxLength, 0);
    AddTooltips(form);
}

void TfmMainLayout::AddTooltips(HWND form) {
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(form, GWLP_HINSTANCE));
    // Owned by the form, so it goes with it.
    HWND tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, form,
                               nullptr, instance, nullptr);
    for (const TControlDef& def : kLayout) {
        if (!def.Hint)
            continue;
        HWND control = FControls.at(def.Id);
        // The tooltip keeps a copy of the text.
        std::wstring hint = Cp1251ToWide(def.Hint);
        TOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = GetParent(control);
        tool.uId = reinterpret_cast<UINT_PTR>(control);
        tool.lpszText = &hint[0];
        SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

HBRUSH TfmMainLayout::Colours(HWND control, HDC dc) const {
    const TControlDef* def = DefinitionOf(GetDlgCtrlID(control));
    if (!def)
        return nullptr;
    COLORREF colour;
    HBRUSH brush;
    switch (def->Background) {
    case B::ButtonFace:
        colour = GetSysColor(COLOR_BTNFACE);
        brush = GetSysColorBrush(COLOR_BTNFACE);
        break;
    case B::Silver:
        colour = RGB(192, 192, 192);
        brush = FSilver.Get();
        break;
    case B::ScrollBar:
        colour = GetSysColor(COLOR_SCROLLBAR);
        brush = GetSysColorBrush(COLOR_SCROLLBAR);
        break;
    default:
        return nullptr;
    }
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, colour);
    return brush;
}
