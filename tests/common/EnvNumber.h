// The long runs' sizes: a number from the environment, or the short default of make test.
#pragma once

#include <cstdlib>

inline unsigned long EnvNumber(const char* name, unsigned long fallback) {
    const char* text = std::getenv(name);
    return text && *text ? std::strtoul(text, nullptr, 10) : fallback;
}
