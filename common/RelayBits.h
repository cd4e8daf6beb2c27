// The board's relay pattern: one bit a relay, relay 1 in the lowest bit.
#pragma once

#include <cstdint>

// The bit of relay (1 to 8) in the pattern.
constexpr uint8_t RelayBit(int relay) {
    return static_cast<uint8_t>(1u << (relay - 1));
}

// The pattern with the relays of mask switched on, the others as they were.
constexpr uint8_t RelaysOn(uint8_t pattern, uint8_t mask) {
    return static_cast<uint8_t>(pattern | mask);
}

// The pattern with the relays of mask switched off, the others as they were.
constexpr uint8_t RelaysOff(uint8_t pattern, uint8_t mask) {
    return static_cast<uint8_t>(pattern & ~mask);
}
