// The board's receiver: bytes from the line gathered into frames, each recorded with the RTS and
// DTR state while its bytes came in; a byte outside a frame is recorded as junk.
#pragma once

#include "Frame.h"
#include "Records.h"

namespace boardsim {

class Receiver {
public:
    explicit Receiver(Records& records) : records_(records) {}

    // Takes a byte that came in at t; returns the request payload once a sound frame is whole, and
    // empty otherwise.
    Bytes take(char byte, long long t, bool rts, bool dtr);

    // A frame left incomplete for 200 ms is given up, as the board's receiver would.
    void dropStale(long long now);
    // When dropStale next has a frame to give up, or kNever.
    long long staleDeadline() const;

    bool idle() const { return partial_.bytes.empty(); }
    // Forgets a frame half received.
    void forget() { partial_ = Received{}; }

private:
    Records& records_;
    Received partial_;
    long long lastByteNs_ = 0;
};

} // namespace boardsim
