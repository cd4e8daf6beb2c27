// Frames gathered byte by byte, the line state kept beside each byte.
#include "Receiver.h"

#include "Clock.h"

namespace boardsim {

namespace {

constexpr long long kGiveUpNs = 200 * kMs;

std::string levelOf(bool on) {
    return on ? "1" : "0";
}

} // namespace

Bytes Receiver::take(char byte, long long t, bool rts, bool dtr) {
    if (partial_.bytes.empty()) {
        if (byte != kStx) { // not a frame start: recorded as stray, skipped
            records_.junk.push_back({t, t, Bytes(1, byte), levelOf(rts), levelOf(dtr)});
            return {};
        }
        partial_.startNs = t;
    }
    partial_.bytes.push_back(byte);
    partial_.rts += levelOf(rts);
    partial_.dtr += levelOf(dtr);
    partial_.endNs = t;
    lastByteNs_ = t;
    if (!frameIsWhole(partial_.bytes))
        return {};
    records_.frames.push_back(partial_);
    Bytes request = payloadOf(partial_.bytes);
    forget();
    return request;
}

void Receiver::dropStale(long long now) {
    if (!idle() && now - lastByteNs_ > kGiveUpNs) {
        records_.junk.push_back(partial_);
        forget();
    }
}

// Just past the give-up time, so that dropStale finds the frame stale.
long long Receiver::staleDeadline() const {
    return idle() ? kNever : lastByteNs_ + kGiveUpNs + kMs;
}

} // namespace boardsim
