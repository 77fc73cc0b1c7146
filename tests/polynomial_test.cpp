// Root layouts and orders of the closed-form polynomial solvers, and a seeded
// sweep over well-conditioned random polynomials.

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "numeric/polynomial.hpp"

namespace {

using kin::cubeRoot;
using kin::solveCubic;
using kin::solveQuadratic;
using kin::solveQuartic;

template <std::size_t N>
struct Case {
    std::array<double, N> coef;
    int n;                           // expected number of real roots
    std::array<double, N> roots;     // expected layout
    double tol;
};

template <std::size_t N>
void expectRoots(const Case<N>& c, int n, const std::array<double, N>& r) {
    EXPECT_EQ(n, c.n);
    for (std::size_t i = 0; i < N; ++i) EXPECT_NEAR(r[i], c.roots[i], c.tol) << "root " << i;
}

TEST(CubeRoot, Values) {
    EXPECT_EQ(cubeRoot(0.0), 0.0);
    EXPECT_DOUBLE_EQ(cubeRoot(27.0), 3.0);
    EXPECT_DOUBLE_EQ(cubeRoot(-8.0), -2.0);
    EXPECT_DOUBLE_EQ(cubeRoot(2.0), 1.259921049894873);
    // The Halley step's own rounding, in its written order.
    EXPECT_EQ(cubeRoot(0.1), 0x1.db4c7760bcff4p-2);
    EXPECT_EQ(cubeRoot(4.07), 0x1.98bb432144626p+0);
    EXPECT_EQ(cubeRoot(-12.95), -0x1.2c95a0c21698ap+1);
    for (double x = 1e-30; x < 1e30; x *= 7.3) {
        const double y = cubeRoot(x);
        EXPECT_NEAR(y * y * y / x, 1.0, 1e-14) << x;
        EXPECT_EQ(cubeRoot(-x), -y);
    }
}

TEST(Quadratic, LayoutAndOrder) {
    const std::vector<Case<2>> cases = {
        {{-1.5, 2}, 2, {2, 1}, 1e-15},
        {{1.5, 2}, 2, {-2, -1}, 1e-15},
        {{1, 5}, 0, {-1, 2}, 1e-15},
        {{-2, 0}, 2, {4, 0}, 0},
        {{1, 5e-9}, 2, {-2, 0}, 0},     // a negligible q is taken as zero
        {{-1, 1}, 2, {1, 1}, 0},
        {{-1, 1.000000000001}, 0, {1, 1e-6}, 1e-9},  // no tolerance on the discriminant
    };
    for (const auto& c : cases) {
        std::array<double, 2> r{};
        SCOPED_TRACE(testing::Message() << "p=" << c.coef[0] << " q=" << c.coef[1]);
        expectRoots(c, solveQuadratic(c.coef[0], c.coef[1], r), r);
    }
}

TEST(Cubic, LayoutAndOrder) {
    const std::vector<Case<3>> cases = {
        {{-6, 11, -6}, 3, {2, 1, 3}, 1e-12},
        {{0, 0, -1}, 1, {1, -0.5, 0.8660254}, 1e-12},  // the seven-digit sqrt(3)/2 of the solver
        {{0, 0, 1}, 1, {-1, 0.5, 0.8660254}, 1e-12},
        {{0, -3, 2}, 3, {1, 1, -2}, 1e-12},   // double root
        {{-3, 2, 0}, 3, {0, 2, 1}, 1e-15},    // zero constant term
        {{0, 1, 0}, 1, {0, 0, 1}, 1e-15},
        {{-3, 3, -1}, 3, {1, 1, 1}, 1e-12},   // triple root, q negligible
        // (x-10)(x-0.1)(x-0.2): the small roots come back through refinement.
        {{-10.3, 3.02, -0.2}, 3, {10, 0.1, 0.2}, 2e-8},
    };
    for (const auto& c : cases) {
        std::array<double, 3> r{};
        SCOPED_TRACE(testing::Message() << "a=" << c.coef[0] << " b=" << c.coef[1] << " c=" << c.coef[2]);
        expectRoots(c, solveCubic(c.coef[0], c.coef[1], c.coef[2], r), r);
    }
}

TEST(Quartic, LayoutAndOrder) {
    const double h = 0.9306048591020996;  // 0.75^(1/4)
    const std::vector<Case<4>> cases = {
        {{0, 0, 0, -0.75}, 2, {h, -h, 0, h}, 1e-15},
        {{0, 0, 0, -1}, 2, {1, -1, 0, 1}, 1e-15},
        {{0, 0, 0, 1}, 0, {0.7071067811865475, 0.7071067811865476, -0.7071067811865476, 0.7071067811865476}, 1e-15},
        {{-10, 35, -50, 24}, 4, {4, 3, 2, 1}, 1e-12},
        {{-6, 11, -6, 0}, 4, {0, 2, 1, 3}, 1e-12},
        {{-3, 3, -3, 2}, 2, {2, 1, 0, 1}, 1e-12},
        {{0, -2, 0, 1}, 4, {-1, -1, 1, 1}, 1e-12},
        {{-4, 6, -4, 1}, 4, {1, 1, 1, 1}, 1e-12},
        // Seven-digit sqrt(3) in the resolvent: the pairs are off by ~1e-8.
        {{0, 5, 0, 4}, 0, {0, 0.99999999074, 0, 2.0000000185}, 1e-10},
    };
    for (const auto& c : cases) {
        std::array<double, 4> r{};
        SCOPED_TRACE(testing::Message() << "a=" << c.coef[0] << " b=" << c.coef[1]
                                        << " c=" << c.coef[2] << " d=" << c.coef[3]);
        expectRoots(c, solveQuartic(c.coef[0], c.coef[1], c.coef[2], c.coef[3], r), r);
    }
}

// Exact results of the arithmetic in its written order, for inputs that
// between them take the branches of both solvers. A regrouped expression, a
// constant at full precision or a moved threshold changes some last bit here
// long before it shows in a tolerance.
template <std::size_t N>
struct Pinned {
    std::array<double, N> coef;
    int n;
    std::array<double, N> roots;
};

TEST(PolynomialBits, BranchCover) {
    const std::vector<Pinned<3>> cubics = {
        {{6.0, 1.0, 1.0}, 1, {-0x1.76f0b908f876fp+2, -0x1.21e8dee0f124ap-4, 0x1.a0cff1ba899fbp-2}},
        {{5.0, 6.0, 1.0}, 3, {-0x1.9f9d07145f6eap+1, -0x1.95a1a0fc6e560p-3, -0x1.8e11bdb7b3581p+0}},
        {{3.0, 5.0, 3.0}, 1, {-0x1.fffffffffffffp-1, -1.0, 0x1.6a09e667f3bcdp+0}},
        {{2.0, 1.0, 0.0}, 3, {0.0, -1.0, -1.0}},
        {{3.0, 3.0, 1.0}, 3, {-1.0, -1.0, -1.0}},
        {{4.0, 5.0, 2.0}, 3, {-1.0, -1.0, -0x1.ffffffffffffep+0}},
        {{-10.3, 3.02, -0.2}, 3, {10.0, 0x1.999998dabb1c9p-4, 0x1.99999a5878170p-3}},
        {{6.0, -5.0, -0.5}, 3, {-0x1.aed47ad7e0192p+2, 0x1.a4e6641f9a440p-1, -0x1.72145beaee268p-4}},
        {{-5.065784202434424, 6.0, 0.5}, 3, {-0x1.3fe987abd8668p-4, 0x1.844d77a61f580p+1, 0x1.0e1d72790813ep+1}},
        {{92.1323372221401, 2.0, -1.0}, 3, {-0x1.70712890d1001p+6, -0x1.d9d395b0570c1p-4, 0x1.806836622d91bp-4}},
        {{41.7, 24.1, 3.5}, 3, {-0x1.48ed64c3d2d14p+5, -0x1.380e60bea158ap-2, -0x1.1e09f7a2ab66ep-2}},
    };
    const std::vector<Pinned<4>> quartics = {
        {{0.0, 2.0, 0.0, 1.0}, 0, {-0.0, 1.0, -0.0, 1.0}},
        {{6.0, 0.5, 1.0, 0.0}, 2, {0.0, -0x1.7c6d8b685a346p+2, -0x1.c93a4bd2e5ce1p-6, 0x1.a307f149fcc04p-2}},
        {{-3.0, 1.5, 1.0, 0.0}, 4, {0.0, -0x1.76cf5d0b09958p-2, 0x1.0000004ba0effp+1, 0x1.5db3d6ab80858p+0}},
        {{2.0, 1.0, 0.0, -1.0}, 2, {-0x1.9e3779b97f4a8p+0, 0x1.3c6ef372fe94fp-1, -0.5, 0x1.bb67ae8584caap-1}},
        {{1.5, 0.0, 1.5, -2.0}, 2, {-0x1.096326b4014c7p+1, 0x1.794048b2cf527p-1, -0x1.4eceb78b2882cp-4, 0x1.242a4cabf0fc5p+0}},
        {{3.0, 0.0, -2.0, 0.0}, 4, {0.0, -1.0, -0x1.5db3d742c2655p+1, 0x1.76cf5d0b09954p-1}},
        {{2.0, 1.5, 0.5, 2.0}, 0, {0x1.56453c8cb1451p-2, 0x1.ab229e4658a27p-1, -0x1.55914f232c514p+0, 0x1.ab229e4658a25p-1}},
        {{0.0, 0.0, 0.0, -2.0}, 2, {0x1.306fe0a31b715p+0, -0x1.306fe0a31b716p+0, -0.0, 0x1.306fe0a31b715p+0}},
        {{-1.5, 0.5, 0.5, -1.0}, 2, {0x1.47e0f66afed07p+0, -0x1.8fc1ecd5fda0ep-1, 0.5, 0x1.bb67ae8584caap-1}},
        {{2.5, 0.0, 2.0, 0.0}, 2, {0.0, -0x1.618de45e1c83ep+1, 0x1.0c6f22f0e41f0p-3, 0x1.ae7988c85149fp-1}},
        {{1.5, 3.0, 0.0, 0.0}, 2, {0.0, 0.0, -0.75, 0x1.8fae0c15ad38ap+0}},
        {{2.0, 1.0, 0.0, 1.5}, 0, {0x1.76cf5d0b09957p-2, 0x1.6a09e667f3bcdp-1, -0x1.5db3d742c2656p+0, 0x1.6a09e667f3bc8p-1}},
        {{3.0, 2.5, 3.0, 1.0}, 2, {-0x1.34293ce26d456p+1, -0x1.a9560361540fbp-2, -0x1.6ac02b16838b2p-4, 0x1.fdfcf8ec8586cp-1}},
        {{2.5, 2.0, 0.5, 0.0}, 4, {0.0, -0x1.ffffffffffffcp-1, -0x1.ffffffffffffcp-1, -0x1.0000000000008p-1}},
        {{1.0, 0.5, 2.0, 1.5}, 2, {-1.0, -1.0, 0.5, 0x1.1e3779b97f4a8p+0}},
        {{3.0, -2.5, 3.0, -0.5}, 2, {-0x1.edd9cec0a992cp+1, 0x1.83baffd5199e8p-3, 0x1.56787b0d5fe37p-2, 0x1.83742fa2bf706p-1}},
        {{2.0, 2.5, 2.26141527559745, 1.0}, 0, {-0x1.b9b07fb6a7605p-1, 0x1.4e72b7e5650d5p-2, -0x1.193e0125627ebp-3, 0x1.134aa076711b5p+0}},
        {{-0x1.50ff51f0fd9acp-29, 0.0, 0.0, -1.0}, 2, {0x1.0000000543fd4p+0, -0x1.fffffff578058p-1, -0.0, 1.0}},
        {{1.0, 3.0, 3.0, 0x1.46392f56d58d3p-24}, 2, {-0x1.ffffffede0614p-1, -0x1.b2f6ea81df443p-26, 0x1.8eb7acfe5ee73p-27, 0x1.bb67ae2f31a05p+0}},
        {{0.0, -7.1, 0.0, 12.6}, 4, {0x1.e72201dd41940p+0, -0x1.e2543929226e5p+0, -0x1.e2543929226cbp+0, 0x1.dd86707503470p+0}},
        {{-0.6, 0.12, -0.01, 0.0}, 2, {0.0, 0x1.4dd0dfd6bc76ap-2, 0x1.1895868fa9efbp-3, 0x1.beec9af30f4bep-4}},
        {{2.07, 6.4, 5.52, 7.1}, 0, {-0.5175, 0x1.8c5af2f7c101cp+0, -0x1.09084902dcc54p-1, 0x1.8c496743a21f8p+0}},
        {{0.115196, 0.004976, 9.6e-05, 1e-06}, 4, {-0x1.d7d7c2ca148bbp-5, 0.0, -0x1.d7d7c2ca148bbp-5, 0.0}},
        // (x + 1.001)(x + 0.999)((x + 1)^2 + 9): Y rounds just below R0 with a nearly
        // real pair, so the pair's real part is used. The factors that come out are
        // not factors of this quartic: two of the four "real" roots are not roots,
        // and -1.001, -0.999 are missed. Callers drop such roots by their residual.
        {{4.0, 14.999999, 21.999998, 9.99999}, 4, {-1.0, -1.0, -0x1.0000165e99cd9p+2, -0x1.3fffcf110e7cdp+1}},
    };
    for (const auto& c : cubics) {
        std::array<double, 3> r{};
        EXPECT_EQ(solveCubic(c.coef[0], c.coef[1], c.coef[2], r), c.n);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(r[i], c.roots[i]) << "cubic {" << c.coef[0] << ", " << c.coef[1] << ", " << c.coef[2] << "} root " << i;
    }
    for (const auto& c : quartics) {
        std::array<double, 4> r{};
        EXPECT_EQ(solveQuartic(c.coef[0], c.coef[1], c.coef[2], c.coef[3], r), c.n);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(r[i], c.roots[i]) << "quartic {" << c.coef[0] << ", " << c.coef[1] << ", " << c.coef[2]
                                        << ", " << c.coef[3] << "} root " << i;
    }
}

//! Distance from z to the nearest root as Newton estimates it, |P(z)/P'(z)|,
//! for the monic polynomial with the given lower coefficients.
template <std::size_t N>
double newtonStep(const std::array<double, N>& coef, std::complex<double> z) {
    std::complex<double> v = 1.0;
    std::complex<double> dv = 0.0;
    for (double c : coef) {
        dv = dv * z + v;
        v = v * z + c;
    }
    return std::abs(v / dv);
}

//! Multiplies out prod (x^2 + g*x + e) over the given factors.
std::vector<double> expand(const std::vector<std::array<double, 2>>& factors) {
    std::vector<double> p{1.0};
    for (const auto& f : factors) {
        std::vector<double> q(p.size() + 2, 0.0);
        for (std::size_t i = 0; i < p.size(); ++i) {
            q[i] += p[i];
            q[i + 1] += f[0] * p[i];
            q[i + 2] += f[1] * p[i];
        }
        p = q;
    }
    return p;
}

// Roots in [-2, 2] at least 0.5 apart, imaginary parts at least 0.5: the
// number of real roots must be right and every returned root must lie on a
// true root. Real roots come out to about 1e-7. A quartic's complex pairs are
// looser: when the two factors' constant terms are close (pairs of similar
// modulus), the seven-digit sqrt(3) in the resolvent is amplified to ~1e-3.
TEST(PolynomialSweep, WellConditionedRootsHaveSmallResidual) {
    std::mt19937_64 rng(20240601);
    std::uniform_real_distribution<double> re(-2.0, 2.0);
    std::uniform_real_distribution<double> im(0.5, 2.0);
    auto separatedReals = [&](int k) {
        std::vector<double> r(k);
        do {
            for (double& x : r) x = re(rng);
            std::sort(r.begin(), r.end());
        } while (std::adjacent_find(r.begin(), r.end(), [](double a, double b) { return b - a < 0.5; }) != r.end());
        return r;
    };
    auto pairFactor = [&] {
        const double u = re(rng);
        const double v = im(rng);
        return std::array<double, 2>{-2.0 * u, u * u + v * v};
    };
    auto check = [](const auto& coef, const auto& roots, int n, int nReal, double pairTol) {
        ASSERT_EQ(n, nReal);
        for (int i = 0; i < n; ++i) EXPECT_LT(newtonStep(coef, roots[i]), 2e-6) << "real root " << i;
        for (int i = n; i + 1 < static_cast<int>(roots.size()); i += 2) {
            EXPECT_GE(roots[i + 1], 0.0);
            EXPECT_LT(newtonStep(coef, {roots[i], roots[i + 1]}), pairTol) << "pair at " << i;
        }
    };
    for (int it = 0; it < 20000; ++it) {
        // Cubics: three real roots, or one and a pair.
        const bool threeReal = it % 2 == 0;
        std::vector<double> p;
        if (threeReal) {
            const auto r = separatedReals(3);
            p = expand({{-(r[0] + r[1]), r[0] * r[1]}});
            p = {1.0, p[1] - r[2], p[2] - r[2] * p[1], -r[2] * p[2]};
        } else {
            const double r = re(rng);
            p = expand({pairFactor()});
            p = {1.0, p[1] - r, p[2] - r * p[1], -r * p[2]};
        }
        const std::array<double, 3> c3{p[1], p[2], p[3]};
        std::array<double, 3> r3{};
        SCOPED_TRACE(testing::Message() << "cubic " << it);
        check(c3, r3, solveCubic(c3[0], c3[1], c3[2], r3), threeReal ? 3 : 1, 2e-6);

        // Quartics: four, two or no real roots.
        const int nReal = 4 - 2 * (it % 3);
        std::vector<std::array<double, 2>> f;
        if (nReal >= 2) {
            const auto r = separatedReals(nReal);
            for (int i = 0; i < nReal; i += 2) f.push_back({-(r[i] + r[i + 1]), r[i] * r[i + 1]});
        }
        if (nReal == 2) f.push_back(pairFactor());
        while (nReal == 0) {  // two pairs at least 0.5 apart
            f = {pairFactor(), pairFactor()};
            const auto root = [](const std::array<double, 2>& q) {
                return std::complex<double>(-0.5 * q[0], std::sqrt(q[1] - 0.25 * q[0] * q[0]));
            };
            if (std::abs(root(f[0]) - root(f[1])) >= 0.5) break;
        }
        p = expand(f);
        const std::array<double, 4> c4{p[1], p[2], p[3], p[4]};
        std::array<double, 4> r4{};
        SCOPED_TRACE(testing::Message() << "quartic " << it);
        check(c4, r4, solveQuartic(c4[0], c4[1], c4[2], c4[3], r4), nReal, 5e-3);
    }
}

}  // namespace
