#pragma once
// Rounding to the nearest integer with halves going to the even neighbour,
// the rounding the program's arithmetic was designed with (2.5 -> 2,
// 3.5 -> 4, -2.5 -> -2). Written out rather than left to the floating-point
// environment's rounding mode.
#include <cmath>
#include <cstdint>

inline int64_t RoundHalfEven(double value) {
    const double lower = std::floor(value);
    const double fraction = value - lower;
    const auto base = int64_t(lower);
    if (fraction > 0.5) return base + 1;
    if (fraction < 0.5) return base;
    return (base % 2 == 0) ? base : base + 1;
}
