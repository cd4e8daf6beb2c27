// Failures of the relay board link. Everything the driver raises derives from EBaseError and
// carries a cp1251 message; the engine turns them into result codes at its operation
// boundaries (TDriver::HandleError).
#pragma once

#include <exception>
#include <string>

#include <windows.h>

// The base failure: a message text in code page 1251.
class EBaseError : public std::exception {
public:
    explicit EBaseError(std::string message) : Message(std::move(message)) {}
    const char* what() const noexcept override { return Message.c_str(); }
    // The message in UTF-16, as clients receive it.
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
// system's text is in the language of the machine, so it is kept in UTF-16 as the system gave
// it; Message holds it in code page 1251 as far as that code page can.
class EWin32Error : public EBaseError {
public:
    explicit EWin32Error(DWORD errorCode);
    std::wstring Text() const override { return FText; }

    DWORD ErrorCode;

private:
    EWin32Error(DWORD errorCode, std::wstring text);

    std::wstring FText;
};

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

// Raises EWin32Error for the calling thread's last OS error number.
[[noreturn]] void RaiseLastOSError();

// The message of an EWin32Error for errorCode, in UTF-16.
std::wstring Win32ErrorMessage(DWORD errorCode);
