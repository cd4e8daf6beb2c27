#include "KxReport.h"

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

std::wstring Widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
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

std::wstring MetricsLine(const KxMetrics& m) {
    return L"type " + std::to_wstring(m.type) + L", subtype " + std::to_wstring(m.subType) +
           L", protocol " + std::to_wstring(m.protocol) + L", firmware " +
           std::to_wstring(m.firmware) + L", number " + std::to_wstring(m.number) + L"\n";
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

std::wstring JsonMetrics(const KxMetrics& m) {
    return L",\"metrics\":{\"type\":" + std::to_wstring(m.type) + L",\"subtype\":" +
           std::to_wstring(m.subType) + L",\"protocol\":" + std::to_wstring(m.protocol) +
           L",\"firmware\":" + std::to_wstring(m.firmware) + L",\"number\":" +
           std::to_wstring(m.number) + L"}";
}

} // namespace

std::wstring TextReport(const KxRequest& request, const KxOutcome& outcome) {
    std::wstring text;
    if (request.verbose)
        for (const auto& step : outcome.steps)
            text += StepLines(step);
    if (outcome.hasRelays)
        text += RelaysLine(outcome.relays);
    if (outcome.hasMetrics)
        text += MetricsLine(outcome.metrics);
    return text;
}

std::wstring TextFailure(const KxRequest& request, const KxOutcome& outcome) {
    if (outcome.exitCode == KX_EXIT_OK || outcome.steps.empty())
        return L"";
    const KxStep& step = outcome.steps.back();
    return L"kxctl: " + step.name + L" on COM" + std::to_wstring(request.port) + L" failed: (" +
           std::to_wstring(step.code) + L") " + step.description + L"\n";
}

std::wstring JsonReport(const KxRequest& request, const KxOutcome& outcome) {
    std::wstring json = L"{\"command\":" + JsonString(request.name) + L",\"port\":" +
                        std::to_wstring(request.port) + L",\"ok\":" +
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

std::wstring JsonError(int exitCode, const std::string& message) {
    return L"{\"ok\":false,\"exit\":" + std::to_wstring(exitCode) + L",\"error\":" +
           JsonString(Widen(message)) + L"}\n";
}
