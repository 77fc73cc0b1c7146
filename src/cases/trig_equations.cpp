#include "cases/trig_equations.hpp"

#include <cmath>
#include <span>

#include "numeric/polynomial.hpp"
#include "numeric/tolerances.hpp"

namespace kin {

namespace {

//! Appends the two circle points above and below x, upper first.
void appendPointsAtX(double x, CirclePoints& out, int& count) {
    const double s = std::sqrt(1 - x * x);
    out.x[count] = x;
    out.y[count] = s;
    ++count;
    out.x[count] = x;
    out.y[count] = -s;
    ++count;
}

//! The largest of six magnitudes (not a number if one of them is not).
double largestMagnitude(double a, double b, double c, double d, double e, double f) {
    double m = std::fabs(a);
    for (const double v : {b, c, d, e, f}) m = std::fabs(v) > m || std::isnan(v) ? std::fabs(v) : m;
    return m;
}

//! A complex number for the root refinement below: plain arithmetic, as
//! the values there are of ordinary size (std::complex guards every product
//! and quotient against infinities, which costs more than the rest).
struct Cx {
    double re, im;
};
inline Cx operator+(Cx a, Cx b) { return {a.re + b.re, a.im + b.im}; }
inline Cx operator-(Cx a, Cx b) { return {a.re - b.re, a.im - b.im}; }
inline Cx operator*(Cx a, Cx b) { return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re}; }
inline double norm(Cx a) { return a.re * a.re + a.im * a.im; }
//! 1 / a (not finite for a = 0).
inline Cx inverse(Cx a) {
    const double n = norm(a);
    return {a.re / n, -a.im / n};
}

//! x^4 + p3 x^3 + p2 x^2 + p1 x + p0.
struct MonicQuartic {
    double p3, p2, p1, p0;
    double value(double x) const { return (((x + p3) * x + p2) * x + p1) * x + p0; }
    Cx value(Cx x) const {
        return (((x + Cx{p3, 0.0}) * x + Cx{p2, 0.0}) * x + Cx{p1, 0.0}) * x + Cx{p0, 0.0};
    }
    Cx slope(Cx x) const {
        return ((Cx{4.0 * x.re, 4.0 * x.im} + Cx{3.0 * p3, 0.0}) * x + Cx{2.0 * p2, 0.0}) * x +
               Cx{p1, 0.0};
    }
};

//! Imaginary part below which the closed form's complex pair may stand for
//! two real roots: near a double root its roots are off by several 1e-3
//! and more, so two close real roots can come back as a pair this near the
//! real axis.
constexpr double kNearReal = 0.1;
//! Imaginary part below which a refined root counts as real (a double root
//! is approached only to about the square root of the rounding error).
constexpr double kRealEnough = 1e-6;

//! Newton steps on all four roots of q at once (the Aberth iteration: the
//! step of each root is a Newton step on q divided by the other three
//! current roots), from the closed form's roots. Two starting values near
//! one root are pushed apart instead of settling on the same root, so a
//! close pair of real roots comes back as two roots. A root is left alone
//! once its step is down to rounding, or once a step below 1e-7 (relative)
//! fails to halve the one before (near a double root rounding stops the
//! approach there). At most 50 rounds; a non-finite step ends them.
void refineRoots(const MonicQuartic& q, std::array<Cx, 4>& z) {
    constexpr int kRounds = 50;
    // Equal starting values (a double root stored twice) would divide by zero.
    for (int j = 1; j < 4; ++j) {
        for (int i = 0; i < j; ++i) {
            if (z[j].re == z[i].re && z[j].im == z[i].im) z[j].im += 1e-7 * j;
        }
    }
    double last[4] = {INFINITY, INFINITY, INFINITY, INFINITY};  // squared relative steps
    bool settled[4] = {};
    for (int round = 0; round < kRounds; ++round) {
        bool moving = false;
        for (int i = 0; i < 4; ++i) {
            if (settled[i]) continue;
            const Cx v = q.value(z[i]);
            Cx others{0.0, 0.0};
            for (int j = 0; j < 4; ++j) {
                if (j != i) others = others + inverse(z[i] - z[j]);
            }
            const Cx step = v * inverse(q.slope(z[i]) - v * others);
            if (!std::isfinite(step.re) || !std::isfinite(step.im)) return;
            z[i] = z[i] - step;
            const double size = norm(step) / (1.0 + norm(z[i]));
            settled[i] = size <= 1e-30 || (size < 1e-14 && size > 0.25 * last[i]);
            last[i] = size;
            moving = moving || !settled[i];
        }
        if (!moving) return;
    }
}

//! The real part of z when z is real enough and passes the residual test.
bool realRoot(const MonicQuartic& q, const Cx& z, double& x) {
    if (!(std::fabs(z.im) <= kRealEnough)) return false;
    if (!(std::fabs(q.value(z.re)) <= ikEps)) return false;
    x = z.re;
    return true;
}

}  // namespace

int solveTrigLinear(double a, double b, double c, CirclePoints& out) {
    const double f = a * a + b * b;
    if (f <= ikEps) return std::fabs(c) > ikEps ? 0 : -1;
    // The line lies at distance |c| / sqrt(f) from the origin; h >= 0 means
    // it meets (or touches) the unit circle.
    const double h = f - c * c;
    if (h < 0.0) return 0;
    const double l = std::sqrt(h);
    out.x[0] = (-a * c + b * l) / f;
    out.y[0] = (-b * c - a * l) / f;
    out.x[1] = (-a * c - b * l) / f;
    out.y[1] = (-b * c + a * l) / f;
    return 2;
}

int solveQuadraticFull(double a, double b, double c, std::array<double, 2>& t) {
    if (std::fabs(a) > ikEps) return solveQuadratic(b / a, c / a, std::span<double, 2>(t));
    if (std::fabs(b) > ikEps) {
        t[0] = -c / (2 * b);
        return 1;
    }
    if (std::fabs(c) > ikEps) return 0;
    return -1;
}

int solveTrigConic(double a, double b, double c, double d, double e, double f,
                   CirclePoints& out) {
    const double l = a - b;
    const double m = l * l + 4 * c * c;
    // The tests for negligible terms are absolute, but the equation may be
    // scaled by any factor: a conic whose coefficients are all small (a
    // target close to an axis, a short link offset) has terms far from
    // negligible against its own size that fall below them. Where such a
    // conic would take one of the degenerate branches it is solved again at
    // unit scale, so that no term counts as negligible against a scale
    // smaller than 1.
    const double scale = largestMagnitude(a, b, c, d, e, f);
    const bool small = 0.0 < scale && scale < 1.0;

    // No quadratic terms left on the circle: a straight line.
    if (m <= ikEps) {
        if (small) return solveTrigConic(a / scale, b / scale, c / scale, d / scale, e / scale, f / scale, out);
        return solveTrigLinear(2 * d, 2 * e, f, out);
    }

    // Substituting y from the conic into x^2 + y^2 = 1 gives a quartic in x.
    const double k3 = 4 * (d * l + 2 * c * e);
    const double k2 = 2 * (l * f + 2 * (d * d + e * e - c * c));
    const double k1 = 4 * (d * f - 2 * c * e);
    const double k0 = f * f - 4 * e * e;
    const double p3 = k3 / m;
    const double p2 = k2 / m;
    const double p1 = k1 / m;
    const double p0 = k0 / m;
    std::array<double, 4> roots{};
    const int found = solveQuartic(p3, p2, p1, p0, std::span<double, 4>(roots));

    // Keep the roots that satisfy the quartic, in their order. A residual
    // that is not a number fails the test as well.
    bool passes[4] = {};
    bool refine = false;
    for (int i = 0; i < found; ++i) {
        const double r = roots[i];
        const double residual = (((r + p3) * r + p2) * r + p1) * r + p0;
        passes[i] = std::fabs(residual) <= ikEps;
        refine = refine || !passes[i];
    }
    for (int i = found + 1; i < 4; i += 2) refine = refine || roots[i] <= kNearReal;

    int kept = 0;
    if (!refine) {
        for (int i = 0; i < found; ++i) roots[kept++] = roots[i];
    } else {
        // A real root that fails, or a pair close to the real axis: refine
        // all four together. Roots that passed stay exactly as they were; a
        // failed one is replaced by its refined value when that is real and
        // passes; real roots refined from a pair follow.
        const MonicQuartic q{p3, p2, p1, p0};
        // A failed root starts a little off the real axis (alternately above
        // and below), so that it can reach a complex root: from real values
        // alone the iteration never leaves the axis.
        std::array<Cx, 4> z;
        double offAxis = 1e-3;
        for (int i = 0; i < found; ++i) {
            z[i] = {roots[i], passes[i] ? 0.0 : offAxis};
            if (!passes[i]) offAxis = -offAxis;
        }
        for (int i = found; i < 4; i += 2) {
            z[i] = {roots[i], roots[i + 1]};
            z[i + 1] = {roots[i], -roots[i + 1]};
        }
        refineRoots(q, z);
        double x = 0.0;
        for (int i = 0; i < 4; ++i) {
            if (i < found && passes[i]) {
                roots[kept++] = roots[i];
            } else if (realRoot(q, z[i], x)) {
                roots[kept++] = x;
            }
        }
    }

    int count = 0;
    for (int i = 0; i < kept; ++i) {
        const double x = roots[i];
        const double g = c * x + e;
        if (std::fabs(g) > ikEps) {
            out.x[count] = x;
            out.y[count] = -((2 * d + l * x) * x + f) / (2 * g);
            ++count;
            continue;
        }

        // y is not fixed by x here: the conic is a pair of lines. Rebuild the
        // whole solution set from the two lines.
        if (small) return solveTrigConic(a / scale, b / scale, c / scale, d / scale, e / scale, f / scale, out);
        if (std::fabs(c) > ikEps) {
            // (x + e/c) * (q*x + 2y + r) = 0.
            const double q = l / c;
            const double r = (2 * d - e * q) / c;
            count = solveTrigLinear(q, 2.0, r, out);
            const double x0 = -e / c;
            if (std::fabs(x0) <= 1) appendPointsAtX(x0, out, count);
            return count;
        }

        // c and e negligible: l*x^2 + 2d*x + f = 0, any y on the circle.
        std::array<double, 2> xr{};
        const int nx = solveQuadratic(d / l, f / l, std::span<double, 2>(xr));
        count = 0;
        for (int j = 0; j < nx; ++j) {
            const double xj = xr[j];
            if (std::fabs(xj) > 1) continue;
            appendPointsAtX(xj, out, count);
        }
        return count;
    }
    return count;
}

}  // namespace kin
