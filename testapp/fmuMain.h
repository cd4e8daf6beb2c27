// The operator's window: it hosts the driver control and the contact list, runs one board
// operation per button press and shows the driver's result and frames after each.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "fmuMainLayout.h"
#include "untContact.h"
#include "untKorvex.h"

// The application title: the window's caption and the caption of its message boxes.
extern const char kApplicationTitle[];

// A message box with the program's title, owned by owner (by nothing for null).
void ShowMessage(HWND owner, const std::wstring& text, UINT flags);

class TfmMain {
public:
    // Builds the controls, creates the driver control and the contact list and loads the
    // settings file beside the program, in this order. Raises when the driver control cannot be
    // created or the settings file cannot be read; the window is then gone and no settings file
    // is written. The window is not shown yet.
    explicit TfmMain(HINSTANCE instance);
    TfmMain(const TfmMain&) = delete;
    TfmMain& operator=(const TfmMain&) = delete;
    ~TfmMain();

    void Show();

    // Dialog keys of one message of the loop (Tab, Shift+Tab, Enter and Space on a button,
    // Escape, Alt+F4); dispatches the message when it is the window's. True when it was handled.
    bool HandleDialogMessage(MSG& message);

private:
    // The window and its dispatch (fmuMain.cpp).
    static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK PulseTimeProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void HandleCommand(int id, int code, HWND sender);
    void HandleActivate(bool active);
    void Destroy();
    // Runs an event handler; an error it raises is reported to the operator.
    void Guard(const std::function<void()>& handler);
    void ShowException(const std::exception& error);

    // Event handlers (fmuMainEvents.cpp).
    void btnOnClick(HWND sender);
    void btnOffClick(HWND sender);
    void btnPulseClick(HWND sender);
    void btnAllOffClick(HWND sender);
    void btnGetStatusClick(HWND sender);
    void btnGetDeviceMetricsClick(HWND sender);
    void btnSetDefaultsClick(HWND sender);
    void btnCloseClick(HWND sender);
    void ListBoxClick(HWND sender);
    void edtPulseTimeChange(HWND sender);
    void edtPulseTimeKeyPress(HWND sender, wchar_t& key);

    // The board-operation frame (fmuMainEvents.cpp): device buttons off, the driver reconnected on
    // the chosen port, the button's own steps, the result shown, the buttons on again (also after
    // an error, which then goes on to the operator without the result being shown).
    void RunBoardOperation(const std::function<void()>& ownSteps);
    void EndBoardOperation(HWND focus);
    void ReconnectDriver();
    void EnableButtons(bool enabled);
    void SelectContact(int index);
    void ShowResult();
    void ShowContacts();
    void SaveContacts();

    HWND Control(int id) const { return (*FLayout)[id]; }

    uint8_t FReleStatus = 0; // the relay bits the window believes are on
    std::wstring FIniFileName;
    std::unique_ptr<TKorvex> FDriver;
    TContactRec FContact; // copy of the selected contact's record
    std::unique_ptr<TContacts> FContacts;

    HWND FHandle = nullptr;
    std::unique_ptr<TfmMainLayout> FLayout;
    HWND FLastFocus = nullptr; // the control that had the focus when the window was left
    bool FCreated = false;     // creation completed: destruction saves the settings file
};
