#include "untError.h"

#include <cstdio>

std::string SysErrorMessage(DWORD errorCode) {
    char buffer[256];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                      FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                  nullptr, errorCode, 0, buffer, sizeof buffer, nullptr);
    std::string text(buffer, length);
    // The system text ends its sentence with a full stop and CR LF; callers add their own.
    while (!text.empty()) {
        unsigned char last = static_cast<unsigned char>(text.back());
        if (last > ' ' && last != '.' && last != 0x7F)
            break;
        text.pop_back();
    }
    return text;
}

std::string Win32ErrorMessage(DWORD errorCode) {
    if (errorCode == 0)
        return "A Win32 API function failed";
    char head[64];
    std::snprintf(head, sizeof head, "Win32 Error.  Code: %d.\n", static_cast<int>(errorCode));
    return head + SysErrorMessage(errorCode);
}

EWin32Error::EWin32Error(DWORD errorCode)
    : EBaseError(Win32ErrorMessage(errorCode)), ErrorCode(errorCode) {}

void RaiseDriverError(int code, const std::string& message) {
    throw EDriverError(code, message);
}

void RaiseLastOSError() {
    throw EWin32Error(GetLastError());
}
