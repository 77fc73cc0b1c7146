#include <cmath>

#include "numeric/polynomial.hpp"

namespace kin {

double cubeRoot(double x) {
    if (x == 0.0) return 0.0;
    const double m = std::fabs(x);
    const double r = std::pow(m, 1.0 / 3.0);
    // One Halley step for y^3 = m: y = r*(r^3 + 2m)/(2r^3 + m).
    double t = (2.0 * r) * r + m / r;
    t = (3.0 * m) / t;
    const double y = (r + t) * 0.5;
    return x < 0.0 ? -y : y;
}

}  // namespace kin
