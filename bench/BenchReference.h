// The engine benchmark's reference: one exchange written out as this system's bare calls, with
// the engine's pauses, read sizes and time-outs and nothing else (no framing objects, no dumps,
// no decoding, no exceptions), made on the engine's own open port: the port opens exclusively,
// and sharing it also gives both the very same line settings and time-outs. Its pauses are timed
// by a clock of the engine's kind. Each system has its own (BenchReferenceWin32.cpp,
// BenchReferencePosix.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "BenchStats.h"
#include "SimControl.h"
#include "untDriver.h"

// Where the time of one reference exchange goes, call by call.
enum Step {
    kPurge,
    kClearRts,
    kPause20,
    kWrite,
    kPause30,
    kSetRts,
    kReadHeader,
    kReadRest,
    kSteps
};
// This system's name of each step's call.
extern const char* const kStepNames[kSteps];
using Steps = std::vector<double>[kSteps];

// Notes, when given steps to fill, the time since the last step each time next() is called.
class Stamp {
public:
    explicit Stamp(Steps* steps) : steps_(steps), last_(steps ? NowNs() : 0) {}
    void next() {
        if (!steps_)
            return;
        const long long now = NowNs();
        (*steps_)[step_++].push_back(static_cast<double>(now - last_) / 1e6);
        last_ = now;
    }

private:
    Steps* steps_;
    long long last_;
    int step_ = 0;
};

class TReference {
public:
    // port: the engine's port, open.
    explicit TReference(const TComm& port) : port_(port) {}

    // How the pauses are timed.
    const char* Timer() const;

    // Returns whether a whole answer came. With steps given, the time of each call is noted as
    // well; the timed comparison runs without them, so the reference makes no call the engine
    // does not make.
    bool Exchange(const std::string& frame, Steps* steps = nullptr);

    // The toggle command reads with a longer total time-out, and gives the port its own back.
    bool Toggle(const std::string& frame, uint32_t toggleTime);

private:
    const TComm& port_;
    TPauseClock clock_;
};

// The board's clock at a moment of ours: ours + OffsetNs, to within HalfRoundTripMs.
struct TBoardClock {
    long long OffsetNs = 0;
    double HalfRoundTripMs = 0;
};
TBoardClock ReadBoardClock(sim::SimControl& board);

// Points the engine at the simulated board's port; the port as this system names it.
void UseTheBoardsPort(TDriver& driver);
std::string PortName(const TDriver& driver);
