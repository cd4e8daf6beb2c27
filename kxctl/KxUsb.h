// A USB serial adapter's identity as the system names the device: its vendor and product ids and,
// where the device has one, its serial number. What the system does not say stays empty; nothing
// is guessed.
#pragma once

#include <optional>
#include <string>

struct KxUsbIdentity {
    std::wstring vid;    // four lower-case hexadecimal digits, "0403"
    std::wstring pid;    // likewise, "6001"
    std::wstring serial; // the device's own serial number; empty when it has none
};

// The identity in a Windows device instance id, or nothing when the id names no USB device:
//   USB\VID_0403&PID_6001\A50285BI            a device with the serial number A50285BI
//   USB\VID_1A86&PID_7523\5&2A3F1B1&0&2       no serial number: the system made the instance up
//   USB\VID_2341&PID_0043&MI_00\6&3A1B&0&0000 an interface of a composite device: no serial
//   FTDIBUS\VID_0403+PID_6001+A50285BIA\0000  FTDI's driver, which appends the port's letter
//                                             (A, B, ...) to the serial number A50285BI
std::optional<KxUsbIdentity> UsbIdentityOf(const std::wstring& instanceId);
