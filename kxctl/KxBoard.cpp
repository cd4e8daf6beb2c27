#include "KxBoard.h"

#ifndef _WIN32
#include "KxUtf8.h"
#endif

namespace {

// The dumps are ASCII.
std::wstring Widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

} // namespace

KxBoard::KxBoard(const KxPort& port, uint32_t timeoutMs) {
#ifdef _WIN32
    driver_.SetPortNumber(port.number);
#else
    driver_.SetDevicePath(ToUtf8(port.name));
#endif
    driver_.SetTimeout(timeoutMs);
}

KxStep KxBoard::Run(const wchar_t* name, int (TDriver::*operation)()) {
    try {
        (driver_.*operation)();
    } catch (const EBaseError& failure) {
        // Opening the port or setting its time-outs around a pulse raises to the caller.
        driver_.HandleError(failure);
    }
    KxStep step;
    step.name = name;
    step.code = driver_.ResultCode;
    step.description = driver_.ResultDescriptionW;
    step.systemCode = driver_.ResultSystemCode;
    step.sent = Widen(driver_.Output);
    step.received = Widen(driver_.Input);
    return step;
}

KxStep KxBoard::GetStatus() {
    return Run(L"GetStatus", &TDriver::GetStatus);
}

KxStep KxBoard::SetStatus(int pattern) {
    driver_.ReleStatus = static_cast<uint8_t>(pattern);
    return Run(L"SetStatus", &TDriver::SetStatus);
}

KxStep KxBoard::ToggleStatus(int pattern, long milliseconds) {
    driver_.ReleStatus = static_cast<uint8_t>(pattern);
    driver_.ToggleTime = static_cast<uint16_t>(milliseconds);
    return Run(L"ToggleStatus", &TDriver::ToggleStatus);
}

KxStep KxBoard::GetDeviceMetrics() {
    return Run(L"GetDeviceMetrics", &TDriver::GetDeviceMetrics);
}

int KxBoard::Relays() const {
    return driver_.ReleStatus;
}

KxMetrics KxBoard::Metrics() const {
    KxMetrics metrics;
    metrics.type = driver_.DeviceType;
    metrics.subType = driver_.DeviceSubType;
    metrics.protocol = driver_.ProtocolVersion;
    metrics.firmware = driver_.SoftVersion;
    metrics.number = driver_.DeviceNumber;
    return metrics;
}
