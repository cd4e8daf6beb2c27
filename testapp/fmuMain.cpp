#include "fmuMain.h"

#include <stdexcept>

#include "RelayBits.h"
#include "fmuMainIds.h"
#include "untSettingsFile.h"

// "Тест платы реле"
const char kApplicationTitle[] = "\xD2\xE5\xF1\xF2 \xEF\xEB\xE0\xF2\xFB \xF0\xE5\xEB\xE5";

namespace {

// "Настройки не сохранены." (the settings were not saved)
const char kSettingsNotSaved[] =
    "\xCD\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE8 \xED\xE5 \xF1\xEE\xF5\xF0\xE0\xED\xE5\xED\xFB.";

// Pulse-box text that is not a pulse time in milliseconds.
class EConvertError : public ETextError {
public:
    explicit EConvertError(const std::wstring& text) : ETextError(text) {}
};

// "«" text "» — не целое число от 0 до 65535" (is not an integer from 0 to 65535)
const char kNotAPulseTimeBefore[] = "\xAB";
const char kNotAPulseTimeAfter[] =
    "\xBB \x97 \xED\xE5 \xF6\xE5\xEB\xEE\xE5 \xF7\xE8\xF1\xEB\xEE \xEE\xF2 0 \xE4\xEE 65535";

// The device metrics message: five labels of 20 characters, their colons in one column.
struct TMetricLine {
    const char* Label;
    int32_t (TKorvex::*Value)();
};
const TMetricLine kMetricLines[] = {
    // "Тип устройства    : "
    {"\xD2\xE8\xEF \xF3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xE0    : ", &TKorvex::DeviceType},
    // "Подтип устройства : "
    {"\xCF\xEE\xE4\xF2\xE8\xEF \xF3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xE0 : ",
     &TKorvex::DeviceSubType},
    // "Версия протокола  : "
    {"\xC2\xE5\xF0\xF1\xE8\xFF \xEF\xF0\xEE\xF2\xEE\xEA\xEE\xEB\xE0  : ",
     &TKorvex::ProtocolVersion},
    // "Версия прошивки   : "
    {"\xC2\xE5\xF0\xF1\xE8\xFF \xEF\xF0\xEE\xF8\xE8\xE2\xEA\xE8   : ", &TKorvex::SoftVersion},
    // "Номер устройства  : "
    {"\xCD\xEE\xEC\xE5\xF0 \xF3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xE0  : ", &TKorvex::DeviceNumber},
};

const int kPortCount = 16;

const DWORD kWindowStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

// The window's texts are UTF-16; the program's own are cp1251 and cross in SetText.
std::wstring TextOf(HWND control) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(control, &text[0], static_cast<int>(text.size()))));
    return text;
}

void SetText(HWND control, const std::wstring& text) {
    SetWindowTextW(control, text.c_str());
}

// The pulse time in the pulse box; text that is not an integer from 0 to 65535 raises
// EConvertError, so that a pulse never goes out with a duration the operator did not enter.
uint16_t PulseTimeOf(const std::wstring& text) {
    int32_t value;
    if (!ContactStrToInt(WideToCp1251(text), value) || value < 0 || value > 0xFFFF)
        throw EConvertError(Cp1251ToWide(kNotAPulseTimeBefore) + text +
                            Cp1251ToWide(kNotAPulseTimeAfter));
    return static_cast<uint16_t>(value);
}

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
    MessageBoxW(FHandle, ErrorText(error).c_str(), Cp1251ToWide(kApplicationTitle).c_str(),
                MB_OK | MB_ICONSTOP);
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

// --- Event handlers ---------------------------------------------------------------------------

void TfmMain::btnOnClick(HWND) {
    RunBoardOperation([this] {
        FReleStatus = RelaysOn(FReleStatus, FContact.Mask);
        FDriver->SetReleStatus(FReleStatus);
        FDriver->SetStatus();
    });
}

void TfmMain::btnOffClick(HWND) {
    RunBoardOperation([this] {
        FReleStatus = RelaysOff(FReleStatus, FContact.Mask);
        FDriver->SetReleStatus(FReleStatus);
        FDriver->SetStatus();
    });
}

void TfmMain::btnPulseClick(HWND) {
    RunBoardOperation([this] {
        // The pulse pattern is not remembered: the board turns it back by itself.
        FDriver->SetReleStatus(RelaysOn(FReleStatus, FContact.Mask));
        FDriver->SetToggleTime(PulseTimeOf(TextOf(Control(ctl::edtPulseTime))));
        FDriver->ToggleStatus();
    });
}

void TfmMain::btnAllOffClick(HWND) {
    RunBoardOperation([this] {
        FDriver->SetReleStatus(0);
        FDriver->SetStatus();
    });
}

void TfmMain::btnGetStatusClick(HWND) {
    RunBoardOperation([this] {
        if (FDriver->GetStatus() == 0) {
            const int32_t status = FDriver->ReleStatus();
            FReleStatus = static_cast<uint8_t>(status);
            SetText(Control(ctl::edtStatus), std::to_wstring(status));
        }
    });
}

void TfmMain::btnGetDeviceMetricsClick(HWND) {
    RunBoardOperation([this] {
        if (FDriver->GetDeviceMetrics() != 0)
            return;
        std::string text;
        for (const TMetricLine& line : kMetricLines)
            text += line.Label + std::to_string((FDriver.get()->*line.Value)()) + "\r\n";
        MessageBoxW(FHandle, Cp1251ToWide(text).c_str(), Cp1251ToWide(kApplicationTitle).c_str(),
                    MB_OK);
    });
}

void TfmMain::btnSetDefaultsClick(HWND) {
    FContacts->LoadDefaults();
    ShowContacts();
}

void TfmMain::btnCloseClick(HWND) {
    PostMessageW(FHandle, WM_CLOSE, 0, 0);
}

void TfmMain::ListBoxClick(HWND) {
    const int index = static_cast<int>(SendMessageW(Control(ctl::ListBox), LB_GETCURSEL, 0, 0));
    // An empty list has no selected contact.
    if (index >= 0 && index < FContacts->Count())
        SelectContact(index);
}

void TfmMain::edtPulseTimeChange(HWND) {
    const int index = static_cast<int>(SendMessageW(Control(ctl::ListBox), LB_GETCURSEL, 0, 0));
    if (index < 0 || index >= FContacts->Count())
        return;
    FContact.PulseTime = PulseTimeOf(TextOf(Control(ctl::edtPulseTime)));
    FContacts->Items(index).Data = FContact;
}

void TfmMain::edtPulseTimeKeyPress(HWND, wchar_t& key) {
    // Letters of any script, Latin and Cyrillic among them, whatever the system's code page.
    if (IsCharAlphaW(key))
        key = L'\0';
}

// --- Private operations -----------------------------------------------------------------------

void TfmMain::RunBoardOperation(const std::function<void()>& ownSteps) {
    HWND focus = GetFocus();
    EnableButtons(false);
    try {
        ReconnectDriver();
        ownSteps();
        ShowResult();
    } catch (...) {
        EndBoardOperation(focus);
        throw;
    }
    EndBoardOperation(focus);
}

void TfmMain::EndBoardOperation(HWND focus) {
    EnableButtons(true);
    // A control loses the focus while it is disabled; the operator's control gets it back.
    if (focus && IsChild(FHandle, focus) && IsWindowEnabled(focus))
        SetFocus(focus);
}

void TfmMain::ReconnectDriver() {
    FDriver->Disconnect();
    const auto port =
        static_cast<int32_t>(SendMessageW(Control(ctl::cbPortNumber), CB_GETCURSEL, 0, 0));
    FDriver->SetPortNumber(port + 1); // no port chosen gives 0
    FDriver->Connect();
}

void TfmMain::EnableButtons(bool enabled) {
    for (int id : {ctl::btnOn, ctl::btnOff, ctl::btnPulse, ctl::btnAllOff, ctl::btnGetStatus,
                   ctl::btnGetDeviceMetrics})
        EnableWindow(Control(id), enabled);
    if (enabled) {
        EnableWindow(Control(ctl::btnOn), FContact.SetDeviceState);
        EnableWindow(Control(ctl::btnOff), FContact.SetDeviceState);
    }
}

void TfmMain::SelectContact(int index) {
    SendMessageW(Control(ctl::ListBox), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    FContact = FContacts->Items(index).Data;
    EnableWindow(Control(ctl::btnOn), FContact.SetDeviceState);
    EnableWindow(Control(ctl::btnOff), FContact.SetDeviceState);
    EnableWindow(Control(ctl::edtPulseTime), FContact.SetPulseTime);
    EnableWindow(Control(ctl::lblPulseTime), FContact.SetPulseTime);
    // Setting a different text runs the change handler, which writes the same record back.
    const std::wstring pulseTime = std::to_wstring(FContact.PulseTime);
    if (TextOf(Control(ctl::edtPulseTime)) != pulseTime)
        SetText(Control(ctl::edtPulseTime), pulseTime);
}

void TfmMain::ShowResult() {
    SetText(Control(ctl::edtResult),
            L"(" + std::to_wstring(FDriver->ResultCode()) + L") " + FDriver->ResultDescription());
    SetText(Control(ctl::edtInput), FDriver->Input());
    SetText(Control(ctl::edtOutput), FDriver->Output());
}

void TfmMain::ShowContacts() {
    const int32_t port = FContacts->PortNumber;
    const WPARAM portIndex =
        port >= 1 && port <= kPortCount ? static_cast<WPARAM>(port - 1) : static_cast<WPARAM>(-1);
    SendMessageW(Control(ctl::cbPortNumber), CB_SETCURSEL, portIndex, 0);
    HWND list = Control(ctl::ListBox);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (int i = 0; i < FContacts->Count(); ++i) {
        const TContactRec& contact = FContacts->Items(i).Data;
        const std::wstring entry = Cp1251ToWide(contact.Name + " " + contact.Device);
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    }
    if (FContacts->Count() > 0)
        SelectContact(0);
}

// A settings file that cannot be written is no reason to keep the operator, but the operator
// hears of it: the edited pulse times would otherwise be lost without a word.
void TfmMain::SaveContacts() {
    try {
        FContacts->SaveToFile(FIniFileName);
    } catch (const std::exception& error) {
        MessageBoxW(FHandle, (Cp1251ToWide(kSettingsNotSaved) + L"\n\n" + ErrorText(error)).c_str(),
                    Cp1251ToWide(kApplicationTitle).c_str(), MB_OK | MB_ICONWARNING);
    }
}
