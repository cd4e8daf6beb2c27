#include "KxBoard.h"

#include <cstdio>

namespace {

std::string HexResult(HRESULT result) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(result));
    return text;
}

// Raises KxCallFailed when the member failed.
void Check(const char* member, HRESULT result) {
    if (FAILED(result))
        throw KxCallFailed(member, result);
}

} // namespace

KxDriverMissing::KxDriverMissing(HRESULT r)
    : std::runtime_error(
          r == REGDB_E_CLASSNOTREG
              ? "the Korvex driver is not registered (Addin.Korvex, " + HexResult(r) + ")"
              : "the Korvex driver cannot be loaded (Addin.Korvex, " + HexResult(r) + ")"),
      result(r) {}

KxCallFailed::KxCallFailed(const char* member, HRESULT result)
    : std::runtime_error(std::string("IKorvex::") + member + " failed with " + HexResult(result)) {}

KxBoard::KxBoard(long port) {
    HRESULT result = CoCreateInstance(CLSID_Korvex, nullptr, CLSCTX_INPROC_SERVER, IID_IKorvex,
                                      korvex_.PutVoid());
    if (FAILED(result))
        throw KxDriverMissing(result);
    Put("PortNumber", &IKorvex::put_PortNumber, port);
}

KxStep KxBoard::Run(const char* name, HRESULT (STDMETHODCALLTYPE IKorvex::*method)(LONG*)) {
    LONG value = 0;
    Check(name, (korvex_.Get()->*method)(&value));
    // The step reads its result back from ResultCode, with the text and frames that belong to it.
    KxStep step;
    step.name.assign(name, name + std::char_traits<char>::length(name));
    step.code = Long("ResultCode", &IKorvex::get_ResultCode);
    step.description = Text("ResultDescription", &IKorvex::get_ResultDescription);
    step.sent = Text("Output", &IKorvex::get_Output);
    step.received = Text("Input", &IKorvex::get_Input);
    return step;
}

long KxBoard::Long(const char* name, HRESULT (STDMETHODCALLTYPE IKorvex::*getter)(LONG*)) {
    LONG value = 0;
    Check(name, (korvex_.Get()->*getter)(&value));
    return value;
}

std::wstring KxBoard::Text(const char* name, HRESULT (STDMETHODCALLTYPE IKorvex::*getter)(BSTR*)) {
    TBstr text;
    Check(name, (korvex_.Get()->*getter)(text.Put()));
    return text.Text();
}

void KxBoard::Put(const char* name, HRESULT (STDMETHODCALLTYPE IKorvex::*setter)(LONG),
                  long value) {
    Check(name, (korvex_.Get()->*setter)(value));
}

KxStep KxBoard::GetStatus() {
    return Run("GetStatus", &IKorvex::GetStatus);
}

KxStep KxBoard::SetStatus(int pattern) {
    Put("ReleStatus", &IKorvex::put_ReleStatus, pattern);
    return Run("SetStatus", &IKorvex::SetStatus);
}

KxStep KxBoard::ToggleStatus(int pattern, long milliseconds) {
    Put("ReleStatus", &IKorvex::put_ReleStatus, pattern);
    Put("ToggleTime", &IKorvex::put_ToggleTime, milliseconds);
    return Run("ToggleStatus", &IKorvex::ToggleStatus);
}

KxStep KxBoard::GetDeviceMetrics() {
    return Run("GetDeviceMetrics", &IKorvex::GetDeviceMetrics);
}

int KxBoard::Relays() {
    return static_cast<int>(Long("ReleStatus", &IKorvex::get_ReleStatus));
}

KxMetrics KxBoard::Metrics() {
    KxMetrics metrics;
    metrics.type = Long("DeviceType", &IKorvex::get_DeviceType);
    metrics.subType = Long("DeviceSubType", &IKorvex::get_DeviceSubType);
    metrics.protocol = Long("ProtocolVersion", &IKorvex::get_ProtocolVersion);
    metrics.firmware = Long("SoftVersion", &IKorvex::get_SoftVersion);
    metrics.number = Long("DeviceNumber", &IKorvex::get_DeviceNumber);
    return metrics;
}
