#pragma once
//! Doubles handled several at once (GCC and Clang vector extension), for
//! the closed forms that carry two roots, or every branch, side by side:
//! each arithmetic operation acts on every lane, a scalar operand is used
//! in each, and each lane's result is the one the same expression gives on
//! doubles, to the bit (no contraction: -ffp-contract=off holds for vectors
//! too).

#include <cmath>
#include <cstdint>
#include <type_traits>

namespace kin {

//! Two lanes: the two roots of one equation.
using Pair = double __attribute__((vector_size(16)));
//! Four and eight lanes: half of, and every branch of, a closed form (two
//! roots of each of three equations). Compilers split them into the widest
//! vectors the target has.
using Quad = double __attribute__((vector_size(32)));
using Wide = double __attribute__((vector_size(64)));
//! Lane masks of a Quad or Wide comparison (all bits set where true), and
//! their lanes' bits.
using QuadBits = std::int64_t __attribute__((vector_size(32)));
using WideBits = std::int64_t __attribute__((vector_size(64)));
//! The mask type of V's comparisons, and its lanes as unsigned integers.
template <class V>
using BitsOf = decltype(V{} < V{});
using QuadWord = std::uint64_t __attribute__((vector_size(32)));
using WideWord = std::uint64_t __attribute__((vector_size(64)));
template <class V>
using WordsOf = std::conditional_t<sizeof(V) == 32, QuadWord, WideWord>;

//! How many lanes T holds: 1 for a double, 2 for a Pair, 8 for a Wide.
template <class T>
inline constexpr int kLanes = static_cast<int>(sizeof(T) / sizeof(double));

//! v in every lane (for double, v itself), so that one template serves a
//! single value and the vectors.
template <class T>
T splat(double v) {
    if constexpr (std::is_same_v<T, double>) {
        return v;
    } else {
        T r;
        for (int k = 0; k < kLanes<T>; ++k) r[k] = v;
        return r;
    }
}

//! Lane k of v (v itself for a double).
inline double lane(double v, int) { return v; }
template <class T, class = std::enable_if_t<!std::is_same_v<T, double>>>
double lane(const T& v, int k) {
    return v[k];
}

//! The square root of each lane (one vector instruction where the
//! compiler may leave errno unset).
inline double laneSqrt(double v) { return std::sqrt(v); }
template <class T, class = std::enable_if_t<!std::is_same_v<T, double>>>
T laneSqrt(const T& v) {
    T r;
    for (int k = 0; k < kLanes<T>; ++k) r[k] = std::sqrt(v[k]);
    return r;
}

//! |v| and the magnitude of v with the sign of s, lane by lane, on the
//! bits (std::fabs and std::copysign exactly; the C library of the
//! WebAssembly build has no std::bit_cast). V: Quad or Wide.
template <class V>
V laneAbs(const V& v) {
    return __builtin_bit_cast(V, __builtin_bit_cast(BitsOf<V>, v) & INT64_MAX);
}
template <class V>
V laneCopySign(const V& v, const V& s) {
    return __builtin_bit_cast(V, (__builtin_bit_cast(BitsOf<V>, v) & INT64_MAX) |
                                     (__builtin_bit_cast(BitsOf<V>, s) & INT64_MIN));
}

//! Each lane of v in [+0, top] (top >= 0), as one comparison of the bits:
//! a negative lane, or NaN, lies above. (Inside the wide solver code GCC
//! takes an and of two comparisons lane by lane; one it does not.)
template <class V>
BitsOf<V> inZeroTo(const V& v, double top) {
    using Words = WordsOf<V>;
    return __builtin_bit_cast(BitsOf<V>, __builtin_bit_cast(Words, v) <= __builtin_bit_cast(std::uint64_t, top));
}

//! Whether any lane of mask m is set.
inline bool anyLane(const QuadBits& m) {
    QuadBits t = m | __builtin_shufflevector(m, m, 2, 3, 0, 1);
    t |= __builtin_shufflevector(t, t, 1, 0, 3, 2);
    return t[0] != 0;
}
inline bool anyLane(const WideBits& m) {
    WideBits t = m | __builtin_shufflevector(m, m, 4, 5, 6, 7, 0, 1, 2, 3);
    t |= __builtin_shufflevector(t, t, 2, 3, 0, 1, 6, 7, 4, 5);
    t |= __builtin_shufflevector(t, t, 1, 0, 3, 2, 5, 4, 7, 6);
    return t[0] != 0;
}
//! Mask m as bits: bit k set when lane k is.
template <class M>
unsigned laneBits(const M& m) {
    unsigned r = 0;
    for (int k = 0; k < kLanes<M>; ++k) r |= static_cast<unsigned>(m[k] & 1) << k;
    return r;
}

}  // namespace kin
