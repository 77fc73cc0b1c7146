//! The cube root, the polynomial solvers and the trigonometric equation
//! solvers fed arbitrary coefficients. Every call must return, write only
//! into the caller's arrays and return one of its documented counts.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "cases/trig_equations.hpp"
#include "fuzz_input.hpp"
#include "numeric/polynomial.hpp"

namespace {

using fuzz::consumeDouble;

void runOne(FuzzedDataProvider& in) {
    const int which = in.ConsumeIntegralInRange<int>(0, 6);
    double c[6];
    for (double& v : c) v = consumeDouble(in);
    switch (which) {
        case 0: {
            (void)kin::cubeRoot(c[0]);
            break;
        }
        case 1: {
            std::array<double, 2> r{};
            const int n = kin::solveQuadratic(c[0], c[1], std::span<double, 2>(r));
            FUZZ_CHECK(n == 0 || n == 2);
            break;
        }
        case 2: {
            std::array<double, 3> r{};
            const int n = kin::solveCubic(c[0], c[1], c[2], std::span<double, 3>(r));
            FUZZ_CHECK(n == 1 || n == 3);
            break;
        }
        case 3: {
            std::array<double, 4> r{};
            const int n = kin::solveQuartic(c[0], c[1], c[2], c[3], std::span<double, 4>(r));
            FUZZ_CHECK(n == 0 || n == 2 || n == 4);
            break;
        }
        case 4: {
            kin::CirclePoints p;
            const int n = kin::solveTrigLinear(c[0], c[1], c[2], p);
            FUZZ_CHECK(n == -1 || n == 0 || n == 2);
            break;
        }
        case 5: {
            kin::CirclePoints p;
            const int n = kin::solveTrigConic(c[0], c[1], c[2], c[3], c[4], c[5], p);
            FUZZ_CHECK(n >= -1 && n <= 4);
            break;
        }
        default: {
            std::array<double, 2> t{};
            const int n = kin::solveQuadraticFull(c[0], c[1], c[2], t);
            FUZZ_CHECK(n >= -1 && n <= 2);
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    // Several calls per input, so that one input covers more than one solver.
    for (int i = 0; i < 8 && in.remaining_bytes() > 0; ++i) runOne(in);
    return 0;
}
