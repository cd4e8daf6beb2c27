// The control identifiers of the main window, named after its components. The tests that drive
// the window find its controls by them.
#pragma once

namespace ctl {

enum : int {
    gbRele = 100,
    PortLabel,
    cbPortNumber,
    lblStatus,
    edtStatus,
    btnGetDeviceMetrics,
    btnGetStatus,
    btnAllOff,
    gbDevice,
    ListBox,
    btnOn,
    btnOff,
    lblPulseTime,
    edtPulseTime,
    btnPulse,
    lblResult,
    edtResult,
    lblOutput,
    edtOutput,
    lblInput,
    edtInput,
    btnSetDefaults,
    btnClose,
};

// The window class of the main window.
inline constexpr wchar_t kMainWindowClass[] = L"TfmMain";

} // namespace ctl
