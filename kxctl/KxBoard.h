// kxctl's link to the relay board: the registered Korvex control, created by its class id and
// called through IKorvex like any other client would.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

#include "Savolin_TLB.h"
#include "WinHolders.h"

// One driver call and what the control recorded for it.
struct KxStep {
    std::wstring name;        // the IKorvex method: "GetStatus", "SetStatus", ...
    long code = 0;            // ResultCode after the call
    std::wstring description; // ResultDescription
    std::wstring sent;        // Output: hex dump of the frame sent
    std::wstring received;    // Input: hex dump of what came back
};

// The board's identification as the last GetDeviceMetrics decoded it.
struct KxMetrics {
    long type = 0, subType = 0, protocol = 0, firmware = 0, number = 0;
};

// The control could not be created: the driver is not registered for this architecture, or its
// registered file cannot be loaded.
class KxDriverMissing : public std::runtime_error {
public:
    explicit KxDriverMissing(HRESULT result);
    HRESULT result;
};

// A call into the control failed as a COM call (the driver itself reports through its result).
class KxCallFailed : public std::runtime_error {
public:
    KxCallFailed(const char* member, HRESULT result);
};

class KxBoard {
public:
    // Creates the control and sets its port. Throws KxDriverMissing.
    explicit KxBoard(long port);

    KxStep GetStatus();
    KxStep SetStatus(int pattern);
    KxStep ToggleStatus(int pattern, long milliseconds);
    KxStep GetDeviceMetrics();

    int Relays();        // ReleStatus: the pattern the board last reported
    KxMetrics Metrics(); // the identification fields

private:
    TComPtr<IKorvex> korvex_;
    KxStep Run(const char* name, HRESULT (STDMETHODCALLTYPE IKorvex::*method)(LONG*));
    long Long(const char* name, HRESULT (STDMETHODCALLTYPE IKorvex::*getter)(LONG*));
    std::wstring Text(const char* name, HRESULT (STDMETHODCALLTYPE IKorvex::*getter)(BSTR*));
    void Put(const char* name, HRESULT (STDMETHODCALLTYPE IKorvex::*setter)(LONG), long value);
};
