#include "KxSession.h"

#include "RelayBits.h"
#include "untConst.h"

namespace {

// Records the step; true when it succeeded and the command may go on.
bool Record(KxOutcome& outcome, KxStep step) {
    outcome.exitCode = ExitCodeFor(step.code);
    outcome.steps.push_back(std::move(step));
    return outcome.exitCode == KX_EXIT_OK;
}

// The pattern after applying the command to the status the board reported.
int PatternFor(const KxRequest& request, int status) {
    const uint8_t relays = static_cast<uint8_t>(status);
    switch (request.command) {
    case KxCommand::On:
    case KxCommand::Pulse:
        return RelaysOn(relays, RelayBit(request.relay));
    case KxCommand::Off:
        return RelaysOff(relays, RelayBit(request.relay));
    case KxCommand::Set:
        return request.pattern;
    default:
        return 0;
    }
}

} // namespace

int ExitCodeFor(long resultCode) {
    if (resultCode == RESULT_OK)
        return KX_EXIT_OK;
    if (resultCode == RESULT_PORT_UNAVAILABLE || resultCode == RESULT_PORT_BUSY)
        return KX_EXIT_PORT;
    return KX_EXIT_BOARD;
}

KxOutcome RunCommand(KxBoard& board, const KxRequest& request) {
    KxOutcome outcome;
    bool relative = request.command == KxCommand::On || request.command == KxCommand::Off ||
                    request.command == KxCommand::Pulse;
    bool ok = true;
    if (request.command == KxCommand::Metrics) {
        ok = Record(outcome, board.GetDeviceMetrics());
        outcome.hasMetrics = ok;
        if (ok)
            outcome.metrics = board.Metrics();
        return outcome;
    }
    if (request.command == KxCommand::Status || relative)
        ok = Record(outcome, board.GetStatus());
    if (ok && request.command != KxCommand::Status) {
        int pattern = PatternFor(request, board.Relays());
        ok = Record(outcome, request.command == KxCommand::Pulse
                                 ? board.ToggleStatus(pattern, request.pulseMs)
                                 : board.SetStatus(pattern));
    }
    outcome.hasRelays = ok;
    if (ok)
        outcome.relays = board.Relays();
    return outcome;
}

int FindExitCode(const std::vector<KxProbe>& probes) {
    for (const KxProbe& probe : probes)
        if (probe.state == KxState::Board)
            return KX_EXIT_OK;
    return KX_EXIT_BOARD;
}

std::vector<KxProbe> BoardsNumbered(const std::vector<KxProbe>& probes, long number) {
    std::vector<KxProbe> boards;
    for (const KxProbe& probe : probes)
        if (probe.state == KxState::Board && probe.metrics.number == number)
            boards.push_back(probe);
    return boards;
}
