// The port list from the system: SetupAPI's Ports device class, then the serial device map in
// HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM, which also names ports that no installed
// device of the class stands behind (virtual ports, some drivers' own).
#include "KxPorts.h"

#include <windows.h>

#include <setupapi.h>

#include "KxArguments.h"
#include "WinHolders.h"
#include "untComm.h"

const wchar_t kPortNoun[] = L"COM port number";
const wchar_t kPortValue[] = L"N";
const wchar_t kPortListHelp[] =
    L"  --ports LIST  the ports find and --board ask, e.g. 3,5,9-12 (default: every port\n"
    L"                of 'ports')\n";
const wchar_t kPortExample[] = L"3";

// The result's text says all Windows says of a port that cannot be opened.
std::wstring PortFailureNote(long, unsigned long) {
    return L"";
}

namespace {

constexpr long kHighestPort = 2147483647L;

KxPort Com(long n) {
    KxPort port;
    port.number = n;
    port.name = L"COM" + std::to_wstring(n);
    return port;
}

// The n of a port name "COMn" (in any case), or 0 when name is none.
long PortNumberOf(const std::wstring& name) {
    if (name.size() < 4 || name.size() > 13 || towupper(name[0]) != L'C' ||
        towupper(name[1]) != L'O' || towupper(name[2]) != L'M' || name[3] == L'0')
        return 0;
    long long n = 0;
    for (size_t i = 3; i < name.size(); ++i) {
        if (name[i] < L'0' || name[i] > L'9')
            return 0;
        n = n * 10 + (name[i] - L'0');
    }
    return n <= kHighestPort ? static_cast<long>(n) : 0;
}

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
        const long number = key ? PortNumberOf(StringValue(key.Get(), L"PortName")) : 0;
        if (number == 0)
            continue; // a printer port, or a device without its port yet
        KxPort port = Com(number);
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
        if (const long number = PortNumberOf(data))
            AddPort(ports, Com(number));
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

std::wstring PortHelp() {
    const KxPort port = DefaultPort();
    return L"  --port N      the board's COM port number (default " + std::to_wstring(port.number) +
           L": " + port.name + L")\n";
}

KxPort DefaultPort() {
    return Com(TComm::DefaultPortNumber);
}

KxPort PortNamed(const std::wstring& argument) {
    return Com(ParseNumber(argument, 1, kHighestPort, false, L"the port"));
}

// "3,5,9-12": COM numbers and ranges of them.
std::vector<KxPort> PortsNamed(const std::wstring& list) {
    const std::wstring tooMany =
        L"the port list may name at most " + std::to_wstring(kMaxListedPorts) + L" ports";
    std::vector<KxPort> ports;
    ForEachItem(list, L',', [&](const std::wstring& item) {
        const size_t dash = item.find(L'-');
        const long first = ParseNumber(item.substr(0, dash), 1, kHighestPort, false, L"a port");
        const long last = dash == std::wstring::npos
                              ? first
                              : ParseNumber(item.substr(dash + 1), first, kHighestPort, false,
                                            L"the end of a port range");
        if (static_cast<unsigned long>(last - first) >= kMaxListedPorts)
            throw KxUsageError(tooMany);
        for (long n = first;; ++n) {
            AddPort(ports, Com(n));
            if (ports.size() > kMaxListedPorts)
                throw KxUsageError(tooMany);
            if (n == last)
                break;
        }
    });
    return ports;
}
