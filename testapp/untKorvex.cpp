#include "untKorvex.h"

#include <cstdio>

namespace {

// The dispids of the properties the window uses, as the type library Savolin declares them.
enum : DISPID {
    kDeviceNumber = 8,
    kDeviceSubType = 9,
    kDeviceType = 10,
    kInput = 11,
    kOutput = 12,
    kPortNumber = 13,
    kProtocolVersion = 14,
    kReleStatus = 15,
    kResultCode = 16,
    kResultDescription = 17,
    kSoftVersion = 18,
    kToggleTime = 20,
};

// "Ошибка OLE " (OLE error), followed by the result in hexadecimal when the system has no text
const char kOleError[] = "\xCE\xF8\xE8\xE1\xEA\xE0 OLE ";

// A text of the automation interface.
std::wstring TextOf(BSTR text) {
    return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

// Exception information that IDispatch::Invoke may fill in, freed when it goes.
struct TExcepInfo : EXCEPINFO {
    TExcepInfo() : EXCEPINFO{} {}
    TExcepInfo(const TExcepInfo&) = delete;
    TExcepInfo& operator=(const TExcepInfo&) = delete;
    ~TExcepInfo() {
        SysFreeString(bstrSource);
        SysFreeString(bstrDescription);
        SysFreeString(bstrHelpFile);
    }
};

} // namespace

void RaiseOleError(HRESULT code) {
    std::wstring text = SystemErrorText(static_cast<DWORD>(code));
    if (text.empty()) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%08lX", static_cast<unsigned long>(code));
        text = Cp1251ToWide(std::string(kOleError) + hex);
    }
    throw EOleError(code, text);
}

TKorvex::TKorvex() {
    HRESULT hr = CoCreateInstance(CLSID_Korvex, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                  FObject.PutVoid());
    if (FAILED(hr))
        RaiseOleError(hr);
    hr = FObject->QueryInterface(IID_IDispatch, FDispatch.PutVoid());
    if (FAILED(hr))
        RaiseOleError(hr);
}

IKorvex& TKorvex::Interface() {
    if (!FInterface) {
        HRESULT hr = FObject->QueryInterface(IID_IKorvex, FInterface.PutVoid());
        if (FAILED(hr))
            RaiseOleError(hr);
    }
    return *FInterface.Get();
}

int32_t TKorvex::Call(TMethod method) {
    // A method that fails before it writes Value leaves this 0.
    LONG value = 0;
    HRESULT hr = (Interface().*method)(&value);
    if (FAILED(hr))
        RaiseOleError(hr);
    return value;
}

int32_t TKorvex::Connect() {
    return Call(&IKorvex::Connect);
}
int32_t TKorvex::Disconnect() {
    return Call(&IKorvex::Disconnect);
}
int32_t TKorvex::GetDeviceMetrics() {
    return Call(&IKorvex::GetDeviceMetrics);
}
int32_t TKorvex::GetStatus() {
    return Call(&IKorvex::GetStatus);
}
int32_t TKorvex::SetStatus() {
    return Call(&IKorvex::SetStatus);
}
int32_t TKorvex::ToggleStatus() {
    return Call(&IKorvex::ToggleStatus);
}

void TKorvex::Invoke(DISPID dispid, WORD flags, DISPPARAMS& params, VARIANT* result) {
    TExcepInfo exception;
    UINT argError = 0;
    HRESULT hr = FDispatch->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result,
                                   &exception, &argError);
    if (hr == DISP_E_EXCEPTION && exception.bstrDescription)
        throw EOleError(hr, TextOf(exception.bstrDescription));
    if (FAILED(hr))
        RaiseOleError(hr);
}

int32_t TKorvex::GetNumber(DISPID dispid) {
    DISPPARAMS none{};
    TVariant result;
    Invoke(dispid, DISPATCH_PROPERTYGET, none, result.Get());
    HRESULT hr = VariantChangeType(result.Get(), result.Get(), 0, VT_I4);
    if (FAILED(hr))
        RaiseOleError(hr);
    return result.Value().lVal;
}

std::wstring TKorvex::GetText(DISPID dispid) {
    DISPPARAMS none{};
    TVariant result;
    Invoke(dispid, DISPATCH_PROPERTYGET, none, result.Get());
    HRESULT hr = VariantChangeType(result.Get(), result.Get(), 0, VT_BSTR);
    if (FAILED(hr))
        RaiseOleError(hr);
    return TextOf(result.Value().bstrVal);
}

void TKorvex::SetNumber(DISPID dispid, int32_t value) {
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_I4;
    argument.lVal = value;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&argument, &named, 1, 1};
    Invoke(dispid, DISPATCH_PROPERTYPUT, params, nullptr);
}

void TKorvex::SetPortNumber(int32_t value) {
    SetNumber(kPortNumber, value);
}
int32_t TKorvex::ReleStatus() {
    return GetNumber(kReleStatus);
}
void TKorvex::SetReleStatus(int32_t value) {
    SetNumber(kReleStatus, value);
}
void TKorvex::SetToggleTime(int32_t value) {
    SetNumber(kToggleTime, value);
}
int32_t TKorvex::ResultCode() {
    return GetNumber(kResultCode);
}
std::wstring TKorvex::ResultDescription() {
    return GetText(kResultDescription);
}
std::wstring TKorvex::Input() {
    return GetText(kInput);
}
std::wstring TKorvex::Output() {
    return GetText(kOutput);
}
int32_t TKorvex::DeviceType() {
    return GetNumber(kDeviceType);
}
int32_t TKorvex::DeviceSubType() {
    return GetNumber(kDeviceSubType);
}
int32_t TKorvex::ProtocolVersion() {
    return GetNumber(kProtocolVersion);
}
int32_t TKorvex::SoftVersion() {
    return GetNumber(kSoftVersion);
}
int32_t TKorvex::DeviceNumber() {
    return GetNumber(kDeviceNumber);
}
