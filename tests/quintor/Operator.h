// An operator at Quintor's window, for the tests and the demonstration: starts the program,
// finds its window and controls, clicks, selects, types with real keystrokes, reads texts and
// message boxes back, and closes the program. Every wait is for a condition, with a generous
// bound; a condition that does not come raises std::runtime_error.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ExpectedTexts.h"
#include "TestClock.h"

namespace quintor {

// Polls condition until it holds or timeoutMs passes; returns whether it held. The program's
// windows come slowly under Wine, and asking about them is a round trip to another process:
// a longer bound, and every 10 ms.
inline bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = 30000) {
    return WaitUntil(condition, timeoutMs, 10);
}

// A message box of the program: its caption and text, what owns it and which of its parts show.
struct TMessageBox {
    HWND Window = nullptr;
    HWND Owner = nullptr;
    std::string Caption;
    std::string Text;
    bool HasIcon = false;
    std::vector<int> Buttons; // identifiers of the visible buttons
};

class Operator {
public:
    // Starts the program (a Windows path) in its own folder and waits until its main window
    // shows with the focus on a control, or until the program shows a message box instead
    // (StartFailed() then holds).
    explicit Operator(const std::wstring& program);
    Operator(const Operator&) = delete;
    Operator& operator=(const Operator&) = delete;
    // Ends the program if it still runs: closes its message boxes and its window, and stops
    // it when it does not end.
    ~Operator();

    bool StartFailed() const { return !FMain; }
    HWND Main() const { return FMain; }
    DWORD ThreadId() const { return FThread; }
    HWND Control(int id) const;

    std::string Text(int id) const; // cp1251
    bool Enabled(int id) const;
    int PortIndex() const; // the chosen entry of the port box, -1 for none
    int Selected() const;  // the selected list entry, -1 for none
    std::vector<std::string> Entries() const;
    HWND Focus() const; // the control that has the keyboard focus

    // A button click; returns once the program has handled it.
    void Click(int id);
    // A button click whose handler opens a message box; returns at once.
    void PostClick(int id);
    // Chooses a port box entry as the mouse would; the program reads it at the next operation.
    void ChoosePort(int index);
    // Selects a list entry as a click on it does; returns once the program has handled it.
    void SelectEntry(int index);
    // Replaces a box's text, as a paste does; returns once the program has handled the change.
    void SetText(int id, const std::string& text);

    // Real input through the system's input queue, to the focused window.
    void MouseClick(HWND control, int x, int y); // client coordinates
    void MouseMove(HWND control, int x, int y);
    void Type(const std::wstring& text); // characters as typed
    void Press(WORD key, bool shift = false, bool alt = false);

    // The program's message box once it shows.
    TMessageBox WaitForMessageBox();
    // Presses OK in the box and waits until it is gone.
    void CloseMessageBox(const TMessageBox& box);
    // The visible tooltip window's text once one shows.
    std::string WaitForTooltip();

    // Clicks "Закрыть" and waits for the end of the program; returns its exit code.
    DWORD Close();
    DWORD WaitForExit();
    bool Running() const;

    // Saves the window as it shows on the screen as a 24-bit .bmp file.
    void SaveScreenshot(const std::string& path) const;

private:
    std::vector<HWND> TopLevelWindows(const wchar_t* className) const;
    void Send(const std::vector<INPUT>& inputs);

    PROCESS_INFORMATION FProcess{};
    DWORD FThread = 0;
    HWND FMain = nullptr;
};

} // namespace quintor
