// What the probe library reads inside Quintor's own process, where the window's fonts and
// brushes live: the font of every control and the colours the window gives behind its text.
// The test loads the library into Quintor with a message hook and reads the report from a
// shared memory block.
#pragma once

#include <windows.h>

namespace probe {

inline constexpr char kMessage[] = "KorvexQuintorProbe"; // sent to the main window
inline constexpr char kReportName[] = "KorvexQuintorProbeReport";
inline constexpr char kHookName[] = "ProbeHook"; // the exported WH_CALLWNDPROC hook

struct ControlReport {
    int Id;
    char Face[LF_FACESIZE];
    LONG Height;
    BYTE CharSet;
    // For a control that asks its parent for colours: the brush and the text background the
    // window gives it (WM_CTLCOLORSTATIC, or WM_CTLCOLOREDIT for an editable box).
    BOOL AsksColours;
    BOOL HasBrush;
    COLORREF Brush;
    int SysBrush; // the COLOR_ index whose system brush it is, -1 for a brush of its own
    COLORREF TextBackground;
};

struct Report {
    int Count;
    ControlReport Controls[40];
};

} // namespace probe
