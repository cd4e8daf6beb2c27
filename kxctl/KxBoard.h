// kxctl's link to one relay board: the driver's own protocol engine on one port, so kxctl gives
// the same codes, texts and frames as the control, and needs nothing registered.
#pragma once

#include <cstdint>
#include <string>

#include "KxPorts.h"
#include "untDriver.h"

// One driver operation and what the engine recorded for it.
struct KxStep {
    std::wstring name;            // the operation: "GetStatus", "SetStatus", ...
    long code = 0;                // ResultCode after the operation
    std::wstring description;     // ResultDescription
    unsigned long systemCode = 0; // the system's error number behind a failure, 0 when none
    std::wstring sent;            // Output: hex dump of the frame sent
    std::wstring received;        // Input: hex dump of what came back
};

// The board's identification as the last GetDeviceMetrics decoded it.
struct KxMetrics {
    long type = 0, subType = 0, protocol = 0, firmware = 0, number = 0;
};

class KxBoard {
public:
    // The board on port, read with the driver's read time-out timeoutMs; nothing is opened yet.
    KxBoard(const KxPort& port, uint32_t timeoutMs);

    KxStep GetStatus();
    KxStep SetStatus(int pattern);
    KxStep ToggleStatus(int pattern, long milliseconds);
    KxStep GetDeviceMetrics();

    int Relays() const;        // ReleStatus: the pattern the board last reported
    KxMetrics Metrics() const; // the identification fields

private:
    TDriver driver_;
    // Runs one operation; a failure it raises is recorded as the control records it.
    KxStep Run(const wchar_t* name, int (TDriver::*operation)());
};
