#include "untError.h"

#include "untConst.h"

namespace {

#ifdef _WIN32
constexpr wchar_t kOSErrorFrame[] = L"Win32 Error.  Code: ";
constexpr wchar_t kUnknownOSError[] = L"A Win32 API function failed";
#else
constexpr wchar_t kOSErrorFrame[] = L"System Error.  Code: ";
constexpr wchar_t kUnknownOSError[] = L"A call to an OS function failed";
#endif

} // namespace

std::wstring EBaseError::Text() const {
    return Cp1251ToWide(Message);
}

std::wstring OSErrorMessage(TSystemCode errorCode) {
    if (errorCode == 0)
        return kUnknownOSError;
    return kOSErrorFrame + std::to_wstring(static_cast<int>(errorCode)) + L".\n" +
           SystemErrorText(errorCode);
}

EOSError::EOSError(TSystemCode errorCode) : EOSError(errorCode, OSErrorMessage(errorCode)) {}

EOSError::EOSError(TSystemCode errorCode, std::wstring text)
    : EBaseError(WideToCp1251(text)), ErrorCode(errorCode), FText(std::move(text)) {}

void RaiseDriverError(int code, const std::string& message, unsigned long systemCode) {
    throw EDriverError(code, message, systemCode);
}

