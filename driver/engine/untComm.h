// TComm: one serial port of the operating system, opened on demand with the board's fixed line
// settings; half-duplex, with RTS driven by hand around each transmission. The calls an exchange
// makes are virtual, so the protocol engine can also run over a link that is not a port.
//
// A port whose call fails with a system error is closed before the failure is raised, and so is
// one whose device is found gone after a read that came short: a USB adapter that was pulled
// and plugged back is then opened anew by the next operation, instead of every later call
// failing on the dead handle until the client disconnects.
#pragma once

#include <cstdint>
#include <string>

#include <windows.h>

#include "WinHolders.h"

// How the half-duplex pauses are timed.
enum class TPauseTimer {
    HighResolution,   // a high-resolution waitable timer (Windows 10 1803 and later)
    RaisedResolution, // Sleep, with the system timer at 1 ms for the length of the exchange
};

// The clock of the half-duplex pauses. Windows' default timer ticks every 15.6 ms, so a plain
// Sleep(20) lasts about 31 ms and Sleep(30) up to 47; the board only needs the line quiet for
// 20 and 30 ms, and every exchange would be a fifth longer than it must. Where the system has
// high-resolution waitable timers the pauses wait on one, to about a millisecond, with nothing
// changed for the rest of the system; elsewhere the exchange raises the timer resolution to
// 1 ms while it runs (TExchange) and gives it back at once. The multimedia timer library that
// raises it is loaded only by a clock that needs it.
class TPauseClock {
public:
    // The high-resolution timer when preferred and the system offers one, else the raised
    // resolution.
    explicit TPauseClock(TPauseTimer preferred = TPauseTimer::HighResolution);

    // The timer the pauses use.
    TPauseTimer Timer() const {
        return FTimer ? TPauseTimer::HighResolution : TPauseTimer::RaisedResolution;
    }
    // Waits ms milliseconds.
    void Wait(uint32_t ms);

    // What the pauses need for one exchange, held while it lives: the raised resolution where
    // there is no high-resolution timer, nothing otherwise.
    class TExchange {
    public:
        explicit TExchange(const TPauseClock& clock);
        ~TExchange();
        TExchange(const TExchange&) = delete;
        TExchange& operator=(const TExchange&) = delete;

    private:
        using TPeriodCall = UINT(WINAPI*)(UINT);
        TPeriodCall FEndPeriod = nullptr; // set while the resolution is raised
    };

private:
    TKernelObject FTimer; // the high-resolution timer, or none
    TModule FWinmm;       // without one: winmm.dll, for timeBeginPeriod and timeEndPeriod
};

class TComm {
public:
    TComm() = default;
    virtual ~TComm();
    TComm(const TComm&) = delete;
    TComm& operator=(const TComm&) = delete;

    bool IsOpen() const { return Handle != INVALID_HANDLE_VALUE; }
    // Opens the port unless it is open already.
    virtual void EnsureOpen();
    // Opens COM<PortNumber> and sets buffers, line and time-outs; does nothing when open.
    // Raises EDriverError -3/-2 when the port cannot be opened, EWin32Error when the set-up is
    // refused, in which case the port is closed again.
    void Open();
    // Opens \\.\COM<n> exclusively; raises EDriverError -3 (access denied) or -2 (any other).
    void OpenHandle(uint32_t n);
    // 1024-byte driver buffers both ways; raises EWin32Error.
    void SetupBuffers();
    // 8N1 at baud, binary, no flow control, DTR and RTS not asserted; raises EWin32Error.
    void SetLineSettings(uint32_t baud);
    // Time-outs from Timeout with readTotalConstant; the port must be open; raises EWin32Error
    // (the port then closed).
    virtual void SetTimeouts(uint32_t readTotalConstant);
    // Asserts RTS (the answer may come), opening the port first; raises EWin32Error (the port
    // then closed).
    virtual void SetRts();
    // Drops RTS (we are about to send), opening the port first; raises EWin32Error (the port
    // then closed).
    virtual void ClearRts();
    // Discards both buffers and aborts pending transfers, opening the port first.
    virtual void Purge();
    // Writes all bytes in one call, opening the port first; raises EWin32Error (the port then
    // closed), or EDriverError -199 when the port takes fewer bytes.
    virtual void Write(const std::string& bytes);
    // Reads up to n bytes (n >= 1) until they came or the time-outs ran out; returns what came.
    // When fewer came and the device no longer answers, the port is closed. The port must be
    // open; raises EWin32Error (the port then closed).
    virtual std::string Read(uint32_t n);
    // Waits ms with the line quiet: the half-duplex turn-around around a frame (Clock).
    virtual void Pause(uint32_t ms);
    // Closes the port if open.
    void Close();

    HANDLE Handle = INVALID_HANDLE_VALUE;
    uint32_t Timeout = 100;
    uint32_t BaudRate = 9600;
    uint32_t PortNumber = 1;
    TPauseClock Clock;

private:
    // Raises EWin32Error for the last error when ok is false, closing the port first.
    void Check(BOOL ok);
    // Whether the device behind the open port still answers a question about its state.
    bool DeviceAnswers();
};
