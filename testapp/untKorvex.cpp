#include "untKorvex.h"

#include <cstdio>

namespace {

// "Ошибка OLE " (OLE error), followed by the result in hexadecimal when the system has no text
const char kOleError[] = "\xCE\xF8\xE8\xE1\xEA\xE0 OLE ";

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

void TKorvex::Invoke(DISPID dispid, WORD flags, DISPPARAMS& params, VARIANT* result) {
    TExcepInfo exception;
    UINT argError = 0;
    HRESULT hr = FDispatch->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result,
                                   &exception, &argError);
    if (hr == DISP_E_EXCEPTION && exception.bstrDescription)
        throw EOleError(hr, BstrText(exception.bstrDescription));
    if (FAILED(hr))
        RaiseOleError(hr);
}

void TKorvex::GetAs(DISPID dispid, VARTYPE type, TVariant& result) {
    DISPPARAMS none{};
    Invoke(dispid, DISPATCH_PROPERTYGET, none, result.Get());
    HRESULT hr = VariantChangeType(result.Get(), result.Get(), 0, type);
    if (FAILED(hr))
        RaiseOleError(hr);
}

int32_t TKorvex::GetNumber(TNumberProperty property) {
    TVariant result;
    GetAs(property, VT_I4, result);
    return result.Value().lVal;
}

std::wstring TKorvex::GetText(TTextProperty property) {
    TVariant result;
    GetAs(property, VT_BSTR, result);
    return BstrText(result.Value().bstrVal);
}

void TKorvex::SetNumber(TNumberProperty property, int32_t value) {
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_I4;
    argument.lVal = value;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&argument, &named, 1, 1};
    Invoke(property, DISPATCH_PROPERTYPUT, params, nullptr);
}
