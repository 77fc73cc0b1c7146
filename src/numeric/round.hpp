#pragma once
//! Rounding to an integer inline, where the C library's call would cost
//! more than the arithmetic around it.

#include <cmath>

namespace kin {

//! std::nearbyint(x) in the default rounding mode (to nearest, ties to
//! even), the same value and sign: adding and taking away 1.5 * 2^52 leaves
//! a number below 2^51 rounded to an integer; larger ones already are.
inline double nearestInteger(double x) {
    constexpr double kShift = 0x1.8p52;
    if (!(std::fabs(x) < 0x1p51)) return x;
    return std::copysign((x + kShift) - kShift, x);
}

}  // namespace kin
