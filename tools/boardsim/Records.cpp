// The records as control-channel lines: times in nanoseconds, bytes in hex ("-" for none).
#include "Records.h"

namespace boardsim {

namespace {

std::string hex(const Bytes& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out.empty() ? "-" : out;
}

} // namespace

void Records::clear() {
    frames.clear();
    junk.clear();
    answers.clear();
    events.clear();
}

void Records::listFrames(std::ostream& out) const {
    for (const auto& f : frames)
        out << "frame " << f.startNs << " " << f.endNs << " " << hex(f.bytes) << " rts=" << f.rts
            << " dtr=" << f.dtr << "\n";
}

void Records::listJunk(std::ostream& out) const {
    for (const auto& f : junk)
        out << "junk " << f.startNs << " " << f.endNs << " " << hex(f.bytes) << "\n";
}

void Records::listAnswers(std::ostream& out) const {
    for (const auto& a : answers)
        out << "answer " << a.startNs << " " << a.endNs << " " << hex(a.bytes) << "\n";
}

void Records::listEvents(std::ostream& out) const {
    for (const auto& e : events)
        out << e.kind << " " << e.ns << " " << e.rts << " " << e.dtr << "\n";
}

} // namespace boardsim
