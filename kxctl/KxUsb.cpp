#include "KxUsb.h"

#include <cwctype>
#include <vector>

namespace {

std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator) {
    std::vector<std::wstring> parts(1);
    for (wchar_t c : text) {
        if (c == separator)
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix) {
    for (size_t i = 0; prefix[i]; ++i)
        if (i >= text.size() || static_cast<wchar_t>(std::towupper(text[i])) != prefix[i])
            return false;
    return true;
}

// The four hexadecimal digits after "VID_" or "PID_" in part, in lower case; empty when part is
// not of that form.
std::wstring IdAfter(const std::wstring& part, const wchar_t* prefix) {
    if (part.size() != 8 || !StartsWithNoCase(part, prefix))
        return L"";
    std::wstring id;
    for (wchar_t c : part.substr(4)) {
        if (!std::iswxdigit(c) || c > 0x7F)
            return L"";
        id += static_cast<wchar_t>(std::towlower(c));
    }
    return id;
}

// The vendor and product ids from the parts of a device id, or nothing.
std::optional<KxUsbIdentity> IdsOf(const std::vector<std::wstring>& parts) {
    if (parts.size() < 2)
        return std::nullopt;
    KxUsbIdentity usb{IdAfter(parts[0], L"VID_"), IdAfter(parts[1], L"PID_"), L""};
    if (usb.vid.empty() || usb.pid.empty())
        return std::nullopt;
    return usb;
}

} // namespace

std::optional<KxUsbIdentity> UsbIdentityOf(const std::wstring& instanceId) {
    const std::vector<std::wstring> levels = Split(instanceId, L'\\');
    if (levels.size() != 3)
        return std::nullopt;
    const std::wstring& enumerator = levels[0];
    if (StartsWithNoCase(enumerator, L"FTDIBUS") && enumerator.size() == 7) {
        const std::vector<std::wstring> parts = Split(levels[1], L'+');
        std::optional<KxUsbIdentity> usb = IdsOf(parts);
        // The driver's own id carries the serial number with the port's letter appended.
        if (usb && parts.size() == 3 && parts[2].size() > 1)
            usb->serial = parts[2].substr(0, parts[2].size() - 1);
        return usb;
    }
    if (!StartsWithNoCase(enumerator, L"USB") || enumerator.size() != 3)
        return std::nullopt;
    const std::vector<std::wstring> parts = Split(levels[1], L'&');
    std::optional<KxUsbIdentity> usb = IdsOf(parts);
    // An instance the system numbered itself holds '&'; one of a composite device's interfaces
    // (MI_nn) is always numbered so. Otherwise the instance is the device's serial number.
    const std::wstring& instance = levels[2];
    if (usb && parts.size() == 2 && !instance.empty() && instance.find(L'&') == std::wstring::npos)
        usb->serial = instance;
    return usb;
}
