#pragma once
//! The arc tangent of a quotient and the arc cosine, for the complete
//! solver's closed forms: within about two ulps of the correctly rounded value,
//! about half the cost of the C library's, and without branches on the
//! quadrant. The console's written algorithm keeps the C library's.

#include <array>
#include <cfloat>
#include <cmath>

#include "numeric/lanes.hpp"

namespace kin {

namespace detail {

//! atan(k / 8), k = 0..8, as a double and the rest below it.
inline constexpr std::array<double, 9> kAtanEighthHi{
    0.0,
    0x1.fd5ba9aac2f6ep-4,
    0x1.f5b75f92c80ddp-3,
    0x1.6f61941e4def1p-2,
    0x1.dac670561bb4fp-2,
    0x1.1e00babdefeb4p-1,
    0x1.4978fa3269ee1p-1,
    0x1.700a7c5784634p-1,
    0x1.921fb54442d18p-1,
};
inline constexpr std::array<double, 9> kAtanEighthLo{
    0.0,
    -0x1.cd37686760c17p-59,
    0x1.8ab6e3cf7afbdp-57,
    -0x1.c63aae6f6e918p-56,
    0x1.a2b7f222f65e2p-56,
    -0x1.928df287a668fp-58,
    0x1.2419a87f2a458p-56,
    -0x1.8c34d25aadef6p-56,
    0x1.1a62633145c07p-55,
};
//! The angle of each octant pair's reflection: a, pi/2 - a, pi - a,
//! pi/2 + a (index: |y| > |x|, then x < 0), as offset (two parts) and sign.
inline constexpr std::array<double, 4> kOctantHi{0.0, 0x1.921fb54442d18p+0, 0x1.921fb54442d18p+1,
                                                 0x1.921fb54442d18p+0};
inline constexpr std::array<double, 4> kOctantLo{0.0, 0x1.1a62633145c07p-54, 0x1.1a62633145c07p-53,
                                                 0x1.1a62633145c07p-54};
inline constexpr std::array<double, 4> kOctantSign{1.0, -1.0, -1.0, 1.0};
//! Added and taken away again, rounds a small double to an integer.
inline constexpr double kArcRoundShift = 0x1.8p52;

}  // namespace detail

namespace detail {

//! atan t for t in [0, 1] (a double, or each lane of a pair alike): reduced
//! about an eighth c by atan t = atan c + atan((t - c) / (1 + t c)), c the
//! eighth nearest t - 1/32, which leaves r in [-1/32, 3/32] (no
//! cancellation against atan c), where the series to r^15 is exact to
//! 1e-18 relative.
inline double eighthHi(double k) { return kAtanEighthHi[static_cast<int>(k)]; }
inline double eighthLo(double k) { return kAtanEighthLo[static_cast<int>(k)]; }
inline Pair eighthHi(Pair k) { return Pair{eighthHi(k[0]), eighthHi(k[1])}; }
inline Pair eighthLo(Pair k) { return Pair{eighthLo(k[0]), eighthLo(k[1])}; }
//! The table in lanes: entry k of each lane's k (an integer 0..8), read
//! from the low bits of k + kArcRoundShift by two-vector permutations
//! (GCC), or one lane at a time.
inline Wide eighthOf(const std::array<double, 9>& table, const Wide& k) {
#if defined(__GNUC__) && !defined(__clang__)
    const Wide first{table[0], table[1], table[2], table[3], table[4], table[5], table[6], table[7]};
    const Wide last{table[8], 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
    return __builtin_shuffle(first, last, __builtin_bit_cast(WideBits, k + kArcRoundShift) & 15);
#else
    Wide r;
    for (int i = 0; i < kLanes<Wide>; ++i) r[i] = table[static_cast<int>(k[i])];
    return r;
#endif
}
inline Quad eighthOf(const std::array<double, 9>& table, const Quad& k) {
#if defined(__GNUC__) && !defined(__clang__)
    const QuadBits i = __builtin_bit_cast(QuadBits, k + kArcRoundShift) & 15;
    const Quad low{table[0], table[1], table[2], table[3]};
    const Quad high{table[4], table[5], table[6], table[7]};
    const Quad r = __builtin_shuffle(low, high, i & 7);
    return i == 8 ? Quad{table[8], table[8], table[8], table[8]} : r;
#else
    Quad r;
    for (int i = 0; i < kLanes<Quad>; ++i) r[i] = table[static_cast<int>(k[i])];
    return r;
#endif
}
template <class V, class = std::enable_if_t<(kLanes<V> >= 4)>>
V eighthHi(const V& k) {
    return eighthOf(kAtanEighthHi, k);
}
template <class V, class = std::enable_if_t<(kLanes<V> >= 4)>>
V eighthLo(const V& k) {
    return eighthOf(kAtanEighthLo, k);
}

template <class T>
[[gnu::always_inline]] inline T atanUnit(const T& t) {
    const T k = ((t * 8.0 - 0.25) + kArcRoundShift) - kArcRoundShift;
    const T c = k * 0.125;
    const T r = (t - c) / (1.0 + t * c);
    const T z = r * r;
    const T series =
        r + r * (z * (-1.0 / 3.0 +
                      z * (1.0 / 5.0 +
                           z * (-1.0 / 7.0 +
                                z * (1.0 / 9.0 + z * (-1.0 / 11.0 + z * (1.0 / 13.0 + z * (-1.0 / 15.0))))))));
    return eighthHi(k) + (eighthLo(k) + series);
}

//! atan of the smaller magnitude over the larger (a = atan of it) carried
//! to the angle of (x, y).
[[gnu::always_inline]] inline double octantAngle(double y, double x, bool steep, double a) {
    const int octant = static_cast<int>(steep) | static_cast<int>(x < 0.0) << 1;
    return std::copysign(kOctantHi[octant] + (kOctantSign[octant] * a + kOctantLo[octant]), y);
}

}  // namespace detail

//! atan2(y, x): the angle of (x, y) in [-pi, pi], from atan of the smaller
//! magnitude over the larger (detail::atanUnit). Within 1.9 ulps in a
//! seeded sweep over magnitudes from 1e-9 to 1e9 (arcCos within 2.3).
//! Zeros together, infinities and NaN go to std::atan2.
[[gnu::always_inline]] inline double arcTan2(double y, double x) {
    using namespace detail;
    const double ax = std::fabs(x);
    const double ay = std::fabs(y);
    const bool steep = ay > ax;
    const double num = steep ? ax : ay;
    const double den = steep ? ay : ax;
    if (!(num <= den) || !(den > 0.0) || !(den < HUGE_VAL)) return std::atan2(y, x);
    return octantAngle(y, x, steep, atanUnit(num / den));
}

//! arcTan2 of each lane, the division and the series for both at once.
inline Pair arcTan2(Pair y, Pair x) {
    using namespace detail;
    Pair num, den;
    bool steep[2];
    for (int k = 0; k < 2; ++k) {
        const double ax = std::fabs(x[k]);
        const double ay = std::fabs(y[k]);
        steep[k] = ay > ax;
        num[k] = steep[k] ? ax : ay;
        den[k] = steep[k] ? ay : ax;
        if (!(num[k] <= den[k]) || !(den[k] > 0.0) || !(den[k] < HUGE_VAL)) {
            return Pair{arcTan2(y[0], x[0]), arcTan2(y[1], x[1])};
        }
    }
    const Pair a = atanUnit(num / den);
    return Pair{octantAngle(y[0], x[0], steep[0], a[0]), octantAngle(y[1], x[1], steep[1], a[1])};
}

//! arcTan2 of each lane of a Quad or Wide without branches on the octant:
//! the table's offsets and signs chosen by lane masks, the same values the
//! one-lane form looks up, so each lane's result is that one's to the bit.
//! Lanes the one-lane form sends to std::atan2 go there one at a time.
template <class V, class = std::enable_if_t<(kLanes<V> >= 4)>>
V arcTan2(const V& y, const V& x) {
    using namespace detail;
    using Bits = BitsOf<V>;
    const V ax = laneAbs(x);
    const V ay = laneAbs(y);
    const Bits steep = ay > ax;
    const V num = steep ? ax : ay;
    const V den = steep ? ay : ax;
    // Lanes left to std::atan2 reduce 0 instead (their quotient may index
    // past the table). The one-lane form's test (no NaN, 0 < den < inf) as
    // one comparison of the bits (inside the wide solver code GCC takes an
    // and of comparisons lane by lane): the larger of |x| and |y| as
    // integers (NaN above inf), less one, at most the largest double's
    // bits less one (0 wraps round to the top).
    using Words = WordsOf<V>;
    const Words bx = __builtin_bit_cast(Words, ax), by = __builtin_bit_cast(Words, ay);
    const Words top = (by > bx ? by : bx) - 1;
    const Bits usual = __builtin_bit_cast(Bits, top <= __builtin_bit_cast(std::uint64_t, DBL_MAX) - 1);
    const V a = atanUnit(usual ? num / den : V{});
    // Octants: a (0), pi/2 - a (steep), pi - a (x < 0), pi/2 + a (both).
    const Bits back = x < 0.0;
    const V hi = steep ? splat<V>(kOctantHi[1]) : (back ? splat<V>(kOctantHi[2]) : V{});
    const V lo = steep ? splat<V>(kOctantLo[1]) : (back ? splat<V>(kOctantLo[2]) : V{});
    const V sign = (steep ^ back) != 0 ? splat<V>(-1.0) : splat<V>(1.0);
    V r = laneCopySign(hi + (sign * a + lo), y);
    if (anyLane(~usual)) {
        for (int k = 0; k < kLanes<V>; ++k) {
            if (usual[k] == 0) r[k] = std::atan2(y[k], x[k]);
        }
    }
    return r;
}

//! acos(k) for k in [-1, 1], as the angle of (k, sqrt(1 - k^2)); NaN
//! outside.
[[gnu::always_inline]] inline double arcCos(double k) {
    return arcTan2(std::sqrt((1.0 - k) * (1.0 + k)), k);
}
template <class V, class = std::enable_if_t<(kLanes<V> >= 4)>>
V arcCos(const V& k) {
    return arcTan2(laneSqrt((1.0 - k) * (1.0 + k)), k);
}

}  // namespace kin
