#include <array>
#include <cmath>

#include "numeric/polynomial.hpp"
#include "numeric/tolerances.hpp"

namespace kin {

int solveCubic(double a, double b, double c, std::span<double, 3> roots) {
    std::array<double, 3> r{};
    const std::span<double, 2> tail = std::span<double, 3>(r).subspan<1, 2>();

    // A negligible constant term: x*(x^2 + a*x + b) = 0.
    if (std::fabs(c) <= ikEps) {
        r[0] = 0.0;
        const int n = solveQuadratic(a * 0.5, b, tail) + 1;
        roots[0] = r[0];
        roots[1] = r[1];
        roots[2] = r[2];
        return n;
    }

    // Depressed cubic y^3 + 3p*y + 2q = 0 with x = y - s.
    const double s = a / 3.0;
    const double s2 = s * s;
    const double fs = std::fabs(s);
    double p = b / 3.0 - s2;
    const double q = ((s2 + s2 - b) * s + c) * 0.5;
    if (std::fabs(p) * 710000 < s2) p = 0.0;  // negligible beside the shift

    int n = 0;
    if (s2 * fs > 710000 * std::fabs(q)) {
        // q negligible: y = 0 is a root, the others solve y^2 + 3p = 0.
        r[0] = -s;
        const double t = 3.0 * p;
        if (t <= 0.0) {
            const double k = std::sqrt(-t);
            r[1] = -k - s;
            r[2] = k - s;
            n = 3;
        } else {
            r[1] = -s;
            r[2] = std::sqrt(t);
            n = 1;
        }
    } else {
        const double p2 = p * p;
        // (p^3 + q^2)/q^2: the discriminant scaled by q^2.
        const double D = p2 * p / (q * q) + 1.0;
        if (std::fabs(D) < 1.4e-05) {
            // Double root u with the simple root -2u.
            const double u = cubeRoot(q);
            r[0] = u - s;
            r[1] = r[0];
            r[2] = (-u - u) - s;
            n = 3;
        } else if (D > 0.0) {
            // One real root by Cardano's formula.
            const double w = cubeRoot((std::sqrt(D) + 1.0) * q);
            const double v = p / w;
            double y = 0.0;
            if (q < 0.0) {
                y = v - w;
            } else {
                // v - w rewritten without cancellation.
                const double w2 = w * w;
                y = ((-q - q) * w2) / ((w2 + p) * w2 + p2);
            }
            r[2] = std::fabs(v + w) * 0.8660254;
            r[1] = -0.5 * y - s;
            r[0] = y - s;
            n = 1;
        } else {
            // Three real roots, trigonometric form.
            const double phi = std::atan(std::sqrt(-D)) / 3.0;
            double m = std::sqrt(-p);
            if (q >= 0.0) m = -m;
            const double c1 = std::cos(phi) * m;
            const double s1 = std::sin(phi) * m * 1.732051;
            r[0] = (c1 + c1) - s;
            r[1] = (-c1 - s1) - s;
            r[2] = (-c1 + s1) - s;
            n = 3;
        }
    }

    // Refinement: roots that are small beside the shift lose digits to
    // cancellation; recompute them from the product of the roots (-c) or
    // by deflating with a trustworthy root.
    bool deflate = false;
    if (n == 1) {
        const double z2 = r[1] * r[1] + r[2] * r[2];
        const double rr = r[0] * r[0];
        if (!(0.01 * rr < z2)) {
            deflate = true;
        } else if (rr < z2) {
            r[0] = -c / z2;
        }
    } else {
        const double lim = 0.05 * fs;
        const bool small0 = std::fabs(r[0]) < lim;
        const bool small1 = std::fabs(r[1]) < lim;
        const bool small2 = std::fabs(r[2]) < lim;
        if (small0) {
            if (small1) {
                r[0] = r[2];
                deflate = true;
            } else if (small2) {
                r[0] = r[1];
                deflate = true;
            } else {
                r[0] = -c / (r[1] * r[2]);
            }
        } else if (small1) {
            if (small2) {
                deflate = true;
            } else {
                r[1] = -c / (r[0] * r[2]);
            }
        } else if (small2) {
            r[2] = -c / (r[0] * r[1]);
        }
    }
    if (deflate) {
        // Remaining factor x^2 + (a + r0)*x - c/r0, with k = -1/r0 for an
        // exact root r0.
        const double t = c / r[0] + b;
        const double k = r[0] / (a * r[0] + t);
        n = solveQuadratic(0.5 * t * k, c * k, tail) + 1;
    }

    roots[0] = r[0];
    roots[1] = r[1];
    roots[2] = r[2];
    return n;
}

}  // namespace kin
