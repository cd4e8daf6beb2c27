#include "untError.h"

#include "untConst.h"

std::wstring EBaseError::Text() const {
    return Cp1251ToWide(Message);
}

std::wstring Win32ErrorMessage(DWORD errorCode) {
    if (errorCode == 0)
        return L"A Win32 API function failed";
    return L"Win32 Error.  Code: " + std::to_wstring(static_cast<int>(errorCode)) + L".\n" +
           SystemErrorText(errorCode);
}

EWin32Error::EWin32Error(DWORD errorCode) : EWin32Error(errorCode, Win32ErrorMessage(errorCode)) {}

EWin32Error::EWin32Error(DWORD errorCode, std::wstring text)
    : EBaseError(WideToCp1251(text)), ErrorCode(errorCode), FText(std::move(text)) {}

void RaiseDriverError(int code, const std::string& message, unsigned long systemCode) {
    throw EDriverError(code, message, systemCode);
}

void RaiseLastOSError() {
    throw EWin32Error(GetLastError());
}
