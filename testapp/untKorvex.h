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

    // The control's methods through the IKorvex vtable: each returns the method's Value and
    // raises EOleError when the method fails with an HRESULT.
    int32_t Connect() { return Call(&IKorvex::Connect); }
    int32_t Disconnect() { return Call(&IKorvex::Disconnect); }
    int32_t GetStatus() { return Call(&IKorvex::GetStatus); }
    int32_t SetStatus() { return Call(&IKorvex::SetStatus); }
    int32_t ToggleStatus() { return Call(&IKorvex::ToggleStatus); }
    int32_t GetDeviceMetrics() { return Call(&IKorvex::GetDeviceMetrics); }

    // The properties the window uses, by their dispids as the type library Savolin declares
    // them: those that hold a number, and those that hold a text.
    enum TNumberProperty : DISPID {
        DeviceNumber = DISPID_KORVEX_DEVICE_NUMBER,
        DeviceSubType = DISPID_KORVEX_DEVICE_SUB_TYPE,
        DeviceType = DISPID_KORVEX_DEVICE_TYPE,
        PortNumber = DISPID_KORVEX_PORT_NUMBER,
        ProtocolVersion = DISPID_KORVEX_PROTOCOL_VERSION,
        ReleStatus = DISPID_KORVEX_RELE_STATUS,
        ResultCode = DISPID_KORVEX_RESULT_CODE,
        SoftVersion = DISPID_KORVEX_SOFT_VERSION,
        ToggleTime = DISPID_KORVEX_TOGGLE_TIME,
    };
    enum TTextProperty : DISPID {
        Input = DISPID_KORVEX_INPUT,
        Output = DISPID_KORVEX_OUTPUT,
        ResultDescription = DISPID_KORVEX_RESULT_DESCRIPTION,
    };

    // Properties through IDispatch::Invoke; a failed call raises EOleError.
    int32_t GetNumber(TNumberProperty property);
    void SetNumber(TNumberProperty property, int32_t value);
    std::wstring GetText(TTextProperty property);

private:
    using TMethod = HRESULT (STDMETHODCALLTYPE IKorvex::*)(LONG*);
    int32_t Call(TMethod method);
    // IKorvex, asked for at the first method call and kept.
    IKorvex& Interface();
    void Invoke(DISPID dispid, WORD flags, DISPPARAMS& params, VARIANT* result);
    // Reads a property into result, converted to type.
    void GetAs(DISPID dispid, VARTYPE type, TVariant& result);

    TComPtr<IUnknown> FObject;
    TComPtr<IDispatch> FDispatch;
    TComPtr<IKorvex> FInterface;
};

// Raises EOleError for a failed result, with the system's text for it (or the result in
// hexadecimal when the system has none).
[[noreturn]] void RaiseOleError(HRESULT code);
