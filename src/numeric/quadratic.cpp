#include <cmath>

#include "numeric/polynomial.hpp"
#include "numeric/tolerances.hpp"

namespace kin {

int solveQuadratic(double p, double q, std::span<double, 2> roots) {
    // A negligible constant term: x*(x + 2p) = 0, the zero root second.
    if (!(std::fabs(q) > ikEps)) {
        roots[0] = -p - p;
        roots[1] = 0.0;
        return 2;
    }
    const double dd = p * p - q;
    if (dd < 0.0) {
        roots[0] = -p;
        roots[1] = std::sqrt(-dd);
        return 0;
    }
    // The root of larger magnitude without cancellation, the other from the
    // product of the roots (q is not negligible, so roots[0] is not zero).
    if (p > 0.0) {
        roots[0] = (-p) - std::sqrt(dd);
    } else {
        roots[0] = std::sqrt(dd) + (-p);
    }
    roots[1] = q / roots[0];
    return 2;
}

}  // namespace kin
