// The board's state and its answers to the four commands: 'w' sets the relays, 'x' pulses them for
// a number of milliseconds, 'y' reads them, 'z' identifies the board.
#include "Board.h"

#include "Clock.h"

namespace boardsim {

namespace {

int byteAt(const Bytes& bytes, size_t i) {
    return static_cast<unsigned char>(bytes[i]);
}

} // namespace

int Board::status(long long now) {
    if (pulseEndNs_ && now >= pulseEndNs_) {
        status_ = restStatus_;
        pulseEndNs_ = 0;
    }
    return status_;
}

void Board::setStatus(int s) {
    status_ = s & 255;
    pulseEndNs_ = 0;
}

void Board::setMetrics(int t, int s, int p, int v, int n) {
    type_ = t & 255, subType_ = s & 255, protocol_ = p & 255, soft_ = v & 255;
    number_ = n & 0xFFFF;
}

Bytes Board::answer(const Bytes& request, long long now) {
    char code = request[0];
    std::optional<Bytes> data = dataFor(request, now);
    if (!data)
        return {code, 1}; // refused, no data
    return Bytes{code, char(result_)} + *data;
}

std::optional<Bytes> Board::dataFor(const Bytes& request, long long now) {
    switch (request[0]) {
    case 'w':
        return setRelays(request, now);
    case 'x':
        return pulseRelays(request, now);
    case 'y':
        return Bytes(1, static_cast<char>(status(now)));
    case 'z':
        return identification();
    default:
        return std::nullopt;
    }
}

std::optional<Bytes> Board::setRelays(const Bytes& request, long long now) {
    if (request.size() < 2)
        return std::nullopt;
    if (carriesOut())
        setStatus(byteAt(request, 1));
    return Bytes(1, static_cast<char>(carriesOut() ? status_ : status(now)));
}

// The pulse's pattern stands until its end, then the status from before it comes back; a pulse of 0
// ms leaves the status as it was.
std::optional<Bytes> Board::pulseRelays(const Bytes& request, long long now) {
    if (request.size() < 4)
        return std::nullopt;
    int pattern = byteAt(request, 1);
    int ms = byteAt(request, 2) | (byteAt(request, 3) << 8);
    if (carriesOut()) {
        restStatus_ = status(now);
        status_ = pattern;
        pulseEndNs_ = now + ms * kMs;
        if (ms == 0) {
            status_ = restStatus_;
            pulseEndNs_ = 0;
        }
    }
    return Bytes(1, static_cast<char>(pattern));
}

Bytes Board::identification() const {
    return {char(type_), char(subType_),      char(protocol_),
            char(soft_), char(number_ & 255), char(number_ >> 8)};
}

} // namespace boardsim
