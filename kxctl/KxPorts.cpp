#include "KxPorts.h"

#include <algorithm>
#include <cwctype>

KxPort PortNumbered(const std::vector<KxPort>& listed, long n) {
    for (const KxPort& port : listed)
        if (port.number == n)
            return port;
    KxPort bare;
    bare.number = n;
    bare.name = L"COM" + std::to_wstring(n);
    return bare;
}

long PortNumberOf(const std::wstring& name) {
    if (name.size() < 4 || name.size() > 13 || std::towupper(name[0]) != L'C' ||
        std::towupper(name[1]) != L'O' || std::towupper(name[2]) != L'M' || name[3] == L'0')
        return 0;
    long long n = 0;
    for (size_t i = 3; i < name.size(); ++i) {
        if (name[i] < L'0' || name[i] > L'9')
            return 0;
        n = n * 10 + (name[i] - L'0');
    }
    return n <= 2147483647LL ? static_cast<long>(n) : 0;
}

void AddPort(std::vector<KxPort>& ports, KxPort port) {
    if (port.number <= 0)
        return;
    for (const KxPort& known : ports)
        if (known.number == port.number)
            return;
    port.name = L"COM" + std::to_wstring(port.number);
    ports.push_back(std::move(port));
}

void SortPorts(std::vector<KxPort>& ports) {
    std::sort(ports.begin(), ports.end(),
              [](const KxPort& a, const KxPort& b) { return a.number < b.number; });
}
