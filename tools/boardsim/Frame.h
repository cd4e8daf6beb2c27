// The board's frame: STX, address 0, 0x55, the payload's length, the payload, and the XOR of every
// byte between STX and that checksum.
#pragma once

#include <string>

namespace boardsim {

using Bytes = std::string;

constexpr char kStx = 2;

// The whole frame around a payload.
Bytes frameOf(const Bytes& payload);

// Whether bytes from STX on are as many as the length byte announces.
bool frameIsWhole(const Bytes& bytes);

// The payload of a whole frame; empty when the checksum is wrong or the frame carries none, as such
// a frame gets no answer.
Bytes payloadOf(const Bytes& frame);

} // namespace boardsim
