// What the test process holds: handles, GDI and USER objects, private bytes. Wine answers
// GetProcessHandleCount and GetGuiResources with 0, and PROCESS_MEMORY_COUNTERS_EX's PrivateUsage
// with 0; the handle count is taken from the system's handle list instead, and private bytes from
// PagefileUsage, which is the same figure on Windows. GDI and USER counts stay 0 under Wine.
#pragma once

#include <windows.h>

#include <psapi.h>

#include <vector>

namespace usage {

struct Usage {
    DWORD handles = 0, gdi = 0, user = 0;
    size_t privateBytes = 0;
};

// The handles of this process in the system's handle list (NtQuerySystemInformation, class 16).
inline DWORD HandleCount() {
    struct Entry {
        ULONG ownerPid;
        BYTE objectType, flags;
        USHORT value;
        void* object;
        ULONG access;
    };
    struct Info {
        ULONG count;
        Entry entries[1];
    };
    auto query =
        reinterpret_cast<LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*)>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    constexpr LONG INFO_LENGTH_MISMATCH = static_cast<LONG>(0xC0000004);
    std::vector<char> buffer(1 << 16);
    LONG status;
    ULONG needed = 0;
    while ((status = query(16, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) ==
           INFO_LENGTH_MISMATCH)
        buffer.resize(buffer.size() * 2);
    if (status != 0)
        return 0;
    const auto* info = reinterpret_cast<const Info*>(buffer.data());
    DWORD count = 0;
    for (ULONG i = 0; i < info->count; ++i)
        count += info->entries[i].ownerPid == GetCurrentProcessId();
    return count;
}

inline Usage Now() {
    Usage u;
    u.handles = HandleCount();
    u.gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    u.user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    u.privateBytes = memory.PagefileUsage;
    return u;
}

} // namespace usage
