#include "KxPorts.h"

#include <algorithm>

namespace {

// a before b, a run of digits compared as the number it reads.
bool NaturallyBefore(const std::wstring& a, const std::wstring& b) {
    size_t i = 0, j = 0;
    auto digit = [](wchar_t c) { return c >= L'0' && c <= L'9'; };
    while (i < a.size() && j < b.size()) {
        if (digit(a[i]) && digit(b[j])) {
            size_t ie = i, je = j;
            while (ie < a.size() && digit(a[ie]))
                ++ie;
            while (je < b.size() && digit(b[je]))
                ++je;
            const std::wstring x = a.substr(i, ie - i), y = b.substr(j, je - j);
            if (x.size() != y.size() || x != y)
                return x.size() != y.size() ? x.size() < y.size() : x < y;
            i = ie, j = je;
        } else {
            if (a[i] != b[j])
                return a[i] < b[j];
            ++i, ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

} // namespace

KxPort AsListed(const std::vector<KxPort>& listed, const KxPort& port) {
    for (const KxPort& known : listed)
        if (known.name == port.name)
            return known;
    return port;
}

void AddPort(std::vector<KxPort>& ports, KxPort port) {
    for (const KxPort& known : ports)
        if (known.name == port.name)
            return;
    ports.push_back(std::move(port));
}

void SortPorts(std::vector<KxPort>& ports) {
    std::stable_sort(ports.begin(), ports.end(), [](const KxPort& a, const KxPort& b) {
        return a.number != b.number ? a.number < b.number : NaturallyBefore(a.name, b.name);
    });
}
