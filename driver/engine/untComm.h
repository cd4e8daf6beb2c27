// TComm: one serial port of the operating system, opened on demand with the board's fixed line
// settings; half-duplex, with RTS driven by hand around each transmission. The calls an exchange
// makes are virtual, so the protocol engine can also run over a link that is not a port. One
// contract for every system: Windows names the port by its number (COMn), a POSIX system by its
// device path (/dev/ttyUSB0); each system has its own implementation (untCommWin32.cpp,
// untCommPosix.cpp), and what they share is untComm.cpp.
//
// A port whose call fails with a system error is closed before the failure is raised, and so is
// one whose device is found gone after a read that came short: a USB adapter that was pulled
// and plugged back is then opened anew by the next operation, instead of every later call
// failing on the dead handle until the client disconnects.
#pragma once

#include <cstdint>
#include <string>

#ifdef _WIN32
#include <windows.h>

#include "WinHolders.h"
#else
#include "PosixHolders.h"
#endif

#ifdef _WIN32
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
#else
// The clock of the half-duplex pauses: the monotonic clock, to the nanosecond, with nothing to
// hold for an exchange.
class TPauseClock {
public:
    // Waits ms milliseconds, to the end even when a signal interrupts the wait.
    void Wait(uint32_t ms);

    class TExchange {
    public:
        explicit TExchange(const TPauseClock&) {}
        TExchange(const TExchange&) = delete;
        TExchange& operator=(const TExchange&) = delete;
    };
};

// The port's time-outs in milliseconds, counted as Windows counts a serial port's: a read of n
// bytes ends when they came, or when ReadTotalConstant + ReadTotalMultiplier x n have passed
// since it began, or when ReadInterval passed after a byte with no further byte (0: no such
// limit); a write of n bytes gives up after WriteTotalConstant + WriteTotalMultiplier x n (both
// 0: it waits as long as it takes).
struct TCommTimeouts {
    uint32_t ReadInterval = 0;
    uint32_t ReadTotalMultiplier = 0;
    uint32_t ReadTotalConstant = 0;
    uint32_t WriteTotalMultiplier = 0;
    uint32_t WriteTotalConstant = 0;
};
#endif

class TComm {
public:
    TComm() = default;
    virtual ~TComm();
    TComm(const TComm&) = delete;
    TComm& operator=(const TComm&) = delete;

    bool IsOpen() const;
    // Opens the port unless it is open already.
    virtual void EnsureOpen();
    // Opens the port (COM<PortNumber>, or DevicePath) and sets buffers, line and time-outs;
    // does nothing when open. Raises EDriverError -3/-2 when the port cannot be opened, EOSError
    // when the set-up is refused, in which case the port is closed again.
    void Open();
#ifdef _WIN32
    // Opens \\.\COM<n> exclusively; raises EDriverError -3 (access denied) or -2 (any other).
    void OpenHandle(uint32_t n);
#else
    // Opens the terminal at path exclusively; raises EDriverError -3 (another holds it), -2 (no
    // such device, permission denied, any other reason; the errno kept), or EOSError when it is
    // no terminal.
    void OpenHandle(const std::string& path);
#endif
    // 1024-byte driver buffers both ways (a terminal's are the kernel's own); raises EOSError.
    void SetupBuffers();
    // 8N1 at baud, binary, no flow control, DTR and RTS not asserted; raises EOSError.
    void SetLineSettings(uint32_t baud);
    // Time-outs from Timeout with readTotalConstant; the port must be open; raises EOSError
    // (the port then closed).
    virtual void SetTimeouts(uint32_t readTotalConstant);
    // Asserts RTS (the answer may come), opening the port first; raises EOSError (the port
    // then closed).
    virtual void SetRts();
    // Drops RTS (we are about to send), opening the port first; raises EOSError (the port
    // then closed).
    virtual void ClearRts();
    // Discards both buffers and aborts pending transfers, opening the port first.
    virtual void Purge();
    // Writes all bytes, opening the port first; raises EOSError (the port then closed), or
    // EDriverError -199 when the port takes fewer bytes.
    virtual void Write(const std::string& bytes);
    // Reads up to n bytes (n >= 1) until they came or the time-outs ran out; returns what came.
    // When fewer came and the device no longer answers, the port is closed. The port must be
    // open; raises EOSError (the port then closed).
    virtual std::string Read(uint32_t n);
    // Waits ms with the line quiet: the half-duplex turn-around around a frame (Clock).
    virtual void Pause(uint32_t ms);
    // Closes the port if open.
    void Close();

#ifdef _WIN32
    HANDLE Handle = INVALID_HANDLE_VALUE;
#else
    TDescriptor Handle; // the terminal's descriptor, none while closed
#endif
    // The defaults of a new port, which callers that name no port or time-out take as well.
    static constexpr uint32_t DefaultTimeout = 100;
#ifdef _WIN32
    static constexpr uint32_t DefaultPortNumber = 1;
#else
    // The first serial port, as COM1 is on Windows.
    static constexpr const char* DefaultDevicePath = "/dev/ttyS0";
#endif

    uint32_t Timeout = DefaultTimeout;
    uint32_t BaudRate = 9600;
#ifdef _WIN32
    uint32_t PortNumber = DefaultPortNumber;
#else
    // The device the next open uses.
    std::string DevicePath = DefaultDevicePath;
    TCommTimeouts Timeouts; // as SetTimeouts last set them
#endif
    TPauseClock Clock;

private:
#ifdef _WIN32
    // What the next open names the port by: PortNumber.
    uint32_t Port() const;
    // Raises EOSError for the last error when ok is false, closing the port first.
    void Check(BOOL ok);
    // Whether the device behind the open port still answers a question about its state.
    bool DeviceAnswers();
#else
    // What the next open names the port by: DevicePath.
    const std::string& Port() const;
    // Raises EOSError for errno when ok is false, closing the port first.
    void Check(bool ok);
    // Raises EOSError(EBADF) when the port is closed: the calls that do not open it need it open.
    void RequireOpen();
    // Waits until the descriptor is ready for events or the monotonic clock reaches deadline
    // (nanoseconds; negative: no deadline); returns the events that came, 0 at the deadline.
    short WaitFor(short events, long long deadline);
#endif
};
