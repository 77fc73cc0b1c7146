#pragma once
//! Shared pieces of the fuzz targets: doubles drawn from the fuzzer's bytes,
//! and a check that stays in whatever the build type.

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <limits>

#include <fuzzer/FuzzedDataProvider.h>

namespace fuzz {

//! Ends the run with a report libFuzzer records as a crash.
#define FUZZ_CHECK(cond)                                                              \
    do {                                                                              \
        if (!(cond)) {                                                                \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                             \
        }                                                                             \
    } while (0)

inline constexpr double kInf = std::numeric_limits<double>::infinity();
inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

//! Values near the thresholds and constants the code tests against, and the
//! extremes of the type.
inline constexpr double kSpecial[] = {
    0.0,     -0.0,     1.0,      -1.0,    0.5,     -0.5,    2.0,    -2.0,
    1e-8,    -1e-8,    1.1e-8,   9e-9,    1e-6,    1e-5,    1.4e-5, 1.4e-6,
    710000., 1.732051, 0.8660254, 3.14159265358979, -3.14159265358979,
    1.570796327, 6.28318530717958, 1.1, 2.0, 3.0, 3.2, 0.2, 0.01,
    1e154,   -1e154,   1e308,    -1e308,  1e-300,  4.9e-324, 2.2250738585072014e-308,
    kInf,    -kInf,    kNaN,     -kNaN,
};

//! A double: a raw bit pattern (NaN, infinities, subnormals, huge values),
//! one of the special values, or a moderate value, so that runs reach both
//! the degenerate and the well-formed paths.
inline double consumeDouble(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            return std::bit_cast<double>(in.ConsumeIntegral<std::uint64_t>());
        case 1:
            return kSpecial[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kSpecial) - 1)];
        case 2:
            return in.ConsumeFloatingPointInRange<double>(-4.0, 4.0);
        default:
            return in.ConsumeFloatingPointInRange<double>(-1.0, 1.0);
    }
}

}  // namespace fuzz
