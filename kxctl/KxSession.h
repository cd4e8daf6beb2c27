// What one kxctl command does with the board: the driver calls in order, stopping at the first
// that fails, and what the board reported.
#pragma once

#include <vector>

#include "KxBoard.h"
#include "KxFind.h"
#include "KxCommandLine.h"

// The process exit codes: the class of the outcome.
enum KxExit : int {
    KX_EXIT_OK = 0,
    KX_EXIT_BOARD = 1,    // no answer, a bad answer, or the board's own error code
    KX_EXIT_PORT = 2,     // the port cannot be opened or is held by another program
    KX_EXIT_USAGE = 3,    // bad arguments
    KX_EXIT_NO_BOARD = 5, // --board: no board of that number answered
    KX_EXIT_BOARDS = 6,   // --board: more than one did; nothing was switched
};

struct KxOutcome {
    std::vector<KxStep> steps; // every call made; the last one failed when exitCode is not 0
    int exitCode = KX_EXIT_OK;
    bool hasRelays = false; // status, on, off, pulse, set, alloff
    int relays = 0;
    bool hasMetrics = false; // metrics
    KxMetrics metrics;
};

// The exit code for a driver result code: 0 for 0, 2 for the port's -2 and -3, 1 otherwise.
int ExitCodeFor(long resultCode);

// Runs the request's command. on, off and pulse read the board's status first and change only
// their own bit.
KxOutcome RunCommand(KxBoard& board, const KxRequest& request);

// The exit code of find: 0 when a board answered, 1 when none did.
int FindExitCode(const std::vector<KxProbe>& probes);

// The probes that found a board with the device number given.
std::vector<KxProbe> BoardsNumbered(const std::vector<KxProbe>& probes, long number);
