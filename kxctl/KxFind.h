// Finding boards: each port asked for the board's identification with one 'z' exchange, the
// ports at the same time, so that many take about as long as one.
#pragma once

#include <cstdint>
#include <vector>

#include "KxBoard.h"
#include "KxPorts.h"

// What answered on a port.
enum class KxState {
    Board,  // the board's identification
    Silent, // no answer
    Busy,   // held by another program; not touched further
    Absent, // no such port
    Other,  // something answered that is not the board
    Failed, // a system call on the port failed
};

// "board", "silent", ...
const wchar_t* StateName(KxState state);

// The state an identification request's result stands for.
KxState StateOf(const KxStep& step);

struct KxProbe {
    KxPort port;
    KxStep step; // the identification request and its result
    KxState state = KxState::Failed;
    KxMetrics metrics; // for a board
};

// At most this many ports are asked at once, each by an engine and a thread of its own.
constexpr size_t kMaxProbesAtOnce = 32;

// Asks every port once, with the driver's read time-out timeoutMs; the probes in the ports'
// order.
std::vector<KxProbe> ProbePorts(const std::vector<KxPort>& ports, uint32_t timeoutMs);
