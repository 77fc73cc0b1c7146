#pragma once
//! Sine and cosine of one angle together, for the complete solver's chain
//! and the public forward kinematics: about a third of the cost of the C
//! library's pair, within an ulp or two of it. The console's written
//! algorithm keeps the C library's sin and cos.

#include <cmath>

namespace kin {

namespace detail {

//! pi/2 in three parts: the first two have 33 significant bits, so that n
//! times each is exact for |n| < 2^20; the third holds the rest.
inline constexpr double kHalfPi1 = 0x1.921fb544p+0;
inline constexpr double kHalfPi2 = 0x1.0b4611a6p-34;
inline constexpr double kHalfPi3 = 0x1.3198a2e037073p-69;
inline constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
//! Added and taken away again, rounds a double below 2^51 to an integer.
inline constexpr double kRoundShift = 0x1.8p52;
//! Beyond this the C library's functions are used (n < 2^17 here).
inline constexpr double kSinCosRange = 1e5;

}  // namespace detail

//! s = sin x, c = cos x. Reduced to |r| <= pi/4 by the nearest multiple of
//! pi/2, then the Taylor series to x^17 and x^16, whose truncation lies
//! below 1e-19 there. Angles beyond 1e5 in magnitude, infinities and NaN
//! go to std::sin and std::cos. Always inlined: as a call it costs a
//! quarter more.
[[gnu::always_inline]] inline void sinCos(double x, double& s, double& c) {
    using namespace detail;
    if (!(std::fabs(x) <= kSinCosRange)) {
        s = std::sin(x);
        c = std::cos(x);
        return;
    }
    const double n = (x * kTwoOverPi + kRoundShift) - kRoundShift;
    const double r = ((x - n * kHalfPi1) - n * kHalfPi2) - n * kHalfPi3;
    const double z = r * r;
    const double sp =
        -1.0 / 6.0 +
        z * (1.0 / 120.0 +
             z * (-1.0 / 5040.0 +
                  z * (1.0 / 362880.0 +
                       z * (-1.0 / 39916800.0 +
                            z * (1.0 / 6227020800.0 +
                                 z * (-1.0 / 1307674368000.0 + z * (1.0 / 355687428096000.0)))))));
    const double cp =
        1.0 / 24.0 +
        z * (-1.0 / 720.0 +
             z * (1.0 / 40320.0 +
                  z * (-1.0 / 3628800.0 +
                       z * (1.0 / 479001600.0 +
                            z * (-1.0 / 87178291200.0 + z * (1.0 / 20922789888000.0))))));
    const double sr = r + r * (z * sp);
    const double cr = (1.0 - 0.5 * z) + (z * z) * cp;
    // Quadrant n mod 4: swap for odd n, then the signs.
    const long quadrant = static_cast<long>(n) & 3;
    const double a = (quadrant & 1) != 0 ? cr : sr;
    const double b = (quadrant & 1) != 0 ? sr : cr;
    s = (quadrant & 2) != 0 ? -a : a;
    c = ((quadrant + 1) & 2) != 0 ? -b : b;
}

}  // namespace kin
