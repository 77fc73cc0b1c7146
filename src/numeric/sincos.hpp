#pragma once
//! Sine and cosine of one angle together, for the complete solver's chain
//! and the public forward kinematics (and of a joint vector's six angles at
//! once, for the latter): about a third of the cost of the C library's
//! pair, within an ulp or two of it. The console's written
//! algorithm keeps the C library's sin and cos.

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "numeric/lanes.hpp"

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

//! The reduction and the two polynomials of sinCos, for one angle
//! (T = double) or for each lane of a vector of angles alike: x less the
//! nearest multiple n of pi/2 is r, |r| <= pi/4, and sr, cr are the Taylor
//! series of sin r to r^17 and of cos r to r^16, whose truncation lies below
//! 1e-19 there. shifted is x*2/pi + kRoundShift, whose lowest bits hold n.
template <class T>
[[gnu::always_inline]] inline void reducedSinCos(T x, T& shifted, T& n, T& sr, T& cr) {
    shifted = x * kTwoOverPi + kRoundShift;
    n = shifted - kRoundShift;
    const T r = ((x - n * kHalfPi1) - n * kHalfPi2) - n * kHalfPi3;
    const T z = r * r;
    const T sp =
        -1.0 / 6.0 +
        z * (1.0 / 120.0 +
             z * (-1.0 / 5040.0 +
                  z * (1.0 / 362880.0 +
                       z * (-1.0 / 39916800.0 +
                            z * (1.0 / 6227020800.0 +
                                 z * (-1.0 / 1307674368000.0 + z * (1.0 / 355687428096000.0)))))));
    const T cp =
        1.0 / 24.0 +
        z * (-1.0 / 720.0 +
             z * (1.0 / 40320.0 +
                  z * (-1.0 / 3628800.0 +
                       z * (1.0 / 479001600.0 +
                            z * (-1.0 / 87178291200.0 + z * (1.0 / 20922789888000.0))))));
    sr = r + r * (z * sp);
    cr = (1.0 - 0.5 * z) + (z * z) * cp;
}

}  // namespace detail

//! s = sin x, c = cos x. Reduced to |r| <= pi/4 by the nearest multiple of
//! pi/2, then the Taylor series (detail::reducedSinCos). Angles beyond 1e5
//! in magnitude, infinities and NaN go to std::sin and std::cos. Always
//! inlined: as a call it costs a quarter more.
[[gnu::always_inline]] inline void sinCos(double x, double& s, double& c) {
    using namespace detail;
    if (!(std::fabs(x) <= kSinCosRange)) {
        s = std::sin(x);
        c = std::cos(x);
        return;
    }
    double shifted, n, sr, cr;
    reducedSinCos(x, shifted, n, sr, cr);
    // Quadrant n mod 4: swap for odd n, then the signs.
    const long quadrant = static_cast<long>(n) & 3;
    const double a = (quadrant & 1) != 0 ? cr : sr;
    const double b = (quadrant & 1) != 0 ? sr : cr;
    s = (quadrant & 2) != 0 ? -a : a;
    c = ((quadrant + 1) & 2) != 0 ? -b : b;
}

//! The sines and cosines of six angles (a joint vector), each bit for bit
//! what sinCos gives. One after the other, each sinCos is a long chain of
//! dependent multiplies and adds that a caller's own dependent work then
//! waits behind; here the six are formed together, two angles to a Pair
//! (SSE2 on x86-64, scalar code on targets without vectors), the same
//! operations in each lane. The quadrant is taken from the bits of the
//! shifted angle and applied with bit operations, without branches. Angles
//! beyond 1e5 in magnitude, infinities and NaN go to std::sin and std::cos
//! afterwards.
[[gnu::always_inline]] inline void sinCosSix(const std::array<double, 6>& x, std::array<double, 6>& s,
                                             std::array<double, 6>& c) {
    using namespace detail;
    using Bits = std::uint64_t __attribute__((vector_size(16)));  // a Pair's bits
    const Bits signBit = Bits{} + (std::uint64_t{1} << 63);
    Bits inRange = ~Bits{};  // all ones in a lane while its angles lie within range
    for (int k = 0; k < 6; k += 2) {
        Pair xk;  // x[k], x[k + 1]
        std::memcpy(&xk, &x[k], sizeof xk);
        const Pair magnitude = __builtin_bit_cast(Pair, __builtin_bit_cast(Bits, xk) & ~signBit);
        inRange &= __builtin_bit_cast(Bits, magnitude <= kSinCosRange);  // NaN: false
        Pair shifted, n, sr, cr;
        reducedSinCos(xk, shifted, n, sr, cr);
        // shifted = 1.5 * 2^52 + n exactly (|n| < 2^17), so its two lowest
        // bits are n mod 4, as for static_cast<long>(n) & 3 in sinCos.
        const Bits quadrant = __builtin_bit_cast(Bits, shifted) & 3;
        const Bits sBits = __builtin_bit_cast(Bits, sr);
        const Bits cBits = __builtin_bit_cast(Bits, cr);
        const Bits swap = (sBits ^ cBits) & (0 - (quadrant & 1));  // odd n: sine and cosine swap
        const Pair sk = __builtin_bit_cast(Pair, sBits ^ swap ^ ((quadrant & 2) << 62));
        const Pair ck = __builtin_bit_cast(Pair, cBits ^ swap ^ (((quadrant + 1) & 2) << 62));
        // Lane by lane: the caller reads them one at a time, and a load of
        // the upper half of a wider store may not be forwarded from it.
        s[k] = sk[0];
        s[k + 1] = sk[1];
        c[k] = ck[0];
        c[k + 1] = ck[1];
    }
    if ((inRange[0] & inRange[1]) == 0) {
        for (int k = 0; k < 6; ++k) {
            if (!(std::fabs(x[k]) <= kSinCosRange)) {
                s[k] = std::sin(x[k]);
                c[k] = std::cos(x[k]);
            }
        }
    }
}

}  // namespace kin
