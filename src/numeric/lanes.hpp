#pragma once
//! Two doubles handled as one value, for the closed forms that carry two
//! roots at once (GCC and Clang vector extension): each arithmetic
//! operation acts on both lanes, a scalar operand is used in both, and each
//! lane's result is the one the same expression gives on doubles, to the
//! bit (no contraction: -ffp-contract=off holds for vectors too).

#include <cmath>
#include <type_traits>

namespace kin {

using Pair = double __attribute__((vector_size(16)));

//! v in both lanes (for double, v itself), so that one template serves a
//! single value and a pair.
template <class T>
T splat(double v) {
    if constexpr (std::is_same_v<T, double>) {
        return v;
    } else {
        return T{v, v};
    }
}

//! How many lanes T holds: 1 for a double, 2 for a Pair.
template <class T>
inline constexpr int kLanes = static_cast<int>(sizeof(T) / sizeof(double));

//! Lane k of v (v itself for a double).
inline double lane(double v, int) { return v; }
inline double lane(Pair v, int k) { return v[k]; }

//! The square root of each lane.
inline double laneSqrt(double v) { return std::sqrt(v); }
inline Pair laneSqrt(Pair v) { return Pair{std::sqrt(v[0]), std::sqrt(v[1])}; }

}  // namespace kin
