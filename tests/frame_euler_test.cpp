// Frame algebra round trips over random rigid frames, the ZYZ Euler
// conversion in its regular and vertical-axis branches, the six-angle
// sine and cosine against the one-angle one, and the solver's arc tangent
// against the long-double library.

#include <array>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "numeric/arctan.hpp"
#include "numeric/euler.hpp"
#include "numeric/frame.hpp"
#include "numeric/sincos.hpp"

namespace {

using namespace kin;

constexpr double kPi = 3.14159265358979323846;

void expectNear(const Vec3& a, const Vec3& b, double tol) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

void expectNear(const Frame& a, const Frame& b, double tol) {
    expectNear(a.X, b.X, tol);
    expectNear(a.Y, b.Y, tol);
    expectNear(a.Z, b.Z, tol);
    expectNear(a.O, b.O, tol);
}

//! Difference of two angles folded into [-pi, pi].
double angleDiff(double a, double b) { return std::remainder(a - b, 2.0 * kPi); }

//! A random rigid frame from a uniformly random unit quaternion.
Frame randomFrame(std::mt19937_64& rng) {
    std::normal_distribution<double> n01;
    std::uniform_real_distribution<double> pos(-5.0, 5.0);
    double w = n01(rng), x = n01(rng), y = n01(rng), z = n01(rng);
    const double len = std::sqrt(w * w + x * x + y * y + z * z);
    w /= len, x /= len, y /= len, z /= len;
    Frame F;
    F.X = {1 - 2 * (y * y + z * z), 2 * (x * y + w * z), 2 * (x * z - w * y)};
    F.Y = {2 * (x * y - w * z), 1 - 2 * (x * x + z * z), 2 * (y * z + w * x)};
    F.Z = {2 * (x * z + w * y), 2 * (y * z - w * x), 1 - 2 * (x * x + y * y)};
    F.O = {pos(rng), pos(rng), pos(rng)};
    return F;
}

TEST(Frame, RandomRoundTrips) {
    std::mt19937_64 rng(4242);
    std::uniform_real_distribution<double> pos(-5.0, 5.0);
    for (int it = 0; it < 5000; ++it) {
        const Frame A = randomFrame(rng);
        const Frame B = randomFrame(rng);
        const Frame Ainv = frameInverse(A);
        const Vec3 p{pos(rng), pos(rng), pos(rng)};
        SCOPED_TRACE(it);
        expectNear(frameMul(A, Ainv), identityFrame(), 2e-13);
        expectNear(frameMul(Ainv, A), identityFrame(), 2e-13);
        expectNear(frameInverse(Ainv), A, 2e-13);
        expectNear(frameInvApplyPoint(A, frameApplyPoint(A, p)), p, 1e-13);
        expectNear(frameApplyPoint(A, frameInvApplyPoint(A, p)), p, 1e-13);
        expectNear(frameInvApplyVector(A, frameApplyVector(A, p)), p, 1e-13);
        expectNear(frameInvApplyPoint(A, p), frameApplyPoint(Ainv, p), 1e-13);
        // Composition carries points like applying B, then A.
        expectNear(frameApplyPoint(frameMul(A, B), p), frameApplyPoint(A, frameApplyPoint(B, p)), 1e-13);
        expectNear(cross3(A.X, A.Y), A.Z, 4e-15);
        EXPECT_NEAR(vecNorm(A.O), std::sqrt(dot3(A.O, A.O)), 1e-14);
    }
}

// Sums are formed left to right: beside 1e17 a 1 is lost, so the grouping
// of the terms shows in the result.
TEST(Frame, SumsRunLeftToRight) {
    const Frame F{{1, 0, 0}, {1, 0, 0}, {1, 0, 0}, {0, 0, 0}};
    EXPECT_EQ(frameApplyPoint(F, {1, 1e17, -1e17}).x, 0.0);
    EXPECT_EQ(frameApplyVector(F, {1, 1e17, -1e17}).x, 0.0);
    EXPECT_EQ(frameMul(F, Frame{{1, 1e17, -1e17}, {}, {}, {1, 1e17, -1e17}}).X.x, 0.0);
    EXPECT_EQ(frameMul(F, Frame{{1, 1e17, -1e17}, {}, {}, {1, 1e17, -1e17}}).O.x, 0.0);
    const Frame G{{1, 1, 1}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}};
    EXPECT_EQ(frameInvApplyPoint(G, {1, 1e17, -1e17}).x, 0.0);
    EXPECT_EQ(frameInvApplyVector(G, {1, 1e17, -1e17}).x, 0.0);
    // Squares accumulate from the first: eight ones survive beside 2^54.
    const double v[9] = {1, 1, 1, 1, 1, 1, 1, 1, 0x1p27};
    EXPECT_EQ(vecNorm(v, 9), std::sqrt(0x1p54 + 8.0));
    EXPECT_NE(vecNorm(v, 9), 0x1p27);
    EXPECT_EQ(vecNorm(v, 0), 0.0);
}

TEST(Euler, RegularRoundTripSweep) {
    std::mt19937_64 rng(99);
    std::uniform_real_distribution<double> ang(-kPi, kPi);
    std::uniform_real_distribution<double> tilt(1e-5, kPi - 1e-5);
    for (int it = 0; it < 20000; ++it) {
        const EulerZYZ E{ang(rng), tilt(rng), ang(rng)};
        const Axes A = eulerToAxes(E);
        SCOPED_TRACE(testing::Message() << E.phi << " " << E.theta << " " << E.psi);
        expectNear(cross3(A.X, A.Y), A.Z, 4e-15);
        EXPECT_NEAR(vecNorm(A.X), 1.0, 4e-15);
        const EulerZYZ F = axesToEuler(A);
        EXPECT_NEAR(angleDiff(F.phi, E.phi), 0.0, 1e-9);
        EXPECT_NEAR(F.theta, E.theta, 1e-9);
        EXPECT_NEAR(angleDiff(F.psi, E.psi), 0.0, 1e-9);
    }
}

// A vertical Z axis gives the whole turn to psi.
TEST(Euler, VerticalAxisSweep) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> ang(-kPi, kPi);
    for (int it = 0; it < 2000; ++it) {
        const double phi = ang(rng);
        const double psi = ang(rng);
        const Axes up = eulerToAxes({phi, 0.0, psi});
        EXPECT_EQ(up.Z.x, 0.0);
        EXPECT_EQ(up.Z.y, 0.0);
        EXPECT_EQ(up.Z.z, 1.0);
        EXPECT_NEAR(up.X.x, std::cos(phi + psi), 4e-15);
        EXPECT_NEAR(up.X.y, std::sin(phi + psi), 4e-15);
        const EulerZYZ E = axesToEuler(up);
        EXPECT_EQ(E.phi, 0.0);
        EXPECT_EQ(E.theta, 0.0);
        EXPECT_NEAR(angleDiff(E.psi, phi + psi), 0.0, 1e-14);
        EXPECT_LE(std::fabs(E.psi), kPi);
    }
    const EulerZYZ id = axesToEuler(identityFrame().X, identityFrame().Y, identityFrame().Z);
    EXPECT_EQ(id.phi, 0.0);
    EXPECT_EQ(id.theta, 0.0);
    EXPECT_EQ(id.psi, 0.0);
    // Pointing down: theta is twice the stored ten-digit pi/2.
    const double psi = 0.7;
    const EulerZYZ down = axesToEuler({-std::cos(psi), std::sin(psi), 0}, {std::sin(psi), std::cos(psi), 0}, {0, 0, -1});
    EXPECT_EQ(down.phi, 0.0);
    EXPECT_EQ(down.theta, 3.141592654);
    EXPECT_NEAR(down.psi, psi, 1e-15);
}

// The tilt s = |(Z.x, Z.y)| = 1e-6 exactly is still vertical; the next double
// above it is not. The two branches differ in theta: about 8e-13 from
// (1 - Z.z) against about 1e-6 from atan2.
TEST(Euler, VerticalThresholdBoundary) {
    const double psi = 0.3;
    for (const double zx : {1e-6, std::nextafter(1e-6, 1.0)}) {
        const double zz = std::sqrt(1.0 - zx * zx);
        const Vec3 X{zz * std::cos(psi), std::sin(psi), -zx * std::cos(psi)};
        const Vec3 Y{-zz * std::sin(psi), std::cos(psi), zx * std::sin(psi)};
        const Vec3 Z{zx, 0.0, zz};
        ASSERT_EQ(std::sqrt(Z.x * Z.x + Z.y * Z.y), zx);
        const EulerZYZ E = axesToEuler(X, Y, Z);
        EXPECT_EQ(E.phi, 0.0);
        EXPECT_NEAR(E.psi, psi, 1e-9);
        if (zx == 1e-6) {
            EXPECT_LT(E.theta, 1e-11);
        } else {
            EXPECT_NEAR(E.theta, 1e-6, 1e-15);
        }
    }
    // A tilt that is not a number takes the vertical branch.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(axesToEuler({1, 0, 0}, {0, 1, 0}, {nan, 0, 1}).phi, 0.0);
}

// sinCosSix gives sinCos's bits for every angle: small, within a few turns,
// near multiples of pi/2 (where the quadrant changes), up to and beyond
// the 1e5 where the C library takes over, and non-finite.
TEST(SinCos, SixAnglesMatchOneByOneBitForBit) {
    std::mt19937_64 rng(606);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    const double scales[] = {1e-3, 4.0, 40.0, 1.2e5};
    const double special[] = {0.0, -0.0, std::numeric_limits<double>::quiet_NaN(),
                              std::numeric_limits<double>::infinity(), 1e5, -1e5};
    for (int it = 0; it < 20000; ++it) {
        std::array<double, 6> x, s, c;
        for (double& v : x) v = unit(rng) * scales[it % 4];
        x[it % 6] = std::nextafter(std::round(x[it % 6] / (0.5 * kPi)) * (0.5 * kPi), it % 2 ? 1e9 : -1e9);
        if (it % 7 == 0) x[(it / 7) % 6] = special[(it / 7) % 6];
        sinCosSix(x, s, c);
        for (int k = 0; k < 6; ++k) {
            double s1, c1;
            sinCos(x[k], s1, c1);
            SCOPED_TRACE(x[k]);
            EXPECT_EQ(std::memcmp(&s[k], &s1, sizeof s1), 0);
            EXPECT_EQ(std::memcmp(&c[k], &c1, sizeof c1), 0);
        }
    }
}

// arcTan2 within 2 ulps of atan2l over magnitudes 1e-9 to 1e9 and nearly
// equal arguments (the octant edges); arcCos within 2.5 of acosl; arcTan2 in
// two, four and eight lanes gives each lane's bits; zeros, infinities and
// NaN as std::atan2 (the same zero signs, quadrants and NaN).
TEST(ArcTan, WithinTwoUlpsAndLanesAlike) {
    const auto ulps = [](double a, long double exact) {
        const double r = static_cast<double>(exact);
        const double ulp = std::nextafter(std::fabs(r), HUGE_VAL) - std::fabs(r);
        return static_cast<double>(std::fabs(static_cast<long double>(a) - exact)) / ulp;
    };
    std::mt19937_64 rng(707);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    double worstTan = 0.0, worstCos = 0.0;
    for (int it = 0; it < 200000; ++it) {
        const double y = unit(rng) * std::pow(10.0, (it % 19) - 9);
        const double x = it % 3 == 0 ? y * (1.0 + 1e-9 * unit(rng)) : unit(rng) * std::pow(10.0, (it % 7) - 3);
        worstTan = std::fmax(worstTan, ulps(arcTan2(y, x), atan2l(y, x)));
        const double k = unit(rng);
        worstCos = std::fmax(worstCos, ulps(arcCos(k), acosl(k)));
        const Pair pair = arcTan2(Pair{y, x}, Pair{x, -y});
        const double one[2] = {arcTan2(y, x), arcTan2(x, -y)};
        EXPECT_EQ(std::memcmp(&pair, one, sizeof one), 0);
    }
    EXPECT_LE(worstTan, 2.0);
    EXPECT_LE(worstCos, 2.5);
    const double special[] = {0.0, -0.0, 1.0, -1.0, HUGE_VAL, -HUGE_VAL, std::numeric_limits<double>::quiet_NaN(),
                              DBL_MAX, 0x1p-1074, 1e-300};
    for (double y : special) {
        for (double x : special) {
            const double a = arcTan2(y, x), b = std::atan2(y, x);
            EXPECT_TRUE(std::isnan(a) ? std::isnan(b)
                                      : std::signbit(a) == std::signbit(b) && (a == b || ulps(a, atan2l(y, x)) <= 2.0))
                << y << ", " << x;
        }
    }
    // Four and eight lanes give each lane's one-lane result to the bit,
    // special lanes beside ordinary ones included (every octant, a ratio
    // near each eighth).
    std::vector<double> ys, xs;
    for (double y : special) {
        for (double x : special) {
            ys.push_back(y);
            xs.push_back(x);
        }
    }
    for (int it = 0; it < 4000; ++it) {
        ys.push_back(unit(rng) * std::pow(10.0, (it % 13) - 6));
        xs.push_back(it % 2 == 0 ? ys.back() * (it % 9) / 8.0 : unit(rng));
    }
    for (std::size_t i = 0; i + 8 <= ys.size(); i += 8) {
        Wide y8, x8;
        Quad y4, x4;
        for (int k = 0; k < 8; ++k) {
            y8[k] = ys[i + k];
            x8[k] = xs[i + k];
        }
        for (int k = 0; k < 4; ++k) {
            y4[k] = ys[i + 4 + k];
            x4[k] = xs[i + 4 + k];
        }
        const Wide wide = arcTan2(y8, x8);
        const Quad quad = arcTan2(y4, x4);
        for (int k = 0; k < 8; ++k) {
            const double one = arcTan2(ys[i + k], xs[i + k]);
            EXPECT_EQ(std::memcmp(&wide[k], &one, sizeof one), 0) << ys[i + k] << ", " << xs[i + k];
            if (k >= 4) {
                EXPECT_EQ(std::memcmp(&quad[k - 4], &one, sizeof one), 0) << ys[i + k] << ", " << xs[i + k];
            }
        }
    }
}

}  // namespace
