// Wall-clock measurements for tests, in milliseconds: the performance counter on Windows, the
// monotonic clock elsewhere; and waiting for a condition instead of for a fixed time.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

#include <chrono>
#include <functional>
#include <thread>

// Milliseconds since some moment of this system's, to well under a microsecond.
inline double Now() {
#ifdef _WIN32
    LARGE_INTEGER now, freq;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&freq);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(freq.QuadPart);
#else
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
#endif
}

inline double MsSince(double start) {
    return Now() - start;
}

// Whether condition came true within boundMs; asks again every millisecond.
inline bool WaitUntil(const std::function<bool()>& condition, double boundMs = 10000) {
    const double start = Now();
    while (!condition()) {
        if (MsSince(start) > boundMs)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
