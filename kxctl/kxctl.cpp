// kxctl: the relay board from batch files and schedulers. A client of the registered Korvex
// control through IKorvex; the exit code tells the class of the result.
#include <string>
#include <vector>

#include "KxBoard.h"
#include "KxCommandLine.h"
#include "KxConsole.h"
#include "KxReport.h"
#include "KxSession.h"

namespace {

std::wstring Widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

// A failure before or outside the driver's own result: printed, and its exit code returned.
int Fail(bool json, int exitCode, const std::string& message, bool hint = false) {
    if (json)
        WriteOut(JsonError(exitCode, message));
    else
        WriteErr(L"kxctl: " + Widen(message) + L"\n" + (hint ? L"Try 'kxctl --help'.\n" : L""));
    return exitCode;
}

bool WantsJson(const std::vector<std::wstring>& args) {
    for (const auto& arg : args)
        if (arg == L"--json")
            return true;
    return false;
}

int Run(const KxRequest& request) {
    TComApartment apartment;
    KxBoard board(request.port);
    KxOutcome outcome = RunCommand(board, request);
    if (request.json) {
        WriteOut(JsonReport(request, outcome));
    } else {
        WriteOut(TextReport(request, outcome));
        WriteErr(TextFailure(request, outcome));
    }
    return outcome.exitCode;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> args(argv + 1, argv + argc);
    KxRequest request;
    try {
        request = ParseCommandLine(args);
    } catch (const KxUsageError& error) {
        return Fail(WantsJson(args), KX_EXIT_USAGE, error.what(), true);
    }
    if (request.help) {
        WriteOut(UsageText());
        return KX_EXIT_OK;
    }
    try {
        return Run(request);
    } catch (const KxDriverMissing& error) {
        return Fail(request.json, KX_EXIT_NO_DRIVER,
                    std::string(error.what()) + "; register it with register.cmd or install the "
                                                "package");
    } catch (const KxCallFailed& error) {
        return Fail(request.json, KX_EXIT_BOARD, error.what());
    }
}
