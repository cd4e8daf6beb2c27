// The probe library: its hook runs on Quintor's window thread and answers the probe message
// with a report of every control's font and colours (see QuintorProbe.h).
#include "QuintorProbe.h"

#include <cstring>

namespace {

bool IsClass(HWND window, const char* name) {
    char cls[64] = "";
    GetClassNameA(window, cls, sizeof cls);
    return lstrcmpiA(cls, name) == 0;
}

// The message a control sends its parent for its colours, or 0 when it asks none here.
UINT ColourMessageOf(HWND control) {
    const LONG style = GetWindowLongA(control, GWL_STYLE);
    if (IsClass(control, "Static"))
        return WM_CTLCOLORSTATIC;
    if (IsClass(control, "Edit"))
        return (style & ES_READONLY) ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT;
    if (IsClass(control, "Button") && (style & 0x0F) == BS_GROUPBOX)
        return WM_CTLCOLORSTATIC;
    return 0;
}

void Describe(HWND control, probe::ControlReport& out) {
    out.Id = GetDlgCtrlID(control);
    LOGFONTA font{};
    if (GetObjectA(reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)), sizeof font,
                   &font)) {
        std::memcpy(out.Face, font.lfFaceName, sizeof out.Face);
        out.Height = font.lfHeight;
        out.CharSet = font.lfCharSet;
    }
    const UINT message = ColourMessageOf(control);
    out.AsksColours = message != 0;
    if (!message)
        return;
    HDC dc = CreateCompatibleDC(nullptr);
    SetBkColor(dc, RGB(1, 2, 3));
    auto brush = reinterpret_cast<HBRUSH>(SendMessageA(GetParent(control), message,
                                                       reinterpret_cast<WPARAM>(dc),
                                                       reinterpret_cast<LPARAM>(control)));
    LOGBRUSH logBrush{};
    out.HasBrush = brush && GetObjectA(brush, sizeof logBrush, &logBrush);
    out.Brush = logBrush.lbColor;
    out.SysBrush = -1;
    for (int index = 0; index <= COLOR_MENUBAR; ++index)
        if (brush && brush == GetSysColorBrush(index))
            out.SysBrush = index;
    out.TextBackground = GetBkColor(dc);
    DeleteDC(dc);
}

BOOL CALLBACK AddControl(HWND control, LPARAM report) {
    auto& r = *reinterpret_cast<probe::Report*>(report);
    if (r.Count < static_cast<int>(sizeof r.Controls / sizeof r.Controls[0]))
        Describe(control, r.Controls[r.Count++]);
    return TRUE;
}

void WriteReport(HWND form) {
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, probe::kReportName);
    if (!mapping)
        return;
    if (void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(probe::Report))) {
        auto& report = *static_cast<probe::Report*>(view);
        report = probe::Report{};
        EnumChildWindows(form, AddControl, reinterpret_cast<LPARAM>(&report));
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
}

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    ProbeHook(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == RegisterWindowMessageA(probe::kMessage))
        WriteReport(call->hwnd);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
