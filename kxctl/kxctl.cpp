// kxctl: the relay board from batch files and schedulers. It runs the driver's own protocol
// engine, so it gives the control's codes, texts and frames and needs nothing registered; the
// exit code tells the class of the result.
#include <exception>
#include <string>
#include <vector>

#include "KxBoard.h"
#include "KxCommandLine.h"
#include "KxConsole.h"
#include "KxFind.h"
#include "KxPorts.h"
#include "KxReport.h"
#include "KxSession.h"

namespace {

// A library's own message: ASCII.
std::wstring Widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

// A failure before or outside the driver's own result: printed, and its exit code returned.
int Fail(bool json, int exitCode, const std::wstring& message, bool hint = false) {
    if (json)
        WriteOut(JsonError(exitCode, message));
    else
        WriteErr(L"kxctl: " + message + L"\n" + (hint ? L"Try 'kxctl --help'.\n" : L""));
    return exitCode;
}

bool WantsJson(const std::vector<std::wstring>& args) {
    for (const auto& arg : args)
        if (arg == L"--json")
            return true;
    return false;
}

// The ports that find and --board ask: those of --ports, or every port the system lists.
std::vector<KxPort> PortsToAsk(const KxRequest& request) {
    const std::vector<KxPort> listed = ListPorts();
    if (request.ports.empty())
        return listed;
    std::vector<KxPort> named;
    for (const KxPort& port : request.ports)
        named.push_back(AsListed(listed, port));
    return named;
}

int ListThePorts(const KxRequest& request) {
    const std::vector<KxPort> ports = ListPorts();
    WriteOut(request.json ? PortsJson(ports) : PortsText(ports));
    return KX_EXIT_OK;
}

int FindTheBoards(const KxRequest& request) {
    const std::vector<KxProbe> probes = ProbePorts(PortsToAsk(request), request.timeoutMs);
    const int exitCode = FindExitCode(probes);
    WriteOut(request.json ? FindJson(probes, exitCode, request.verbose)
                          : FindText(probes, request.verbose));
    return exitCode;
}

// Says why --board has no one board to switch; returns its exit code.
int RefuseBoardChoice(const KxRequest& request, int exitCode, const std::wstring& message,
                      const wchar_t* key, const std::vector<KxProbe>& probes) {
    if (request.json)
        WriteOut(JsonBoardChoice(request, exitCode, message, key, probes));
    else
        WriteErr(L"kxctl: " + message + L"\n");
    return exitCode;
}

int RunOnBoard(KxRequest request) {
    std::vector<KxStep> identification;
    if (request.board >= 0) {
        const std::vector<KxProbe> asked = ProbePorts(PortsToAsk(request), request.timeoutMs);
        const std::vector<KxProbe> boards = BoardsNumbered(asked, request.board);
        if (boards.empty())
            return RefuseBoardChoice(request, KX_EXIT_NO_BOARD, NoBoardText(request, asked),
                                     L"asked", asked);
        if (boards.size() > 1)
            return RefuseBoardChoice(request, KX_EXIT_BOARDS, BoardsText(request, boards),
                                     L"boards", boards);
        request.port = boards.front().port;
        identification.push_back(boards.front().step);
    }
    KxBoard board(request.port, request.timeoutMs);
    KxOutcome outcome = RunCommand(board, request);
    // The request that found the board is the first of the calls made for the command.
    outcome.steps.insert(outcome.steps.begin(), identification.begin(), identification.end());
    if (request.json) {
        WriteOut(JsonReport(request, outcome));
    } else {
        WriteOut(TextReport(request, outcome));
        WriteErr(TextFailure(request, outcome));
    }
    return outcome.exitCode;
}

int Run(const KxRequest& request) {
    switch (request.command) {
    case KxCommand::Ports:
        return ListThePorts(request);
    case KxCommand::Find:
        return FindTheBoards(request);
    default:
        return RunOnBoard(request);
    }
}

} // namespace

int KxctlMain(const std::vector<std::wstring>& args) {
    KxRequest request;
    try {
        request = ParseCommandLine(args);
    } catch (const KxUsageError& error) {
        return Fail(WantsJson(args), KX_EXIT_USAGE, error.Message, true);
    }
    if (request.help) {
        WriteOut(UsageText());
        return KX_EXIT_OK;
    }
    try {
        return Run(request);
    } catch (const std::exception& error) {
        // The memory or the threads ran out: nothing is known of the board.
        return Fail(request.json, KX_EXIT_BOARD, Widen(error.what()));
    }
}
