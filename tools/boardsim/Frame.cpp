// Building and checking the board's frames.
#include "Frame.h"

namespace boardsim {

namespace {

constexpr size_t kHeaderSize = 4; // STX, address, 0x55, length

size_t lengthOf(const Bytes& frame) {
    return static_cast<unsigned char>(frame[3]);
}

unsigned char xorOf(const Bytes& bytes, size_t from, size_t to) {
    unsigned char x = 0;
    for (size_t i = from; i < to; ++i)
        x ^= static_cast<unsigned char>(bytes[i]);
    return x;
}

} // namespace

Bytes frameOf(const Bytes& payload) {
    Bytes body{0, 0x55, char(payload.size() & 255)};
    body += payload;
    Bytes frame{kStx};
    frame += body;
    frame.push_back(static_cast<char>(xorOf(body, 0, body.size())));
    return frame;
}

bool frameIsWhole(const Bytes& bytes) {
    return bytes.size() >= kHeaderSize && bytes.size() == kHeaderSize + lengthOf(bytes) + 1;
}

Bytes payloadOf(const Bytes& frame) {
    size_t len = lengthOf(frame);
    if (static_cast<unsigned char>(frame.back()) != xorOf(frame, 1, kHeaderSize + len))
        return {};
    return frame.substr(kHeaderSize, len);
}

} // namespace boardsim
