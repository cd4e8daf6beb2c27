// What the board recorded for the tests to read back: every frame received (and every stray byte or
// given-up frame), every answer sent, every line event the shim reported; and their listing as
// control-channel lines.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "Frame.h"

namespace boardsim {

// Bytes that came in, with the RTS and DTR state ('0' or '1') while each one came.
struct Received {
    long long startNs = 0, endNs = 0;
    Bytes bytes;
    std::string rts, dtr;
};

struct Sent {
    long long startNs = 0, endNs = 0;
    Bytes bytes;
};

// A modem-line call ("line"), flush ("purge") or open ("open") as the line shim reported it.
struct LineEvent {
    std::string kind;
    long long ns;
    int rts, dtr;
};

struct Records {
    std::vector<Received> frames;
    std::vector<Received> junk;
    std::vector<Sent> answers;
    std::vector<LineEvent> events;

    void clear();
    void listFrames(std::ostream& out) const;
    void listJunk(std::ostream& out) const;
    void listAnswers(std::ostream& out) const;
    void listEvents(std::ostream& out) const;
};

} // namespace boardsim
