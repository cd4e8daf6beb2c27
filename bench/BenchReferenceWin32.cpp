// The engine benchmark's reference on Windows: the exchange as bare Win32 calls on the engine's
// handle, and the board's clock found through round trips, since Wine's performance counter and
// the board's CLOCK_MONOTONIC may tick alike but nothing promises them a common origin.
#include <windows.h>

#include "BenchReference.h"

namespace {

constexpr int kPings = 3; // clock comparisons after each call; the quickest one counts

void SetReadTotal(HANDLE handle, DWORD timeout, DWORD readTotalConstant) {
    COMMTIMEOUTS t{timeout, 1, readTotalConstant, timeout, 0};
    SetCommTimeouts(handle, &t);
}

} // namespace

const char* const kStepNames[kSteps] = {"PurgeComm", "CLRRTS", "pause 20",   "WriteFile",
                                        "pause 30",  "SETRTS", "ReadFile 4", "ReadFile L+1"};

const char* TReference::Timer() const {
    return clock_.Timer() == TPauseTimer::HighResolution ? "a high-resolution waitable timer"
                                                         : "Sleep at a raised timer resolution";
}

bool TReference::Exchange(const std::string& frame, Steps* steps) {
    const TPauseClock::TExchange held(clock_);
    const HANDLE handle = port_.Handle;
    Stamp stamp(steps);
    PurgeComm(handle, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    stamp.next();
    EscapeCommFunction(handle, CLRRTS);
    stamp.next();
    clock_.Wait(20);
    stamp.next();
    DWORD written = 0;
    WriteFile(handle, frame.data(), static_cast<DWORD>(frame.size()), &written, nullptr);
    stamp.next();
    clock_.Wait(30);
    stamp.next();
    EscapeCommFunction(handle, SETRTS);
    stamp.next();
    char header[4];
    DWORD got = 0;
    ReadFile(handle, header, 4, &got, nullptr);
    stamp.next();
    if (got < 4)
        return false;
    DWORD rest = static_cast<unsigned char>(header[3]) + 1u;
    char body[256];
    DWORD more = 0;
    ReadFile(handle, body, rest, &more, nullptr);
    stamp.next();
    return more == rest;
}

bool TReference::Toggle(const std::string& frame, uint32_t toggleTime) {
    SetReadTotal(port_.Handle, port_.Timeout, toggleTime + 100);
    const bool ok = Exchange(frame);
    SetReadTotal(port_.Handle, port_.Timeout, port_.Timeout);
    return ok;
}

// Right after a call returns we ask the board for its time; the board reads its clock about
// half a round trip after we sent the question. The quickest of a few round trips gives the
// board's clock at a known moment of ours (the middle of that round trip) to within half of it.
TBoardClock ReadBoardClock(sim::SimControl& board) {
    long long bestRtt = -1;
    TBoardClock clock;
    for (int i = 0; i < kPings; ++i) {
        const long long sent = NowNs();
        const long long boardNs = board.nowNs();
        const long long back = NowNs();
        if (bestRtt < 0 || back - sent < bestRtt) {
            bestRtt = back - sent;
            clock.OffsetNs = boardNs - (sent + back) / 2;
        }
    }
    clock.HalfRoundTripMs = static_cast<double>(bestRtt) / 2e6;
    return clock;
}

void UseTheBoardsPort(TDriver& driver) {
    driver.SetPortNumber(sim::SimControl::comPort());
}

std::string PortName(const TDriver& driver) {
    return "COM" + std::to_string(driver.GetPortNumber());
}
