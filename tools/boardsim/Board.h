// The board itself: its relay status (with a pulse that ends on its own), its identification, the
// result byte it puts in every answer, and its answers to the four commands.
#pragma once

#include <optional>

#include "Frame.h"

namespace boardsim {

// The device number a board reports unless told another.
constexpr int kDefaultNumber = 0x1234;

class Board {
public:
    explicit Board(int number = kDefaultNumber) : number_(number & 0xFFFF), startNumber_(number_) {}
    // The board as it started, with the device number it started with.
    void reset() { *this = Board{startNumber_}; }

    // The relay status at now; a pulse that has run its time is over.
    int status(long long now);
    void setStatus(int s);
    void setMetrics(int t, int s, int p, int v, int n);
    void setResult(int r) { result_ = r & 255; }

    // Answer payload for a request payload: command code, result byte, data. A nonzero result byte
    // means the board did not carry the command out; the data is sent all the same.
    Bytes answer(const Bytes& request, long long now);

private:
    int status_ = 0, restStatus_ = 0;
    long long pulseEndNs_ = 0;
    int type_ = 1, subType_ = 2, protocol_ = 3, soft_ = 4, number_;
    int startNumber_;
    int result_ = 0;

    bool carriesOut() const { return result_ == 0; }
    // Each command's data, or nothing when the request is too short or unknown: refused.
    std::optional<Bytes> dataFor(const Bytes& request, long long now);
    std::optional<Bytes> setRelays(const Bytes& request, long long now);
    std::optional<Bytes> pulseRelays(const Bytes& request, long long now);
    Bytes identification() const;
};

} // namespace boardsim
