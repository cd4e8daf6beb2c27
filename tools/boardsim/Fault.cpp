// Each fault kind, the count of numbers it takes, and the wire it makes of an answer.
#include "Fault.h"

#include <algorithm>
#include <map>

namespace boardsim {

namespace {

using Wire = Bytes (*)(const Bytes& payload, int arg, std::mt19937& rng);

struct FaultKind {
    size_t numbers;
    Wire wire;
};

Bytes goodFrame(const Bytes& payload, int, std::mt19937&) {
    return frameOf(payload);
}

Bytes nothing(const Bytes&, int, std::mt19937&) {
    return {};
}

Bytes cutFrame(const Bytes& payload, int arg, std::mt19937&) {
    Bytes wire = frameOf(payload);
    wire.resize(std::min<size_t>(wire.size(), static_cast<size_t>(arg)));
    return wire;
}

Bytes otherStx(const Bytes& payload, int arg, std::mt19937&) {
    Bytes wire = frameOf(payload);
    wire[0] = static_cast<char>(arg);
    return wire;
}

Bytes wrongChecksum(const Bytes& payload, int, std::mt19937&) {
    Bytes wire = frameOf(payload);
    wire.back() = static_cast<char>(wire.back() ^ 1);
    return wire;
}

// One byte of data fewer than the command's answer needs (six for 'z', one for the others).
Bytes shortData(const Bytes& payload, int, std::mt19937&) {
    size_t need = payload[0] == 'z' ? 6 : 1;
    return frameOf(payload.substr(0, 2 + need - 1));
}

Bytes otherCode(const Bytes& payload, int arg, std::mt19937&) {
    Bytes p = payload;
    p[0] = static_cast<char>(arg);
    return frameOf(p);
}

Bytes codeAlone(const Bytes& payload, int, std::mt19937&) {
    return frameOf(payload.substr(0, 1));
}

Bytes garbage(const Bytes&, int arg, std::mt19937& rng) {
    Bytes g;
    for (int i = 0; i < arg; ++i)
        g.push_back(static_cast<char>(rng() & 255));
    if (!g.empty() && g[0] == kStx)
        g[0] = 0x7F; // never a frame start by chance
    return g;
}

const std::map<std::string, FaultKind>& faultKinds() {
    static const std::map<std::string, FaultKind> kinds = {
        {"none", {0, goodFrame}}, {"silent", {0, nothing}},         {"cut", {1, cutFrame}},
        {"stx", {1, otherStx}},   {"crc", {0, wrongChecksum}},      {"shortdata", {0, shortData}},
        {"code", {1, otherCode}}, {"shortpayload", {0, codeAlone}}, {"garbage", {1, garbage}}};
    return kinds;
}

} // namespace

std::optional<Fault> faultNamed(const std::string& kind, size_t numbers, int arg) {
    auto k = faultKinds().find(kind);
    if (k == faultKinds().end() || numbers != k->second.numbers)
        return std::nullopt;
    return Fault{kind, arg};
}

Bytes wireUnder(const Fault& fault, const Bytes& payload, std::mt19937& rng) {
    return faultKinds().at(fault.kind).wire(payload, fault.arg, rng);
}

} // namespace boardsim
