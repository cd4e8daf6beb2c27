// The window's typed client of the driver control: the control is created in-process by its
// class identifier, its methods are called through the IKorvex vtable and its properties are
// read and written through automation dispatch by dispid.
#pragma once

#include <windows.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "Savolin_TLB.h"
#include "WinHolders.h"
#include "untText.h"

// A failed COM or system call; the text is the system's for its result.
class EOleError : public ETextError {
public:
    EOleError(HRESULT code, const std::wstring& text) : ETextError(text), Code(code) {}
    HRESULT Code;
};

class TKorvex {
public:
    // Creates the control. Raises EOleError when the component system cannot create it (for
    // example when the driver is not registered).
    TKorvex();
    TKorvex(const TKorvex&) = delete;
    TKorvex& operator=(const TKorvex&) = delete;

    // The six methods the window calls; each returns the method's Value and raises EOleError
    // when the method fails with an HRESULT.
    int32_t Connect();
    int32_t Disconnect();
    int32_t GetDeviceMetrics();
    int32_t GetStatus();
    int32_t SetStatus();
    int32_t ToggleStatus();

    // Properties through IDispatch::Invoke; a failed call raises EOleError.
    void SetPortNumber(int32_t value);
    int32_t ReleStatus();
    void SetReleStatus(int32_t value);
    void SetToggleTime(int32_t value);
    int32_t ResultCode();
    std::wstring ResultDescription();
    std::wstring Input();
    std::wstring Output();
    int32_t DeviceType();
    int32_t DeviceSubType();
    int32_t ProtocolVersion();
    int32_t SoftVersion();
    int32_t DeviceNumber();

private:
    using TMethod = HRESULT (STDMETHODCALLTYPE IKorvex::*)(LONG*);
    int32_t Call(TMethod method);
    // IKorvex, asked for at the first method call and kept.
    IKorvex& Interface();
    void Invoke(DISPID dispid, WORD flags, DISPPARAMS& params, VARIANT* result);
    int32_t GetNumber(DISPID dispid);
    std::wstring GetText(DISPID dispid);
    void SetNumber(DISPID dispid, int32_t value);

    TComPtr<IUnknown> FObject;
    TComPtr<IDispatch> FDispatch;
    TComPtr<IKorvex> FInterface;
};

// Raises EOleError for a failed result, with the system's text for it (or the result in
// hexadecimal when the system has none).
[[noreturn]] void RaiseOleError(HRESULT code);
