// The operator's window itself: its creation and destruction, the dispatch of its messages and
// control events to the handlers (fmuMainEvents.cpp), the dialog keys and the focus.
#include "fmuMain.h"

#include <stdexcept>

#include "fmuMainIds.h"
#include "untSettingsFile.h"

// "Тест платы реле"
const char kApplicationTitle[] = "\xD2\xE5\xF1\xF2 \xEF\xEB\xE0\xF2\xFB \xF0\xE5\xEB\xE5";

void ShowMessage(HWND owner, const std::wstring& text, UINT flags) {
    MessageBoxW(owner, text.c_str(), Cp1251ToWide(kApplicationTitle).c_str(), flags);
}

namespace {

const DWORD kWindowStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

// The settings file: beside the program, or the user's own copy where the program's folder
// cannot be written. The path is UTF-16, so a folder of any name works on any system.
std::wstring SettingsFileName() {
    return SettingsFilePath(ProgramPath(), UserAppDataFolder());
}

void RegisterWindowClass(HINSTANCE instance, WNDPROC proc) {
    WNDCLASSEXW cls{};
    cls.cbSize = sizeof cls;
    cls.lpfnWndProc = proc;
    cls.hInstance = instance;
    cls.hIcon = LoadIconW(instance, L"MAINICON");
    cls.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(2), IMAGE_ICON,
                                                GetSystemMetrics(SM_CXSMICON),
                                                GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    cls.hCursor = LoadCursor(nullptr, IDC_ARROW);
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    cls.lpszClassName = ctl::kMainWindowClass;
    RegisterClassExW(&cls);
}

// The window rectangle that gives the layout's client area, centred on the screen.
RECT CentredWindowRect() {
    RECT rect{0, 0, TfmMainLayout::ClientWidth, TfmMainLayout::ClientHeight};
    AdjustWindowRectEx(&rect, kWindowStyle, FALSE, 0);
    const LONG width = rect.right - rect.left, height = rect.bottom - rect.top;
    const LONG left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const LONG top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    return {left, top, left + width, top + height};
}

bool IsPushButton(HWND control) {
    const LRESULT code = SendMessageW(control, WM_GETDLGCODE, 0, 0);
    return (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0;
}

} // namespace

TfmMain::TfmMain(HINSTANCE instance) {
    RegisterWindowClass(instance, WindowProc);
    const RECT rect = CentredWindowRect();
    CreateWindowExW(0, ctl::kMainWindowClass, Cp1251ToWide(kApplicationTitle).c_str(), kWindowStyle,
                    rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, nullptr,
                    nullptr, instance, this);
    if (!FHandle)
        RaiseOleError(HRESULT_FROM_WIN32(GetLastError()));
    try {
        FLayout = std::make_unique<TfmMainLayout>(FHandle);
        Subclass(Control(ctl::edtPulseTime), PulseTimeProc);
        FDriver = std::make_unique<TKorvex>();
        FContacts = std::make_unique<TContacts>();
        FIniFileName = SettingsFileName();
        FContacts->LoadFromFile(FIniFileName);
        SendMessageW(Control(ctl::cbPortNumber), CB_SETCURSEL, 0, 0);
        ShowContacts();
    } catch (...) {
        DestroyWindow(FHandle);
        throw;
    }
    FCreated = true;
}

TfmMain::~TfmMain() {
    if (FHandle)
        DestroyWindow(FHandle);
}

void TfmMain::Show() {
    ShowWindow(FHandle, SW_SHOWNORMAL);
    UpdateWindow(FHandle);
}

bool TfmMain::HandleDialogMessage(MSG& message) {
    if (!FHandle)
        return false;
    // Alt+F4 closes the window whichever control has the focus: some controls keep system
    // keys to themselves.
    if (message.message == WM_SYSKEYDOWN && message.wParam == VK_F4) {
        PostMessageW(FHandle, WM_SYSCOMMAND, SC_CLOSE, 0);
        return true;
    }
    // Enter presses the focused button; the system's dialog handling would look for a
    // default button instead.
    if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN) {
        HWND focus = GetFocus();
        if (focus && IsChild(FHandle, focus) && IsPushButton(focus)) {
            if (IsWindowEnabled(focus))
                SendMessageW(FHandle, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(focus), BN_CLICKED),
                             reinterpret_cast<LPARAM>(focus));
            return true;
        }
    }
    return IsDialogMessageW(FHandle, &message) != FALSE;
}

LRESULT CALLBACK TfmMain::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto form = static_cast<TfmMain*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        form->FHandle = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto form = reinterpret_cast<TfmMain*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!form)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        form->FHandle = nullptr;
    }
    return form->HandleMessage(message, wParam, lParam);
}

LRESULT TfmMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        HandleCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_CTLCOLORSTATIC:
        if (FLayout)
            if (HBRUSH brush =
                    FLayout->Colours(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam)))
                return reinterpret_cast<LRESULT>(brush);
        break;
    case WM_ACTIVATE:
        if (!HIWORD(wParam)) // a minimised window gives no control the focus
            HandleActivate(LOWORD(wParam) != WA_INACTIVE);
        return 0;
    case WM_CLOSE:
        DestroyWindow(FHandle);
        return 0;
    case WM_DESTROY:
        Destroy();
        return 0;
    }
    return DefWindowProcW(FHandle, message, wParam, lParam);
}

// The event bindings of the controls.
void TfmMain::HandleCommand(int id, int code, HWND sender) {
    struct TBinding {
        int Id;
        int Code;
        void (TfmMain::*Handler)(HWND);
    };
    static const TBinding bindings[] = {
        {ctl::btnOn, BN_CLICKED, &TfmMain::btnOnClick},
        {ctl::btnOff, BN_CLICKED, &TfmMain::btnOffClick},
        {ctl::btnPulse, BN_CLICKED, &TfmMain::btnPulseClick},
        {ctl::btnAllOff, BN_CLICKED, &TfmMain::btnAllOffClick},
        {ctl::btnGetStatus, BN_CLICKED, &TfmMain::btnGetStatusClick},
        {ctl::btnGetDeviceMetrics, BN_CLICKED, &TfmMain::btnGetDeviceMetricsClick},
        {ctl::btnSetDefaults, BN_CLICKED, &TfmMain::btnSetDefaultsClick},
        {ctl::btnClose, BN_CLICKED, &TfmMain::btnCloseClick},
        {ctl::ListBox, LBN_SELCHANGE, &TfmMain::ListBoxClick},
        {ctl::edtPulseTime, EN_CHANGE, &TfmMain::edtPulseTimeChange},
        // Escape, from the dialog keys.
        {IDCANCEL, BN_CLICKED, &TfmMain::btnCloseClick},
    };
    if (!FCreated)
        return;
    for (const TBinding& binding : bindings)
        if (binding.Id == id && binding.Code == code) {
            Guard([&] { (this->*binding.Handler)(sender); });
            return;
        }
}

// The focus goes back to the control that had it when the window was left, as in a dialog.
void TfmMain::HandleActivate(bool active) {
    HWND focus = GetFocus();
    if (!active) {
        if (focus && IsChild(FHandle, focus))
            FLastFocus = focus;
        return;
    }
    if (FLastFocus && IsWindow(FLastFocus) && IsWindowEnabled(FLastFocus))
        SetFocus(FLastFocus);
    else
        SetFocus(GetNextDlgTabItem(FHandle, nullptr, FALSE));
}

// Window destruction: the settings are saved, the contact list goes, then the driver control
// with the other controls; the program then ends.
void TfmMain::Destroy() {
    if (!FCreated)
        return;
    FCreated = false;
    SaveContacts();
    FContacts.reset();
    FDriver.reset();
    PostQuitMessage(0);
}

void TfmMain::Guard(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        ShowException(error);
    }
}

void TfmMain::ShowException(const std::exception& error) {
    ShowMessage(FHandle, ErrorText(error), MB_OK | MB_ICONSTOP);
}

LRESULT CALLBACK TfmMain::PulseTimeProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CHAR) {
        auto form = reinterpret_cast<TfmMain*>(
            GetWindowLongPtrW(GetAncestor(edit, GA_ROOT), GWLP_USERDATA));
        wchar_t key = static_cast<wchar_t>(wParam);
        if (form)
            form->edtPulseTimeKeyPress(edit, key);
        if (key == L'\0')
            return 0;
        wParam = key;
    }
    return CallInherited(edit, message, wParam, lParam);
}
