// The rules of the window's buttons: the event handlers, the board-operation frame that each
// device button gives its own steps, and what the window shows of the contact list and the
// driver's result.
#include "fmuMain.h"

#include "RelayBits.h"
#include "fmuMainIds.h"

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
    TKorvex::TNumberProperty Value;
};
const TMetricLine kMetricLines[] = {
    // "Тип устройства    : "
    {"\xD2\xE8\xEF \xF3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xE0    : ", TKorvex::DeviceType},
    // "Подтип устройства : "
    {"\xCF\xEE\xE4\xF2\xE8\xEF \xF3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xE0 : ",
     TKorvex::DeviceSubType},
    // "Версия протокола  : "
    {"\xC2\xE5\xF0\xF1\xE8\xFF \xEF\xF0\xEE\xF2\xEE\xEA\xEE\xEB\xE0  : ", TKorvex::ProtocolVersion},
    // "Версия прошивки   : "
    {"\xC2\xE5\xF0\xF1\xE8\xFF \xEF\xF0\xEE\xF8\xE8\xE2\xEA\xE8   : ", TKorvex::SoftVersion},
    // "Номер устройства  : "
    {"\xCD\xEE\xEC\xE5\xF0 \xF3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xE0  : ", TKorvex::DeviceNumber},
};

const int kPortCount = 16;

// The window's texts are UTF-16; the program's own are cp1251, and their callers convert them.
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

} // namespace

// --- Event handlers ---------------------------------------------------------------------------

void TfmMain::btnOnClick(HWND) {
    RunBoardOperation([this] {
        FReleStatus = RelaysOn(FReleStatus, FContact.Mask);
        FDriver->SetNumber(TKorvex::ReleStatus, FReleStatus);
        FDriver->SetStatus();
    });
}

void TfmMain::btnOffClick(HWND) {
    RunBoardOperation([this] {
        FReleStatus = RelaysOff(FReleStatus, FContact.Mask);
        FDriver->SetNumber(TKorvex::ReleStatus, FReleStatus);
        FDriver->SetStatus();
    });
}

void TfmMain::btnPulseClick(HWND) {
    RunBoardOperation([this] {
        // The pulse pattern is not remembered: the board turns it back by itself.
        FDriver->SetNumber(TKorvex::ReleStatus, RelaysOn(FReleStatus, FContact.Mask));
        FDriver->SetNumber(TKorvex::ToggleTime, PulseTimeOf(TextOf(Control(ctl::edtPulseTime))));
        FDriver->ToggleStatus();
    });
}

void TfmMain::btnAllOffClick(HWND) {
    RunBoardOperation([this] {
        FDriver->SetNumber(TKorvex::ReleStatus, 0);
        FDriver->SetStatus();
    });
}

void TfmMain::btnGetStatusClick(HWND) {
    RunBoardOperation([this] {
        if (FDriver->GetStatus() == 0) {
            const int32_t status = FDriver->GetNumber(TKorvex::ReleStatus);
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
            text += line.Label + std::to_string(FDriver->GetNumber(line.Value)) + "\r\n";
        ShowMessage(FHandle, Cp1251ToWide(text), MB_OK);
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
    FDriver->SetNumber(TKorvex::PortNumber, port + 1); // no port chosen gives 0
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
    const int32_t code = FDriver->GetNumber(TKorvex::ResultCode);
    SetText(Control(ctl::edtResult),
            L"(" + std::to_wstring(code) + L") " + FDriver->GetText(TKorvex::ResultDescription));
    SetText(Control(ctl::edtInput), FDriver->GetText(TKorvex::Input));
    SetText(Control(ctl::edtOutput), FDriver->GetText(TKorvex::Output));
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
        ShowMessage(FHandle, Cp1251ToWide(kSettingsNotSaved) + L"\n\n" + ErrorText(error),
                    MB_OK | MB_ICONWARNING);
    }
}
