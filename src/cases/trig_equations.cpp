#include "cases/trig_equations.hpp"

#include <cmath>
#include <span>

#include "numeric/polynomial.hpp"

namespace kin {

namespace {

//! Threshold below which a coefficient, a sum of squares or a residual counts
//! as zero.
constexpr double kNegligible = 1e-8;

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

}  // namespace

int solveTrigLinear(double a, double b, double c, CirclePoints& out) {
    const double f = a * a + b * b;
    if (f <= kNegligible) return std::fabs(c) > kNegligible ? 0 : -1;
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
    if (std::fabs(a) > kNegligible) return solveQuadratic(b / a, c / a, std::span<double, 2>(t));
    if (std::fabs(b) > kNegligible) {
        t[0] = -c / (2 * b);
        return 1;
    }
    if (std::fabs(c) > kNegligible) return 0;
    return -1;
}

int solveTrigConic(double a, double b, double c, double d, double e, double f,
                   CirclePoints& out) {
    const double l = a - b;
    const double m = l * l + 4 * c * c;
    // No quadratic terms left on the circle: a straight line.
    if (m <= kNegligible) return solveTrigLinear(2 * d, 2 * e, f, out);

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

    // Keep only the roots that satisfy the quartic, in their order. A residual
    // that is not a number fails the test as well.
    int kept = 0;
    for (int i = 0; i < found; ++i) {
        const double r = roots[i];
        const double residual = (((r + p3) * r + p2) * r + p1) * r + p0;
        if (std::fabs(residual) <= kNegligible) roots[kept++] = r;
    }

    int count = 0;
    for (int i = 0; i < kept; ++i) {
        const double x = roots[i];
        const double g = c * x + e;
        if (std::fabs(g) > kNegligible) {
            out.x[count] = x;
            out.y[count] = -((2 * d + l * x) * x + f) / (2 * g);
            ++count;
            continue;
        }

        // y is not fixed by x here: the conic is a pair of lines. Rebuild the
        // whole solution set from the two lines.
        if (std::fabs(c) > kNegligible) {
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
