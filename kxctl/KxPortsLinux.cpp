// The port list from sysfs: every /sys/class/tty entry that has a device behind it, but for the
// serial8250 driver's placeholders (a "platform" device: a port that may be configured, not one
// that is there); for a USB adapter its vendor, product and serial number from the USB device's
// attributes, and the stable name under /dev/serial/by-id that udev made for it. Ports are named
// by their device path.
#include "KxPorts.h"

#include <dirent.h>
#include <cerrno>
#include <unistd.h>

#include <fstream>

#include "KxArguments.h"
#include "KxUtf8.h"
#include "PosixText.h"
#include "untComm.h"
#include "untConst.h"

const wchar_t kPortNoun[] = L"device path";
const wchar_t kPortValue[] = L"DEVICE";
const wchar_t kPortListHelp[] =
    L"  --ports LIST  the devices find and --board ask, separated by commas (default: every\n"
    L"                port of 'ports')\n";
const wchar_t kPortExample[] = L"/dev/ttyUSB0";

std::wstring PortFailureNote(long code, unsigned long systemCode) {
    if (code != RESULT_PORT_UNAVAILABLE || systemCode == 0)
        return L"";
    std::wstring note = L" (" + SystemErrorText(static_cast<int>(systemCode)) + L")";
    if (systemCode == EACCES)
        note += L"; is this user in the dialout group? (sudo adduser $USER dialout, then log in "
                L"again)";
    return note;
}

namespace {

std::string BaseName(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

std::string Parent(const std::string& path) {
    return path.substr(0, path.rfind('/'));
}

// The names in a folder, without . and ..; none when it cannot be read.
std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.')
                names.push_back(entry->d_name);
        closedir(dir);
    }
    return names;
}

// Where a symbolic link points, as written; empty when path is no link.
std::string LinkTarget(const std::string& path) {
    char target[4096];
    const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
    return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
}

// The path with each link resolved, as far as the tree under root goes: sysfs's links are
// relative, so this works in a copy of it too.
std::string Resolved(const std::string& path) {
    std::string result = path;
    const std::string target = LinkTarget(path);
    if (target.empty())
        return result;
    std::string joined = target[0] == '/' ? target : Parent(path) + "/" + target;
    // Fold "x/.." away.
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= joined.size()) {
        size_t end = joined.find('/', start);
        if (end == std::string::npos)
            end = joined.size();
        const std::string part = joined.substr(start, end - start);
        if (part == ".." && !parts.empty())
            parts.pop_back();
        else if (!part.empty() && part != ".")
            parts.push_back(part);
        start = end + 1;
    }
    result.clear();
    for (const std::string& part : parts)
        result += "/" + part;
    return result;
}

// The first line of an attribute file; empty when there is none.
std::string Attribute(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// Four lower-case hexadecimal digits, or empty.
std::wstring HexId(const std::string& text) {
    if (text.size() != 4 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return L"";
    std::wstring id;
    for (char c : text)
        id += static_cast<wchar_t>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c);
    return id;
}

// The USB device a tty's device belongs to, by its subsystem: a USB serial converter's port sits
// below the interface, a modem (ttyACM) is the interface itself.
void ReadUsb(KxPort& port, const std::string& device, const std::string& subsystem) {
    std::string interface;
    if (subsystem == "usb-serial")
        interface = Parent(device);
    else if (subsystem == "usb")
        interface = device;
    else
        return;
    const std::string usbDevice = Parent(interface);
    KxUsbIdentity usb{HexId(Attribute(usbDevice + "/idVendor")),
                      HexId(Attribute(usbDevice + "/idProduct")),
                      FromUtf8(Attribute(usbDevice + "/serial"))};
    if (usb.vid.empty() || usb.pid.empty())
        return;
    port.usb = usb;
    port.friendly = FromUtf8(Attribute(usbDevice + "/product"));
}

// The /dev/serial/by-id names, by the device each names.
void ReadStableNames(std::vector<KxPort>& ports, const std::string& root) {
    const std::string folder = root + "/dev/serial/by-id";
    for (const std::string& name : Entries(folder)) {
        const std::wstring device = L"/dev/" + FromUtf8(BaseName(LinkTarget(folder + "/" + name)));
        for (KxPort& port : ports)
            if (port.name == device && port.byId.empty())
                port.byId = FromUtf8("/dev/serial/by-id/" + name);
    }
}

} // namespace

std::vector<KxPort> ListPortsUnder(const std::string& root) {
    std::vector<KxPort> ports;
    const std::string ttys = root + "/sys/class/tty";
    for (const std::string& name : Entries(ttys)) {
        const std::string entry = Resolved(ttys + "/" + name);
        const std::string device = Resolved(entry + "/device");
        if (device == entry + "/device")
            continue; // a virtual terminal, a pseudo-terminal: no device behind it
        const std::string subsystem = BaseName(Resolved(device + "/subsystem"));
        if (subsystem == "platform")
            continue;
        KxPort port;
        port.name = L"/dev/" + FromUtf8(name);
        ReadUsb(port, device, subsystem);
        AddPort(ports, std::move(port));
    }
    ReadStableNames(ports, root);
    SortPorts(ports);
    return ports;
}

std::vector<KxPort> ListPorts() {
    return ListPortsUnder("");
}

std::wstring PortHelp() {
    return L"  --port DEVICE the board's serial device, e.g. /dev/ttyUSB0 or a name under\n"
           L"                /dev/serial/by-id (default " +
           DefaultPort().name + L")\n";
}

KxPort DefaultPort() {
    KxPort port;
    port.name = FromUtf8(TComm::DefaultDevicePath);
    return port;
}

KxPort PortNamed(const std::wstring& argument) {
    if (argument.find(L'/') == std::wstring::npos) {
        const bool number =
            !argument.empty() && argument.find_first_not_of(L"0123456789") == std::wstring::npos;
        throw KxUsageError(L"the port is a device path such as /dev/ttyUSB0 or a name under "
                           L"/dev/serial/by-id, not '" +
                           argument + L"'" +
                           (number ? L"; 'kxctl ports' lists this system's ports" : L""));
    }
    KxPort port;
    port.name = argument;
    return port;
}

std::vector<KxPort> PortsNamed(const std::wstring& list) {
    std::vector<KxPort> ports;
    ForEachItem(list, L',', [&](const std::wstring& item) {
        AddPort(ports, PortNamed(item));
        if (ports.size() > kMaxListedPorts)
            throw KxUsageError(L"the port list may name at most " +
                               std::to_wstring(kMaxListedPorts) + L" ports");
    });
    return ports;
}
