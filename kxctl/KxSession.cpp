#include "KxSession.h"

#include "RelayBits.h"

namespace {

constexpr long kPortUnavailable = -2;
constexpr long kPortBusy = -3;

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
    if (resultCode == 0)
        return KX_EXIT_OK;
    if (resultCode == kPortUnavailable || resultCode == kPortBusy)
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
