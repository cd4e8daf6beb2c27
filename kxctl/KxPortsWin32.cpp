// The port list from the system: SetupAPI's Ports device class, then the serial device map in
// HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM, which also names ports that no installed
// device of the class stands behind (virtual ports, some drivers' own).
#include "KxPorts.h"

#include <windows.h>

#include <setupapi.h>

#include "WinHolders.h"

namespace {

// {4D36E978-E325-11CE-BFC1-08002BE10318}: the Ports (COM and LPT) device setup class.
const GUID kPortsClass = {
    0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

void DestroyDeviceInfoList(HDEVINFO set) {
    SetupDiDestroyDeviceInfoList(set);
}
using TDeviceInfoSet = THandle<HDEVINFO, DestroyDeviceInfoList>;

// A REG_SZ value of key, or empty.
std::wstring StringValue(HKEY key, const wchar_t* name) {
    wchar_t text[256];
    DWORD type = 0, size = sizeof text - sizeof(wchar_t);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return L"";
    text[size / sizeof(wchar_t)] = L'\0';
    return text;
}

std::wstring FriendlyName(HDEVINFO set, SP_DEVINFO_DATA& device) {
    wchar_t text[256] = {};
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_FRIENDLYNAME, &type,
                                           reinterpret_cast<BYTE*>(text), sizeof text - 2,
                                           nullptr) ||
        type != REG_SZ)
        return L"";
    return text;
}

std::wstring InstanceId(HDEVINFO set, SP_DEVINFO_DATA& device) {
    wchar_t text[512] = {};
    if (!SetupDiGetDeviceInstanceIdW(set, &device, text, 511, nullptr))
        return L"";
    return text;
}

// The ports of the Ports device class that are present: those with a COM port name.
void AddClassPorts(std::vector<KxPort>& ports) {
    HDEVINFO found = SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (found == INVALID_HANDLE_VALUE)
        return;
    TDeviceInfoSet set(found);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set.Get(), i, &device); ++i) {
        HKEY opened = SetupDiOpenDevRegKey(set.Get(), &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV,
                                           KEY_QUERY_VALUE);
        TRegKey key(opened == INVALID_HANDLE_VALUE ? nullptr : opened);
        KxPort port;
        port.number = key ? PortNumberOf(StringValue(key.Get(), L"PortName")) : 0;
        if (port.number == 0)
            continue; // a printer port, or a device without its port yet
        port.friendly = FriendlyName(set.Get(), device);
        port.usb = UsbIdentityOf(InstanceId(set.Get(), device));
        AddPort(ports, std::move(port));
    }
}

// The ports of the serial device map: each value's data is a port name.
void AddMappedPorts(std::vector<KxPort>& ports) {
    TRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE,
                      key.Put()) != ERROR_SUCCESS)
        return;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        wchar_t data[64];
        DWORD nameLength = 256, type = 0, size = sizeof data - sizeof(wchar_t);
        LONG status = RegEnumValueW(key.Get(), i, name, &nameLength, nullptr, &type,
                                    reinterpret_cast<BYTE*>(data), &size);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS || type != REG_SZ)
            continue;
        data[size / sizeof(wchar_t)] = L'\0';
        KxPort port;
        port.number = PortNumberOf(data);
        AddPort(ports, std::move(port));
    }
}

} // namespace

std::vector<KxPort> ListPorts() {
    std::vector<KxPort> ports;
    AddClassPorts(ports);
    AddMappedPorts(ports);
    SortPorts(ports);
    return ports;
}
