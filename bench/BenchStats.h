// What the benchmarks share: this system's finest clock (the performance counter on Windows,
// the monotonic clock elsewhere), and the median of a run's figures.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

#include <algorithm>
#include <vector>

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

inline double NowUs() {
    return static_cast<double>(NowNs()) / 1e3;
}

// 0 for no figures.
inline double Median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}
