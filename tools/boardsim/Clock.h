// The board's one clock: CLOCK_MONOTONIC in nanoseconds, the time of every record it keeps, so that
// tests can set its timestamps beside those of the line shim.
#pragma once

#include <climits>

#include <time.h>

namespace boardsim {

constexpr long long kMs = 1000000LL;
constexpr long long kSecond = 1000 * kMs;
// A deadline that never comes: nothing to wait for.
constexpr long long kNever = LLONG_MAX;

inline long long nowNs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * kSecond + ts.tv_nsec;
}

} // namespace boardsim
