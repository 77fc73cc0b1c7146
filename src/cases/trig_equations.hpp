#pragma once
//! Equation solvers shared by the case solvers: points (x, y) = (cos, sin)
//! of one unknown angle, and a quadratic whose leading terms may vanish.
//! "Negligible" means an absolute value <= 1e-8.

#include <array>

namespace kin {

//! Up to four points on the unit circle.
struct CirclePoints {
    std::array<double, 4> x{};
    std::array<double, 4> y{};
};

//! a*x + b*y + c = 0 on the unit circle. Returns 2 (points 0 and 1, equal
//! when tangent), 0 (none), or -1 (every angle; nothing written).
int solveTrigLinear(double a, double b, double c, CirclePoints& out);

//! (a - b)*x^2 + 2c*x*y + 2d*x + 2e*y + f = 0 on the unit circle. For the
//! conic A x^2 + B y^2 + 2C xy + 2D x + 2E y + F pass (A, B, C, D, E, F + B).
//! Returns the number of points written (0..4), or -1 when it reduces to a
//! linear equation that every angle satisfies. The cosines are the real
//! roots of a quartic that pass a residual test (1e-8, monic); roots of the
//! closed form that miss it, and complex pairs close to the real axis, are
//! refined first. A conic whose coefficients are all below 1 is judged
//! degenerate at unit scale.
int solveTrigConic(double a, double b, double c, double d, double e, double f,
                   CirclePoints& out);

//! a*t^2 + 2b*t + c = 0. Returns 2, 1 (t[0] only), 0, or -1 (all
//! coefficients negligible).
int solveQuadraticFull(double a, double b, double c, std::array<double, 2>& t);

}  // namespace kin
