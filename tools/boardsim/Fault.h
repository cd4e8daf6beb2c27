// The faults the board can be told to put on the wire instead of a good answer: none, silent, cut N
// (the frame cut after N bytes), stx N (another first byte), crc (a wrong checksum), shortdata (a
// byte of data missing), code N (another command code), shortpayload (the code alone) and garbage N
// (N random bytes, none a frame start).
#pragma once

#include <optional>
#include <random>
#include <string>

#include "Frame.h"

namespace boardsim {

struct Fault {
    std::string kind = "none";
    int arg = 0;
};

// The fault that kind names, given how many numbers follow it and the first of them; nothing when
// kind names no fault or takes another count of numbers.
std::optional<Fault> faultNamed(const std::string& kind, size_t numbers, int arg);

// What goes on the wire for an answer payload under fault; rng makes the garbage.
Bytes wireUnder(const Fault& fault, const Bytes& payload, std::mt19937& rng);

} // namespace boardsim
