// What the benchmarks share: the tests' clock in microseconds, and the median of a run's
// figures.
#pragma once

#include <algorithm>
#include <vector>

#include "TestClock.h"

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
