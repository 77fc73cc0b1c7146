#include "cases/trig_equations.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <span>
#include <vector>

#include "numeric/polynomial.hpp"
#include "numeric/geometry_types.hpp"

namespace kin {
namespace {

constexpr double kSentinel = 12345.0;

CirclePoints sentinelPoints() {
    CirclePoints p;
    p.x.fill(kSentinel);
    p.y.fill(kSentinel);
    return p;
}

struct Pt {
    double x, y;
};

// ---------------------------------------------------------------------------
// solveTrigLinear

struct LinearCase {
    double a, b, c;
    int count;
    std::vector<Pt> points;  // in order
};

TEST(SolveTrigLinear, Table) {
    const double h = 0.8660254037844386;
    const std::vector<LinearCase> cases = {
        {1, 0, -0.5, 2, {{0.5, -h}, {0.5, h}}},
        {1, 0, -1, 2, {{1, 0}, {1, 0}}},  // tangent: the same point twice
        {1, 0, -1.5, 0, {}},
        {0, 0, 0, -1, {}},
        {0, 0, 0.5, 0, {}},
        {0, 1, -0.5, 2, {{h, 0.5}, {-h, 0.5}}},
        {2, 0, -1, 2, {{0.5, -h}, {0.5, h}}},  // scaling changes nothing
        // Coefficients of cos and sin are negligible by their sum of squares
        // (an absolute test), so the constant decides between none and all.
        {1e-5, 0, 1e-9, -1, {}},
        {1e-5, 0, 2e-8, 0, {}},
        {0, 2e-4, 0, 2, {{1, 0}, {-1, 0}}},  // small but above the threshold
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(::testing::Message() << "a=" << k.a << " b=" << k.b << " c=" << k.c);
        CirclePoints p = sentinelPoints();
        const int n = solveTrigLinear(k.a, k.b, k.c, p);
        ASSERT_EQ(n, k.count);
        for (int i = 0; i < n; ++i) {
            EXPECT_NEAR(p.x[i], k.points[i].x, 1e-15) << "point " << i;
            EXPECT_NEAR(p.y[i], k.points[i].y, 1e-15) << "point " << i;
        }
        // Nothing is written beyond the points reported.
        for (int i = n < 0 ? 0 : n; i < 4; ++i) {
            EXPECT_EQ(p.x[i], kSentinel);
            EXPECT_EQ(p.y[i], kSentinel);
        }
    }
}

TEST(SolveTrigLinear, SeededSweepPointsLieOnLineAndCircle) {
    std::mt19937_64 rng(20240611);
    std::uniform_real_distribution<double> coef(-3.0, 3.0);
    int solved = 0;
    for (int k = 0; k < 20000; ++k) {
        const double a = coef(rng), b = coef(rng), c = coef(rng);
        CirclePoints p;
        const int n = solveTrigLinear(a, b, c, p);
        const double f = a * a + b * b;
        ASSERT_EQ(n, f - c * c < 0.0 ? 0 : 2);
        for (int i = 0; i < n; ++i) {
            EXPECT_NEAR(p.x[i] * p.x[i] + p.y[i] * p.y[i], 1.0, 1e-12);
            EXPECT_NEAR(a * p.x[i] + b * p.y[i] + c, 0.0, 1e-12);
        }
        solved += n > 0;
    }
    EXPECT_GT(solved, 5000);
}

// ---------------------------------------------------------------------------
// solveQuadraticFull

TEST(SolveQuadraticFull, DegenerateLeadingTerms) {
    struct Case {
        double a, b, c;
        int count;
        double t0;
    };
    const Case cases[] = {
        {0, 1, -4, 1, 2.0},
        {1e-9, 1, -4, 1, 2.0},  // a negligible: solved as linear
        {0, -0.5, 3, 1, 3.0},
        {0, 0, 3, 0, 0},
        {0, 0, 0, -1, 0},
        {1e-9, 1e-9, 1e-9, -1, 0},
        {1e-9, 1e-9, 2e-8, 0, 0},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(::testing::Message() << "a=" << k.a << " b=" << k.b << " c=" << k.c);
        std::array<double, 2> t{kSentinel, kSentinel};
        ASSERT_EQ(solveQuadraticFull(k.a, k.b, k.c, t), k.count);
        if (k.count == 1) {
            EXPECT_EQ(t[0], k.t0);
        } else {
            EXPECT_EQ(t[0], kSentinel);
        }
        EXPECT_EQ(t[1], kSentinel);
    }
}

TEST(SolveQuadraticFull, FullQuadraticDividesByLeadingCoefficient) {
    struct Case {
        double a, b, c;
        int count;
        double lo, hi;
    };
    const Case cases[] = {
        {1, -3, 8, 2, 2.0, 4.0},    // t^2 - 6t + 8
        {2, -6, 16, 2, 2.0, 4.0},   // the same, doubled
        {-0.5, 0.5, 1.5, 2, -1.0, 3.0},
        {1, 0, 1, 0, 0, 0},         // complex pair
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(::testing::Message() << "a=" << k.a << " b=" << k.b << " c=" << k.c);
        std::array<double, 2> t{};
        const int n = solveQuadraticFull(k.a, k.b, k.c, t);
        ASSERT_EQ(n, k.count);
        // Same roots, bit for bit, as the monic solver on (b/a, c/a).
        std::array<double, 2> ref{};
        ASSERT_EQ(solveQuadratic(k.b / k.a, k.c / k.a, std::span<double, 2>(ref)), n);
        if (n == 2) {
            EXPECT_EQ(t[0], ref[0]);
            EXPECT_EQ(t[1], ref[1]);
            EXPECT_NEAR(std::fmin(t[0], t[1]), k.lo, 1e-12);
            EXPECT_NEAR(std::fmax(t[0], t[1]), k.hi, 1e-12);
        }
    }
}

// ---------------------------------------------------------------------------
// solveTrigConic

// Value of (a - b)x^2 + 2c xy + 2d x + 2e y + f.
double conicValue(const std::array<double, 6>& k, double x, double y) {
    return (k[0] - k[1]) * x * x + 2 * k[2] * x * y + 2 * k[3] * x + 2 * k[4] * y + k[5];
}

TEST(SolveTrigConic, Table) {
    const double h = 0.8660254037844386;
    const double r = std::sqrt(0.96);
    struct Case {
        const char* what;
        std::array<double, 6> k;  // a, b, c, d, e, f
        int count;
        std::vector<Pt> points;
    };
    const std::vector<Case> cases = {
        {"no quadratic terms: the line x = 0", {0, 0, 0, 0.5, 0, 0}, 2, {{0, -1}, {0, 1}}},
        {"quadratic terms below the absolute threshold are ignored",
         {5e-5, 0, 0, 0.5, 0, 0}, 2, {{0, -1}, {0, 1}}},
        {"equal x^2 and y^2 weights cancel on the circle", {0.7, 0.7, 0, 0.5, 0, 0}, 2,
         {{0, -1}, {0, 1}}},
        {"identically satisfied", {0, 0, 0, 0, 0, 0}, -1, {}},
        {"constant only", {0, 0, 0, 0, 0, 0.5}, 0, {}},
        {"parabola y = 0.5 - x^2", {1, 0, 0, 0, 0.5, -0.5}, 2,
         {{0.9306048591020996, -0.3660254037844386}, {-0.9306048591020996, -0.3660254037844386}}},
        // (x - 0.5)(y - 0.2) = 0: the vertical line stops y from following
        // x; the full set is rebuilt from the two lines, the other line's
        // points first.
        {"line pair with a vertical line", {0, 0, 0.5, -0.1, -0.25, 0.1}, 4,
         {{r, 0.2}, {-r, 0.2}, {0.5, h}, {0.5, -h}}},
        // (x - 0.5)(y - 0.5x - 0.2) = 0, the same with a slanted line.
        {"vertical and slanted line", {-0.5, 0, 0.5, 0.025, -0.25, 0.1}, 4,
         {{0.8, 0.6}, {-0.96, -0.28}, {0.5, h}, {0.5, -h}}},
        // x^2 - 0.25 = 0: free in y, two points for each root.
        {"free in y", {1, 0, 0, 0, 0, -0.25}, 4, {{0.5, h}, {0.5, -h}, {-0.5, h}, {-0.5, -h}}},
        {"circle missed entirely", {1, 0, 0, 0, 0, -4}, 0, {}},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.what);
        CirclePoints p = sentinelPoints();
        const int n = solveTrigConic(k.k[0], k.k[1], k.k[2], k.k[3], k.k[4], k.k[5], p);
        ASSERT_EQ(n, k.count);
        for (int i = 0; i < n; ++i) {
            EXPECT_NEAR(p.x[i], k.points[i].x, 1e-12) << "point " << i;
            EXPECT_NEAR(p.y[i], k.points[i].y, 1e-12) << "point " << i;
        }
        for (int i = n < 0 ? 0 : n; i < 4; ++i) EXPECT_EQ(p.x[i], kSentinel);
    }
}

// A conic through known points of the unit circle: the product of two
// lines, plus a multiple of x^2 + y^2 - 1 (which vanishes on the circle),
// scaled by a random factor.
struct Line {
    double a, b, c;  // a x + b y + c = 0
};

Line lineThrough(Pt p, Pt q) {
    const double a = q.y - p.y;
    const double b = -(q.x - p.x);
    return {a, b, -(a * p.x + b * p.y)};
}

std::array<double, 6> conicOfLines(const Line& l1, const Line& l2, double lambda, double s) {
    const double A = l1.a * l2.a + lambda;
    const double B = l1.b * l2.b + lambda;
    const double C = 0.5 * (l1.a * l2.b + l2.a * l1.b);
    const double D = 0.5 * (l1.a * l2.c + l2.a * l1.c);
    const double E = 0.5 * (l1.b * l2.c + l2.b * l1.c);
    const double F = l1.c * l2.c - lambda;
    return {s * A, s * B, s * C, s * D, s * E, s * (F + B)};
}

// True when the x coordinates are pairwise at least gap apart, so that the
// quartic in x has simple roots.
bool xSeparated(const std::vector<Pt>& pts, double gap) {
    for (size_t i = 0; i < pts.size(); ++i)
        for (size_t j = i + 1; j < pts.size(); ++j)
            if (std::fabs(pts[i].x - pts[j].x) < gap) return false;
    return true;
}

// Number of returned points that each match a distinct known point within
// tol (tolY for the sine, if given), or -1 when some returned point matches
// none.
int matchedPoints(const CirclePoints& got, int n, const std::vector<Pt>& want, double tol,
                  double tolY = 0.0) {
    if (tolY == 0.0) tolY = tol;
    std::vector<bool> used(want.size(), false);
    for (int i = 0; i < n; ++i) {
        bool matched = false;
        for (size_t j = 0; j < want.size() && !matched; ++j) {
            if (!used[j] && std::fabs(got.x[i] - want[j].x) < tol &&
                std::fabs(got.y[i] - want[j].y) < tolY) {
                used[j] = matched = true;
            }
        }
        if (!matched) return -1;
    }
    return n;
}

// The quartic solver's roots carry errors of about 1e-8 (its seven-digit
// constants), more where roots lie close together; a root that fails the
// residual test is refined, so the full set must come back. Every returned
// point must be one of the known points (to 1e-4).
struct SweepTally {
    int tested = 0, complete = 0;
};

void tally(SweepTally& t, const CirclePoints& p, int n, const std::vector<Pt>& pts,
           const std::array<double, 6>& k) {
    ++t.tested;
    ASSERT_GE(n, 0);
    ASSERT_LE(n, static_cast<int>(pts.size()));
    const int m = matchedPoints(p, n, pts, 1e-4);
    EXPECT_EQ(m, n) << "a returned point is none of the known points";
    for (int i = 0; i < n; ++i) {
        EXPECT_NEAR(p.x[i] * p.x[i] + p.y[i] * p.y[i], 1.0, 1e-4);
        EXPECT_NEAR(conicValue(k, p.x[i], p.y[i]), 0.0, 1e-4);
    }
    t.complete += m == static_cast<int>(pts.size());
}

TEST(SolveTrigConic, SeededSweepKnownPoints) {
    // Two lines through four random circle points, or one such line and one
    // that passes well clear of the circle (two real points only).
    struct Kind {
        bool farSecondLine;
        double minComplete;
    };
    for (const Kind kind : {Kind{false, 1.0}, Kind{true, 1.0}}) {
        SCOPED_TRACE(kind.farSecondLine ? "two points" : "four points");
        std::mt19937_64 rng(7);
        std::uniform_real_distribution<double> angle(-piValue, piValue);
        std::uniform_real_distribution<double> dist(1.2, 3.0);
        std::uniform_real_distribution<double> lam(-2.0, 2.0);
        std::uniform_real_distribution<double> scale(0.5, 2.0);
        SweepTally t;
        while (t.tested < 5000) {
            std::vector<Pt> pts;
            for (int i = 0; i < (kind.farSecondLine ? 2 : 4); ++i) {
                const double a = angle(rng);
                pts.push_back({std::cos(a), std::sin(a)});
            }
            Line second;
            if (kind.farSecondLine) {
                const double dir = angle(rng);
                second = {std::cos(dir), std::sin(dir), -dist(rng)};
            } else {
                second = lineThrough(pts[2], pts[3]);
            }
            const auto k = conicOfLines(lineThrough(pts[0], pts[1]), second, lam(rng), scale(rng));
            const double l = k[0] - k[1];
            if (!xSeparated(pts, 0.05) || l * l + 4 * k[2] * k[2] < 1e-2) continue;
            CirclePoints p;
            const int n = solveTrigConic(k[0], k[1], k[2], k[3], k[4], k[5], p);
            tally(t, p, n, pts, k);
            if (::testing::Test::HasFailure()) return;
        }
        EXPECT_GE(t.complete, kind.minComplete * t.tested);
    }
}

// Four circle points in two close pairs (their cosines 1e-5 to 1e-2 apart,
// so the quartic has two near-double roots), the conic scaled down as far
// as 1e-9: the closed form's roots there miss the residual test or come
// back complex, and the absolute tests for negligible terms would misjudge
// the small conics. No point may be lost. The points are matched by their
// cosine (to 1e-4) and only roughly by their sine (to 0.1): a root that
// passes the residual test is used as the closed form gives it, which near a
// double root can be off by 1e-7 and more, and with two points of nearly
// equal cosine the conic fixes the sine only weakly.
TEST(SolveTrigConic, NearDoubleRootsAndSmallScalesKeepEveryPoint) {
    std::mt19937_64 rng(8);
    std::uniform_real_distribution<double> angle(-piValue, piValue);
    std::uniform_real_distribution<double> logGap(-5.0, -2.0);
    std::uniform_real_distribution<double> lam(-2.0, 2.0);
    int tested = 0;
    while (tested < 2000) {
        // Angles t and -t + gap have cosines about gap * sin(t) apart.
        const double t1 = angle(rng), t3 = angle(rng);
        const double t2 = -t1 + std::pow(10.0, logGap(rng)), t4 = -t3 + std::pow(10.0, logGap(rng));
        const std::vector<Pt> pts = {{std::cos(t1), std::sin(t1)},
                                     {std::cos(t2), std::sin(t2)},
                                     {std::cos(t3), std::sin(t3)},
                                     {std::cos(t4), std::sin(t4)}};
        if (std::fabs(std::sin(t1)) < 0.2 || std::fabs(std::sin(t3)) < 0.2 ||
            std::fabs(pts[0].x - pts[2].x) < 0.05) {
            continue;
        }
        const double scale = std::pow(10.0, -9.0 * (tested % 4) / 3.0);  // 1, 1e-3, 1e-6, 1e-9
        const auto k = conicOfLines(lineThrough(pts[0], pts[1]), lineThrough(pts[2], pts[3]),
                                    lam(rng), scale);
        const double l = k[0] - k[1];
        if (l * l + 4 * k[2] * k[2] < 1e-2 * scale * scale) continue;
        ++tested;
        CirclePoints p;
        const int n = solveTrigConic(k[0], k[1], k[2], k[3], k[4], k[5], p);
        ASSERT_EQ(n, 4) << "test " << tested << ", scale " << scale;
        ASSERT_EQ(matchedPoints(p, n, pts, 1e-4, 0.1), 4) << "test " << tested << ", scale " << scale;
    }
}

// A non-finite coefficient must not turn into a point: NaN roots fail the
// residual test and are dropped, so the caller never counts a NaN candidate.
TEST(SolveTrigConic, NonFiniteCoefficientsGiveNoNonFinitePoints) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::array<double, 6> base{0.3, -0.2, 0.1, 0.5, -0.4, 0.05};
    for (const double bad : {nan, inf, -inf}) {
        for (int slot = 0; slot < 6; ++slot) {
            std::array<double, 6> k = base;
            k[slot] = bad;
            CirclePoints p = sentinelPoints();
            const int n = solveTrigConic(k[0], k[1], k[2], k[3], k[4], k[5], p);
            ASSERT_GE(n, -1) << "coefficient " << slot << " = " << bad;
            ASSERT_LE(n, 4) << "coefficient " << slot << " = " << bad;
            for (int i = 0; i < n; ++i) {
                EXPECT_TRUE(std::isfinite(p.x[i]) && std::isfinite(p.y[i]))
                    << "coefficient " << slot << " = " << bad << ", point " << i;
            }
        }
    }
}

}  // namespace
}  // namespace kin
