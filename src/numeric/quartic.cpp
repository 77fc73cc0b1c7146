#include <array>
#include <cmath>
#include <utility>

#include "numeric/polynomial.hpp"
#include "numeric/tolerances.hpp"

namespace kin {

namespace {

//! One real root Y = e1 + e2 of the resolvent cubic
//! y^3 - b*y^2 + R1*y + R2 = 0, chosen so that the quartic splits into real
//! quadratic factors where it can (Y >= R0 and Y^2/4 >= d).
double resolventRoot(double b, double R0, double R1, double R2) {
    std::array<double, 3> y{};
    int m = 0;
    double Y = 0.0;

    if (std::fabs(R2) <= ikEps) {
        // y*(y^2 - b*y + R1) = 0.
        y[0] = 0.0;
        if (solveQuadratic(-b * 0.5, R1, std::span<double, 3>(y).subspan<1, 2>()) == 0) {
            Y = 0.0;
            m = 1;
        } else {
            m = 3;
        }
    } else {
        // Depressed resolvent z^3 + 3p*z + 2q = 0 with y = z + s.
        const double s = b / 3.0;
        const double s2 = s * s;
        const double fs = std::fabs(s);
        double p = R1 / 3.0 - s2;
        const double q = ((R1 - s2 - s2) * s + R2) * 0.5;
        if (std::fabs(p) * 710000 < s2) p = 0.0;

        if (s2 * fs > 710000 * std::fabs(q)) {
            // q negligible: z = 0, and z = +-sqrt(-3p) when p < 0.
            if (p >= 0.0) {
                Y = s;
                m = 1;
            } else {
                const double k = std::sqrt(-3.0 * p);
                y[0] = s;
                y[1] = s - k;
                y[2] = s + k;
                m = 3;
            }
        } else {
            const double p2 = p * p;
            double D = p2 * p / (q * q) + 1.0;
            if (std::fabs(D) < 1.4e-06) D = 0.0;
            if (D > 0.0) {
                // One real root by Cardano's formula.
                const double w = cubeRoot((std::sqrt(D) + 1.0) * q);
                const double v = p / w;
                double z = 0.0;
                if (q < 0.0) {
                    z = v - w;
                } else {
                    const double w2 = w * w;
                    z = ((-q - q) * w2) / ((w2 + p) * w2 + p2);
                }
                Y = z + s;
                const double u = -0.5 * z + s;  // real part of the pair
                // A real root small beside the shift: from the product of
                // the roots, over the squared modulus of the pair.
                if (std::fabs(Y) * 10.0 < fs) {
                    Y = -R2 / (u * u + ((v + w) * (v + w)) * 0.75);
                }
                // A nearly real pair whose real part gives real factors.
                if (Y < R0 && D < 2.24e-05) Y = u;
                m = 1;
            } else {
                // Three real roots, trigonometric form (a double root at D = 0).
                const double phi = std::atan(std::sqrt(-D)) / 3.0;
                double mm = std::sqrt(-p);
                if (q >= 0.0) mm = -mm;
                const double c1 = std::cos(phi) * mm;
                const double s1 = std::sin(phi) * mm * 1.732051;
                y[0] = (s + c1) + c1;
                y[1] = (s - c1) - s1;
                y[2] = (s - c1) + s1;
                m = 3;
            }
        }
    }

    if (m == 3) {
        // The largest root, or the smallest when every root is at least R0
        // and the smallest is the larger in magnitude.
        Y = y[0];
        if (y[1] > Y) Y = y[1];
        if (y[2] > Y) Y = y[2];
        double Ymin = y[0];
        if (y[1] < Ymin) Ymin = y[1];
        if (y[2] < Ymin) Ymin = y[2];
        if (!(Ymin < R0) && std::fabs(Y) < std::fabs(Ymin)) Y = Ymin;
    }
    return Y;
}

//! The coefficients of x^4 + a*x^3 + b*x^2 + c*x + d
//! = (x^2 + g1*x + e1)*(x^2 + g2*x + e2).
struct QuadFactors {
    double g1 = 0.0;
    double e1 = 0.0;
    double g2 = 0.0;
    double e2 = 0.0;
};

//! Factors for Y = e1 + e2 = 0: e1*e2 = d and g1 + g2 = a, g1*g2 = b.
QuadFactors factorsAtZero(double a, double b, double c, double d) {
    QuadFactors f;
    if (d < 0.0) {
        f.e1 = std::sqrt(-d);
        f.e2 = -f.e1;
    }
    if (b == 0.0) {
        if (a * c < 0.0) {
            f.g1 = a;
            f.g2 = 0.0;
        } else {
            f.g1 = 0.0;
            f.g2 = a;
        }
        return f;
    }
    const double h = a * 0.5;
    double t = h * h - b;
    if (t < 0.0) {
        f.g1 = h;
        f.g2 = h;
        return f;
    }
    // hh: the root of larger magnitude of g^2 - a*g + b = 0, b/hh the other;
    // g2 is the larger of the two exactly when c >= 0.
    t = std::sqrt(t);
    if (h < 0.0) {
        const double hh = h - t;
        if (c < 0.0) {
            f.g1 = b / hh;
            f.g2 = hh;
        } else {
            f.g1 = hh;
            f.g2 = b / hh;
        }
    } else {
        const double hh = h + t;
        if (c >= 0.0) {
            f.g1 = b / hh;
            f.g2 = hh;
        } else {
            f.g1 = hh;
            f.g2 = b / hh;
        }
    }
    return f;
}

//! e1, e2 as the roots of e^2 - Y*e + d = 0 (with hy = Y/2 and E = hy^2 - d
//! not negative), the one of larger magnitude first.
void constantTerms(double Y, double hy, double E, double d, QuadFactors& f) {
    const double sE = std::sqrt(E);
    f.e1 = Y >= 0.0 ? hy + sE : hy - sE;
    f.e2 = f.e1 != 0.0 ? d / f.e1 : Y;
}

//! Factors for a resolvent root Y that is not zero.
QuadFactors factorsAt(double Y, double a, double b, double c, double d) {
    QuadFactors f;
    const double hy = Y * 0.5;
    const double hy2 = hy * hy;
    double E = hy2 - d;
    if (!(E * 10000 < hy2)) {
        // e1 and e2 well apart: constant terms first, then the linear ones
        // from g1 + g2 = a and g1*e2 + g2*e1 = c.
        constantTerms(Y, hy, E, d, f);
        const double den = f.e1 - f.e2;
        f.g1 = (a * f.e1 - c) / den;
        f.g2 = (c - a * f.e2) / den;
        return f;
    }
    // e1 and e2 nearly equal: the linear terms first, from g1 + g2 = a and
    // g1*g2 = b - Y.
    const double G = b - Y;
    const double h = a * 0.5;
    const double h2 = h * h;
    double F = h2 - G;
    if (F < 0.0) F = 0.0;
    const double sF = std::sqrt(F);
    f.g1 = h >= 0.0 ? h + sF : h - sF;
    f.g2 = f.g1 != 0.0 ? G / f.g1 : a;
    if ((std::fabs(Y) + h2) + std::fabs(b) <= F * 10000) {
        const double den = f.g1 - f.g2;
        f.e1 = (f.g1 * Y - c) / den;
        f.e2 = (c - f.g2 * Y) / den;
        return f;
    }
    // g1 and g2 nearly equal too: take e1, e2 from Y and d and pick the
    // pairing of g with e that better reproduces c.
    if (E < 0.0) E = 0.0;
    constantTerms(Y, hy, E, d, f);
    const double err1 = std::fabs((f.g1 * f.e2 + f.e1 * f.g2) - c);
    const double err2 = std::fabs((f.g2 * f.e2 + f.e1 * f.g1) - c);
    if (err2 <= err1) std::swap(f.g1, f.g2);
    return f;
}

}  // namespace

int solveQuartic(double a, double b, double c, double d, std::span<double, 4> roots) {
    // A negligible constant term: x*(x^3 + a*x^2 + b*x + c) = 0.
    if (std::fabs(d) <= ikEps) {
        roots[0] = 0.0;
        return solveCubic(a, b, c, roots.subspan<1, 3>()) + 1;
    }

    // Ferrari's resolvent y^3 - b*y^2 + R1*y + R2 = 0, and R0, the least Y
    // for which the linear terms of the factors are real.
    const double d4 = d * 4.0;
    const double c2 = c * c;
    const double aad = (a * a) * d;
    const double R1 = a * c - d4;
    const double R2 = (b * d4 - c2) - aad;
    const double R0 = b - (a * a) / 4.0;

    const double Y = resolventRoot(b, R0, R1, R2);
    const QuadFactors f = Y == 0.0 ? factorsAtZero(a, b, c, d) : factorsAt(Y, a, b, c, d);

    // Real roots first: a complex pair of the first factor moves behind
    // whatever the second factor writes at the front.
    const int na = solveQuadratic(f.g1 * 0.5, f.e1, roots.subspan<0, 2>());
    if (na == 0) {
        roots[2] = roots[0];
        roots[3] = roots[1];
    }
    const int nb = solveQuadratic(f.g2 * 0.5, f.e2, std::span<double, 2>(roots.data() + na, 2));
    return na + nb;
}

}  // namespace kin
