#include "untError.h"

#include <iterator>

#include "untConst.h"

std::wstring EBaseError::Text() const {
    return Cp1251ToWide(Message);
}

std::wstring SysErrorMessage(DWORD errorCode) {
    wchar_t buffer[256];
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ARGUMENT_ARRAY,
        nullptr, errorCode, 0, buffer, static_cast<DWORD>(std::size(buffer)), nullptr);
    std::wstring text(buffer, length);
    // The system text ends its sentence with a full stop and CR LF; callers add their own.
    while (!text.empty()) {
        wchar_t last = text.back();
        if (last > L' ' && last != L'.' && last != 0x7F)
            break;
        text.pop_back();
    }
    return text;
}

std::wstring Win32ErrorMessage(DWORD errorCode) {
    if (errorCode == 0)
        return L"A Win32 API function failed";
    return L"Win32 Error.  Code: " + std::to_wstring(static_cast<int>(errorCode)) + L".\n" +
           SysErrorMessage(errorCode);
}

EWin32Error::EWin32Error(DWORD errorCode) : EWin32Error(errorCode, Win32ErrorMessage(errorCode)) {}

EWin32Error::EWin32Error(DWORD errorCode, std::wstring text)
    : EBaseError(WideToCp1251(text)), ErrorCode(errorCode), FText(std::move(text)) {}

void RaiseDriverError(int code, const std::string& message) {
    throw EDriverError(code, message);
}

void RaiseLastOSError() {
    throw EWin32Error(GetLastError());
}
