#include "KxReport.h"

#include <algorithm>
#include <cwchar>

#include "RelayBits.h"

namespace {

// The numbers of the relays that are on in the pattern, in order, between separators.
std::wstring RelaysSwitchedOn(int relays, const wchar_t* separator) {
    std::wstring on;
    for (int relay = 1; relay <= 8; ++relay)
        if (relays & RelayBit(relay))
            on += (on.empty() ? L"" : separator) + std::to_wstring(relay);
    return on;
}

// The dumps end with a blank; lines for people do not.
std::wstring TrimEnd(std::wstring text) {
    while (!text.empty() && text.back() == L' ')
        text.pop_back();
    return text;
}

std::wstring Hex2(int value) {
    wchar_t text[8];
    std::swprintf(text, 8, L"0x%02X", value & 0xFF);
    return text;
}

std::wstring RelaysLine(int relays) {
    std::wstring line = L"relays " + Hex2(relays);
    if (relays == 0)
        return line + L" (all off)\n";
    return line + L" (on: " + RelaysSwitchedOn(relays, L", ") + L")\n";
}

std::wstring MetricsText(const KxMetrics& m) {
    return L"type " + std::to_wstring(m.type) + L", subtype " + std::to_wstring(m.subType) +
           L", protocol " + std::to_wstring(m.protocol) + L", firmware " +
           std::to_wstring(m.firmware) + L", number " + std::to_wstring(m.number);
}

std::wstring StepLines(const KxStep& step) {
    return step.name + L": (" + std::to_wstring(step.code) + L") " + step.description +
           L"\n  sent     " + TrimEnd(step.sent) + L"\n  received " + TrimEnd(step.received) +
           L"\n";
}

std::wstring JsonString(const std::wstring& text) {
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        if (c == L'"' || c == L'\\') {
            out += L'\\';
            out += c;
        } else if (c < 0x20 || c > 0x7E) {
            wchar_t escape[8];
            std::swprintf(escape, 8, L"\\u%04x", static_cast<unsigned>(c));
            out += escape;
        } else {
            out += c;
        }
    }
    return out + L"\"";
}

std::wstring JsonStep(const KxStep& step) {
    return L"{\"step\":" + JsonString(step.name) + L",\"code\":" + std::to_wstring(step.code) +
           L",\"description\":" + JsonString(step.description) + L",\"sent\":" +
           JsonString(step.sent) + L",\"received\":" + JsonString(step.received) + L"}";
}

std::wstring JsonRelays(int relays) {
    return L",\"relays\":" + std::to_wstring(relays) + L",\"on\":[" +
           RelaysSwitchedOn(relays, L",") + L"]";
}

// A port in JSON: its COM number where it has one, else its name.
std::wstring JsonPortId(const KxPort& port) {
    return port.number > 0 ? std::to_wstring(port.number) : JsonString(port.name);
}

// ",\"board\":N" when the request named the board by its number.
std::wstring JsonBoard(const KxRequest& request) {
    return request.board >= 0 ? L",\"board\":" + std::to_wstring(request.board) : L"";
}

std::wstring JsonMetrics(const KxMetrics& m) {
    return L",\"metrics\":{\"type\":" + std::to_wstring(m.type) + L",\"subtype\":" +
           std::to_wstring(m.subType) + L",\"protocol\":" + std::to_wstring(m.protocol) +
           L",\"firmware\":" + std::to_wstring(m.firmware) + L",\"number\":" +
           std::to_wstring(m.number) + L"}";
}

// text followed by blanks to width characters.
std::wstring Padded(const std::wstring& text, size_t width) {
    return text + std::wstring(width > text.size() ? width - text.size() : 0, L' ');
}

// Columns separated by three blanks, each padded to its width but the last one written.
std::wstring Columns(const std::vector<std::wstring>& cells, const std::vector<size_t>& widths) {
    size_t last = 0;
    for (size_t i = 0; i < cells.size(); ++i)
        if (!cells[i].empty())
            last = i;
    std::wstring line;
    for (size_t i = 0; i <= last; ++i)
        line += (i ? L"   " : L"") + (i == last ? cells[i] : Padded(cells[i], widths[i]));
    return line + L"\n";
}

// A result text on one line: the system's texts hold a line break.
std::wstring OneLine(std::wstring text) {
    for (wchar_t& c : text)
        if (c == L'\n' || c == L'\r')
            c = L' ';
    return text;
}

std::wstring UsbText(const KxPort& port) {
    if (!port.usb)
        return L"";
    return L"USB " + port.usb->vid + L":" + port.usb->pid +
           (port.usb->serial.empty() ? L"" : L" serial " + port.usb->serial);
}

// The widest name and friendly name of the ports.
std::vector<size_t> PortWidths(const std::vector<KxPort>& ports) {
    std::vector<size_t> widths(2, 0);
    for (const KxPort& port : ports) {
        widths[0] = std::max(widths[0], port.name.size());
        widths[1] = std::max(widths[1], port.friendly.size());
    }
    return widths;
}

std::wstring ResultText(const KxStep& step) {
    return L"(" + std::to_wstring(step.code) + L") " + OneLine(step.description);
}

std::wstring JsonPortFields(const KxPort& port) {
    std::wstring json = L"\"port\":" + JsonPortId(port) + L",\"name\":" + JsonString(port.name);
    if (!port.byId.empty())
        json += L",\"by_id\":" + JsonString(port.byId);
    if (!port.friendly.empty())
        json += L",\"friendly\":" + JsonString(port.friendly);
    if (port.usb) {
        json += L",\"usb\":{\"vid\":" + JsonString(port.usb->vid) + L",\"pid\":" +
                JsonString(port.usb->pid);
        if (!port.usb->serial.empty())
            json += L",\"serial\":" + JsonString(port.usb->serial);
        json += L"}";
    }
    return json;
}

std::wstring JsonProbe(const KxProbe& probe, bool verbose) {
    std::wstring json = L"{" + JsonPortFields(probe.port) + L",\"state\":" +
                        JsonString(StateName(probe.state)) + L",\"code\":" +
                        std::to_wstring(probe.step.code) + L",\"description\":" +
                        JsonString(probe.step.description);
    if (probe.state == KxState::Board)
        json += JsonMetrics(probe.metrics);
    if (verbose)
        json += L",\"sent\":" + JsonString(probe.step.sent) + L",\"received\":" +
                JsonString(probe.step.received);
    return json + L"}";
}

// The head of a listing's object and its array of ports.
template <class T, class F>
std::wstring JsonListing(const wchar_t* command, int exitCode, const std::vector<T>& items,
                         F item) {
    std::wstring json = L"{\"command\":" + JsonString(command) + L",\"ok\":" +
                        (exitCode == KX_EXIT_OK ? L"true" : L"false") + L",\"exit\":" +
                        std::to_wstring(exitCode) + L",\"ports\":[";
    for (size_t i = 0; i < items.size(); ++i)
        json += (i ? L"," : L"") + item(items[i]);
    return json + L"]}\n";
}

// "COM3, COM5", or "none".
std::wstring PortNames(const std::vector<KxProbe>& probes) {
    std::wstring names;
    for (const KxProbe& probe : probes)
        names += (names.empty() ? L"" : L", ") + probe.port.name;
    return names.empty() ? L"none" : names;
}

std::wstring JsonPortNumbers(const std::vector<KxProbe>& probes) {
    std::wstring json = L"[";
    for (size_t i = 0; i < probes.size(); ++i)
        json += (i ? L"," : L"") + JsonPortId(probes[i].port);
    return json + L"]";
}

} // namespace

std::wstring PortsText(const std::vector<KxPort>& ports) {
    const std::vector<size_t> widths = PortWidths(ports);
    std::wstring text;
    for (const KxPort& port : ports)
        text += Columns({port.name, port.friendly, UsbText(port)}, widths);
    return text;
}

std::wstring PortsJson(const std::vector<KxPort>& ports) {
    return JsonListing(L"ports", KX_EXIT_OK, ports,
                       [](const KxPort& port) { return L"{" + JsonPortFields(port) + L"}"; });
}

std::wstring FindText(const std::vector<KxProbe>& probes, bool verbose) {
    std::vector<KxPort> ports;
    for (const KxProbe& probe : probes)
        ports.push_back(probe.port);
    const std::vector<size_t> widths = {PortWidths(ports)[0], 6};
    std::wstring text;
    for (const KxProbe& probe : probes) {
        const std::wstring what =
            probe.state == KxState::Board ? MetricsText(probe.metrics) : ResultText(probe.step);
        text += Columns({probe.port.name, StateName(probe.state), what}, widths);
        if (verbose)
            text += L"  sent     " + TrimEnd(probe.step.sent) + L"\n  received " +
                    TrimEnd(probe.step.received) + L"\n";
    }
    return text;
}

std::wstring FindJson(const std::vector<KxProbe>& probes, int exitCode, bool verbose) {
    return JsonListing(L"find", exitCode, probes,
                       [verbose](const KxProbe& probe) { return JsonProbe(probe, verbose); });
}

std::wstring NoBoardText(const KxRequest& request, const std::vector<KxProbe>& asked) {
    return L"no board numbered " + std::to_wstring(request.board) + L" answered (asked: " +
           PortNames(asked) + L")";
}

std::wstring BoardsText(const KxRequest& request, const std::vector<KxProbe>& boards) {
    return L"boards numbered " + std::to_wstring(request.board) + L" answered on " +
           PortNames(boards) + L"; nothing was switched";
}

std::wstring JsonBoardChoice(const KxRequest& request, int exitCode, const std::wstring& message,
                             const wchar_t* key, const std::vector<KxProbe>& probes) {
    return L"{\"command\":" + JsonString(request.name) + JsonBoard(request) +
           L",\"ok\":false,\"exit\":" + std::to_wstring(exitCode) + L",\"error\":" +
           JsonString(message) + L",\"" + key + L"\":" + JsonPortNumbers(probes) + L"}\n";
}

std::wstring TextReport(const KxRequest& request, const KxOutcome& outcome) {
    std::wstring text;
    if (request.verbose)
        for (const auto& step : outcome.steps)
            text += StepLines(step);
    if (outcome.hasRelays)
        text += RelaysLine(outcome.relays);
    if (outcome.hasMetrics)
        text += MetricsText(outcome.metrics) + L"\n";
    return text;
}

std::wstring TextFailure(const KxRequest& request, const KxOutcome& outcome) {
    if (outcome.exitCode == KX_EXIT_OK || outcome.steps.empty())
        return L"";
    const KxStep& step = outcome.steps.back();
    return L"kxctl: " + step.name + L" on " + request.port.name + L" failed: (" +
           std::to_wstring(step.code) + L") " + step.description +
           PortFailureNote(step.code, step.systemCode) + L"\n";
}

std::wstring JsonReport(const KxRequest& request, const KxOutcome& outcome) {
    std::wstring json = L"{\"command\":" + JsonString(request.name) + L",\"port\":" +
                        JsonPortId(request.port) + JsonBoard(request) + L",\"ok\":" +
                        (outcome.exitCode == KX_EXIT_OK ? L"true" : L"false") + L",\"exit\":" +
                        std::to_wstring(outcome.exitCode);
    if (!outcome.steps.empty()) {
        const KxStep& last = outcome.steps.back();
        if (outcome.exitCode != KX_EXIT_OK)
            json += L",\"step\":" + JsonString(last.name);
        json += L",\"code\":" + std::to_wstring(last.code) + L",\"description\":" +
                JsonString(last.description);
    }
    if (outcome.hasRelays)
        json += JsonRelays(outcome.relays);
    if (outcome.hasMetrics)
        json += JsonMetrics(outcome.metrics);
    if (request.verbose) {
        json += L",\"steps\":[";
        for (size_t i = 0; i < outcome.steps.size(); ++i)
            json += (i ? L"," : L"") + JsonStep(outcome.steps[i]);
        json += L"]";
    }
    return json + L"}\n";
}

std::wstring JsonError(int exitCode, const std::wstring& message) {
    return L"{\"ok\":false,\"exit\":" + std::to_wstring(exitCode) + L",\"error\":" +
           JsonString(message) + L"}\n";
}
