// The serial port on Windows: a COM port through the Win32 communications calls.
#include "untComm.h"

#include <mmsystem.h>

#include "untConst.h"
#include "untError.h"

// Windows 10 1803 and later; older systems refuse the flag, and the clock falls back.
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace {

// The finest resolution the raised timer asks for, in milliseconds.
constexpr UINT RAISED_RESOLUTION_MS = 1;

} // namespace

TPauseClock::TPauseClock(TPauseTimer preferred) {
    if (preferred == TPauseTimer::HighResolution)
        FTimer = TKernelObject(CreateWaitableTimerExW(
            nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS));
    // Without the library the pauses are as fine as the system's timer makes them.
    if (!FTimer)
        FWinmm = TModule(LoadLibraryW(L"winmm.dll"));
}

void TPauseClock::Wait(uint32_t ms) {
    if (FTimer) {
        LARGE_INTEGER due;
        due.QuadPart = -static_cast<LONGLONG>(ms) * 10000; // relative, in 100 ns
        if (SetWaitableTimer(FTimer.Get(), &due, 0, nullptr, nullptr, FALSE) &&
            WaitForSingleObject(FTimer.Get(), INFINITE) == WAIT_OBJECT_0)
            return;
    }
    // The pause is kept even when the timer fails; it is then only as fine as the system's.
    Sleep(ms);
}

TPauseClock::TExchange::TExchange(const TPauseClock& clock) {
    const HMODULE winmm = clock.FWinmm.Get();
    auto beginPeriod = ProcAddress<TPeriodCall>(winmm, "timeBeginPeriod");
    auto endPeriod = ProcAddress<TPeriodCall>(winmm, "timeEndPeriod");
    if (beginPeriod && endPeriod && beginPeriod(RAISED_RESOLUTION_MS) == TIMERR_NOERROR)
        FEndPeriod = endPeriod;
}

TPauseClock::TExchange::~TExchange() {
    if (FEndPeriod)
        FEndPeriod(RAISED_RESOLUTION_MS);
}

bool TComm::IsOpen() const {
    return Handle != INVALID_HANDLE_VALUE;
}

uint32_t TComm::Port() const {
    return PortNumber;
}

void TComm::OpenHandle(uint32_t n) {
    std::string name = "\\\\.\\COM" + std::to_string(n);
    HANDLE handle = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        int code = error == ERROR_ACCESS_DENIED ? RESULT_PORT_BUSY : RESULT_PORT_UNAVAILABLE;
        RaiseDriverError(code, ResultText(code), error);
    }
    Handle = handle;
}

void TComm::SetupBuffers() {
    Check(SetupComm(Handle, 1024, 1024));
}

void TComm::SetLineSettings(uint32_t baud) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    // Fields we do not set keep the port's values; if it cannot tell them, they stay zero.
    GetCommState(Handle, &dcb);
    dcb.BaudRate = baud;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    // The flag word is exactly 1: binary mode, and nothing else. No parity check and no
    // character replacement; no flow control of either kind; DTR and RTS in the driver's own
    // hands, since it switches RTS for every frame.
    dcb.fBinary = 1;
    dcb.fParity = dcb.fErrorChar = dcb.fNull = dcb.fAbortOnError = 0;
    dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = dcb.fDsrSensitivity = 0;
    dcb.fOutX = dcb.fInX = dcb.fTXContinueOnXoff = 0;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fDummy2 = 0;
    Check(SetCommState(Handle, &dcb));
}

void TComm::SetTimeouts(uint32_t readTotalConstant) {
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = Timeout;
    timeouts.ReadTotalTimeoutMultiplier = 1;
    timeouts.ReadTotalTimeoutConstant = readTotalConstant;
    timeouts.WriteTotalTimeoutMultiplier = Timeout;
    timeouts.WriteTotalTimeoutConstant = 0;
    Check(SetCommTimeouts(Handle, &timeouts));
}

void TComm::SetRts() {
    EnsureOpen();
    Check(EscapeCommFunction(Handle, SETRTS));
}

void TComm::ClearRts() {
    EnsureOpen();
    Check(EscapeCommFunction(Handle, CLRRTS));
}

void TComm::Purge() {
    EnsureOpen();
    // Nothing stale is worth a failure: the answer is checked on its own.
    PurgeComm(Handle, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
}

void TComm::Write(const std::string& bytes) {
    EnsureOpen();
    DWORD written = 0;
    Check(WriteFile(Handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    if (written < bytes.size())
        RaiseDriverError(RESULT_FAILURE, S_NOT_ALL_WRITTEN);
}

std::string TComm::Read(uint32_t n) {
    std::string buffer(n, '\0');
    DWORD read = 0;
    Check(ReadFile(Handle, &buffer[0], n, &read, nullptr));
    buffer.resize(read);
    // A device that was pulled may read as mere silence; asked about its state, it fails where
    // a quiet board's port answers. Then the port is given back, so the next operation opens it
    // anew instead of talking to the dead handle.
    if (read < n && !DeviceAnswers())
        Close();
    return buffer;
}

void TComm::Check(BOOL ok) {
    if (ok)
        return;
    // The failure is taken (with its text) before the handle goes, so it reports the call's
    // own error.
    EOSError failure(GetLastError());
    Close();
    throw failure;
}

bool TComm::DeviceAnswers() {
    DWORD errors = 0;
    COMSTAT status{};
    return ClearCommError(Handle, &errors, &status) != FALSE;
}

void TComm::Close() {
    if (!IsOpen())
        return;
    CloseHandle(Handle);
    Handle = INVALID_HANDLE_VALUE;
}
