// Quintor, the operator's test program for the relay board: the main thread as a
// single-threaded COM apartment, the main window, and its message loop until it is closed.
#include <windows.h>

#include <commctrl.h>

#include <exception>

#include "fmuMain.h"
#include "untKorvex.h"

namespace {

// Reports an error that ended the program's start in an error message box.
int ReportStartFailure(const std::exception& error) {
    ShowMessage(nullptr, ErrorText(error), MB_OK | MB_ICONSTOP);
    return 1;
}

int RunMessageLoop(TfmMain& form) {
    MSG message;
    BOOL result;
    while ((result = GetMessageW(&message, nullptr, 0, 0)) != 0) {
        if (result == -1)
            return 1;
        if (!form.HandleDialogMessage(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    TComApartment apartment;
    if (FAILED(apartment.Result()))
        return ReportStartFailure(EOleError(apartment.Result(), L"CoInitializeEx"));
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    try {
        TfmMain form(instance);
        form.Show();
        return RunMessageLoop(form);
    } catch (const std::exception& error) {
        return ReportStartFailure(error);
    }
}
