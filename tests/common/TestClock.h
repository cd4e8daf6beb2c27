// Wall-clock measurements for tests and benchmarks, and waiting for a condition instead of for a
// fixed time.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

#include <chrono>
#include <functional>
#include <thread>

// Nanoseconds since some moment of this system's: the performance counter on Windows, the
// monotonic clock elsewhere (the simulated board's clock, on the same machine).
inline long long NowNs() {
#ifdef _WIN32
    static const double ticksPerNs = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1e9;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<long long>(static_cast<double>(t.QuadPart) / ticksPerNs);
#else
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000000000LL + t.tv_nsec;
#endif
}

// The same in milliseconds.
inline double Now() {
    return static_cast<double>(NowNs()) / 1e6;
}

inline double MsSince(double start) {
    return Now() - start;
}

// Whether condition came true within boundMs; asks again every pollMs milliseconds.
inline bool WaitUntil(const std::function<bool()>& condition, double boundMs = 10000,
                      int pollMs = 1) {
    const double start = Now();
    while (!condition()) {
        if (MsSince(start) > boundMs)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
    }
    return true;
}
