// The demonstration's operator session: starts Quintor, switches, pulses, reads the status and
// the board's identification, lets the board fall silent once, and prints what the window shows
// after each step (UTF-8). Saves a screenshot of the window at the end.
//   quintor_session.exe QUINTOR_EXE SCREENSHOT_BMP   (KORVEX_SIM_CONTROL names the board)
#include <windows.h>

#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "Operator.h"
#include "SimControl.h"
#include "WinText.h"
#include "fmuMainIds.h"

namespace {

std::string Utf8(const std::string& cp1251) {
    return WideToCodePage(expected::Wide(cp1251), CP_UTF8);
}

void Print(const std::string& cp1251) {
    const std::string text = Utf8(cp1251) + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

class TSession {
public:
    explicit TSession(const std::wstring& program) : FApp(program) {
        if (FApp.StartFailed())
            throw std::runtime_error("Quintor did not start: " +
                                     Utf8(FApp.WaitForMessageBox().Text));
    }

    // Presses a button with a contact selected (or none, for -1) and prints the result boxes.
    void Step(const std::string& title, int button, int contact = -1) {
        if (contact >= 0)
            FApp.SelectEntry(contact);
        FApp.Click(button);
        ShowResult(title);
    }

    void ShowResult(const std::string& title) {
        Print(title + ": " + FApp.Text(ctl::edtResult));
        Print("    \xEF\xE5\xF0\xE5\xE4\xE0\xED\xEE " + FApp.Text(ctl::edtOutput)); // передано
        Print("    \xEF\xF0\xE8\xED\xFF\xF2\xEE  " + FApp.Text(ctl::edtInput)); // принято
    }

    quintor::Operator& App() { return FApp; }

private:
    quintor::Operator FApp;
};

void Run(const std::wstring& program, const std::string& screenshot) {
    sim::SimControl board;
    board.reset();
    board.setMetrics(1, 2, 3, 4, 4660);
    TSession session(program);
    quintor::Operator& app = session.App();
    const std::vector<std::string> entries = app.Entries();
    Print("Quintor: " + std::to_string(entries.size()) + " contacts, port " +
          app.Text(ctl::cbPortNumber));

    session.Step("\xC2\xEA\xEB\xFE\xF7\xE8\xF2\xFC " + entries.at(0), ctl::btnOn, 0); // Включить
    session.Step("\xC2\xEA\xEB\xFE\xF7\xE8\xF2\xFC " + entries.at(2), ctl::btnOn, 2);
    app.SelectEntry(4);
    app.SetText(ctl::edtPulseTime, "500");
    // Импульс ..., 500 мс
    session.Step("\xC8\xEC\xEF\xF3\xEB\xFC\xF1 " + entries.at(4) + ", 500 \xEC\xF1", ctl::btnPulse);
    session.Step("\xD1\xEE\xF1\xF2\xEE\xFF\xED\xE8\xE5", ctl::btnGetStatus); // Состояние
    Print("    \xF1\xEE\xF1\xF2\xEE\xFF\xED\xE8\xE5 " + app.Text(ctl::edtStatus));

    app.PostClick(ctl::btnGetDeviceMetrics); // Тип
    const quintor::TMessageBox box = app.WaitForMessageBox();
    Print("\xD2\xE8\xEF: " + box.Caption);
    for (size_t start = 0, end; (end = box.Text.find("\r\n", start)) != std::string::npos;
         start = end + 2)
        Print("    | " + box.Text.substr(start, end - start));
    app.CloseMessageBox(box);
    quintor::WaitFor([&] { return app.Enabled(ctl::btnGetStatus); });
    session.ShowResult("\xD2\xE8\xEF");

    board.fault("silent");
    Print("(the board stops answering)");
    session.Step("\xD1\xEE\xF1\xF2\xEE\xFF\xED\xE8\xE5", ctl::btnGetStatus);
    board.fault("none");
    session.Step("\xC2\xFB\xEA\xEB\xFE\xF7\xE8\xF2\xFC \xE2\xF1\xE5",
                 ctl::btnAllOff); // Выключить все

    app.SaveScreenshot(screenshot);
    app.Close();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: quintor_session QUINTOR_EXE SCREENSHOT_BMP\n");
        return 2;
    }
    try {
        // The program's path comes in the system's code page, as every command line does.
        Run(CodePageToWide(argv[1], CP_ACP), argv[2]);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quintor_session: %s\n", error.what());
        return 1;
    }
}
