// Failures of the relay board link. Everything the driver raises derives from EBaseError and
// carries a cp1251 message; the engine turns them into result codes at its operation
// boundaries (TDriver::HandleError).
#pragma once

#include <exception>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

// The system's error number: GetLastError's on Windows, errno elsewhere.
#ifdef _WIN32
using TSystemCode = DWORD;
#else
using TSystemCode = int;
#endif

// The base failure: a message text in code page 1251.
class EBaseError : public std::exception {
public:
    explicit EBaseError(std::string message) : Message(std::move(message)) {}
    const char* what() const noexcept override { return Message.c_str(); }
    // The message as wide text, as clients receive it.
    virtual std::wstring Text() const;

    std::string Message;
};

// The driver's own failure: a result code and its text, passed on unaltered. A port that cannot
// be opened also keeps the system's error number behind it, so a caller can tell the reason.
class EDriverError : public EBaseError {
public:
    EDriverError(int code, std::string message, unsigned long systemCode = 0)
        : EBaseError(std::move(message)), Code(code), SystemCode(systemCode) {}

    int Code;
    unsigned long SystemCode; // 0 when no system call failed
};

// A failed operating-system call, described by its error number and the system's text. The
// system's text is in the language of the machine, so it is kept as wide text as the system gave
// it; Message holds it in code page 1251 as far as that code page can.
class EOSError : public EBaseError {
public:
    explicit EOSError(TSystemCode errorCode);
    std::wstring Text() const override { return FText; }

    TSystemCode ErrorCode;

private:
    EOSError(TSystemCode errorCode, std::wstring text);

    std::wstring FText;
};

#ifdef _WIN32
// Windows names the failure of a system call after its API.
using EWin32Error = EOSError;
#endif

// A value outside its declared range.
class ERangeError : public EBaseError {
public:
    ERangeError() : EBaseError("Range check error") {}
};

// The memory ran out. The message fits the string's own buffer, so making it allocates nothing.
class EOutOfMemory : public EBaseError {
public:
    EOutOfMemory() : EBaseError("Out of memory") {}
};

// Raises EDriverError(code, message, systemCode).
[[noreturn]] void RaiseDriverError(int code, const std::string& message,
                                   unsigned long systemCode = 0);

// The message of an EOSError for errorCode, as wide text: on Windows "Win32 Error.  Code: %d.\n"
// and the system's text, on POSIX systems "System Error.  Code: %d.\n" and strerror's text; for
// error number 0 a text that says a system call failed.
std::wstring OSErrorMessage(TSystemCode errorCode);
