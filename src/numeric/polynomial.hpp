#pragma once
//! Real cube root and closed-form solvers for monic quadratics, cubics and
//! quartics.
//!
//! Root layout (all solvers): the real roots first, then each complex pair
//! u +- i*v left over as two doubles, u then v (v >= 0). Roots are not
//! sorted; a double root is stored twice. No solver keeps state, prints,
//! allocates or fails; non-finite input passes through the formulas.

#include <span>

namespace kin {

//! The real cube root of x: a power, then one Halley step.
double cubeRoot(double x);

//! x^2 + 2p*x + q = 0. Returns 2 (two real roots) or 0 (a complex pair).
//! A q with |q| <= 1e-8 is taken as zero, and the zero root comes second.
int solveQuadratic(double p, double q, std::span<double, 2> roots);

//! x^3 + a*x^2 + b*x + c = 0. Returns 3 (three real roots) or 1 (one real
//! root, then the pair).
int solveCubic(double a, double b, double c, std::span<double, 3> roots);

//! x^4 + a*x^3 + b*x^2 + c*x + d = 0 by Ferrari's method. Returns the number
//! of real roots at the front: 0, 2 or 4.
int solveQuartic(double a, double b, double c, double d, std::span<double, 4> roots);

}  // namespace kin
