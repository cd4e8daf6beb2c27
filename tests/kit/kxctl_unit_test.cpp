// The USB identity that kxctl's port list shows, from device instance ids as real adapters'
// drivers name them.
#include <gtest/gtest.h>

#include "KxUsb.h"

namespace {

struct IdCase {
    const wchar_t* instanceId;
    bool usb;
    const wchar_t *vid, *pid, *serial;
};

const IdCase kInstanceIds[] = {
    // FTDI's own driver: the serial number with the port's letter appended.
    {L"FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000", true, L"0403", L"6001", L"A50285BI"},
    {L"FTDIBUS\\VID_0403+PID_6010+FT4ZQ9XBB\\0000", true, L"0403", L"6010", L"FT4ZQ9XB"},
    // Windows' own driver for an FTDI chip: the instance is the serial number.
    {L"USB\\VID_0403&PID_6001\\A50285BI", true, L"0403", L"6001", L"A50285BI"},
    // CH340: no serial number, so the system numbers the instance.
    {L"USB\\VID_1A86&PID_7523\\5&2A3F1B1&0&2", true, L"1a86", L"7523", L""},
    {L"USB\\VID_10C4&PID_EA60\\0001", true, L"10c4", L"ea60", L"0001"},       // CP210x
    {L"USB\\VID_067B&PID_2303\\6&1F3E4C6B&0&3", true, L"067b", L"2303", L""}, // Prolific
    // One interface of a composite device: its instance is always the system's.
    {L"USB\\VID_2341&PID_0043&MI_00\\6&3A1B2C4D&0&0000", true, L"2341", L"0043", L""},
    {L"ACPI\\PNP0501\\1", false, L"", L"", L""},          // a port on the motherboard
    {L"ROOT\\PORTS\\0000", false, L"", L"", L""},         // a virtual port
    {L"USB\\VID_12&PID_3456\\X", false, L"", L"", L""},   // not four digits
    {L"USB\\VID_0403&PID_600G\\X", false, L"", L"", L""}, // not hexadecimal
    {L"", false, L"", L"", L""},
};

TEST(KxUsb, TheIdentityIsReadFromTheInstanceIdAndNothingIsGuessed) {
    for (const IdCase& c : kInstanceIds) {
        SCOPED_TRACE(testing::Message()
                     << std::string(c.instanceId, c.instanceId + wcslen(c.instanceId)));
        const std::optional<KxUsbIdentity> usb = UsbIdentityOf(c.instanceId);
        ASSERT_EQ(usb.has_value(), c.usb);
        if (!usb)
            continue;
        EXPECT_EQ(usb->vid, c.vid);
        EXPECT_EQ(usb->pid, c.pid);
        EXPECT_EQ(usb->serial, c.serial);
    }
}

} // namespace
