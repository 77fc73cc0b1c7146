#include "numeric/frame.hpp"

#include <cmath>

namespace kin {

double vecNorm(const double* v, int n) {
    double sum = 0.0;
    for (int i = 0; i < n; ++i) sum = v[i] * v[i] + sum;
    return std::sqrt(sum);
}

AxesFault axesFault(const Axes& a, double tolerance) {
    for (const Vec3* v : {&a.X, &a.Y, &a.Z}) {
        if (!(std::fabs(std::sqrt(dot3(*v, *v)) - 1.0) <= tolerance)) return AxesFault::NotUnit;
    }
    if (!(std::fabs(dot3(a.X, a.Y)) <= tolerance) || !(std::fabs(dot3(a.Y, a.Z)) <= tolerance) ||
        !(std::fabs(dot3(a.Z, a.X)) <= tolerance))
        return AxesFault::NotOrthogonal;
    const Vec3 c = cross3(a.X, a.Y);
    if (!(std::fabs(c.x - a.Z.x) <= tolerance && std::fabs(c.y - a.Z.y) <= tolerance &&
          std::fabs(c.z - a.Z.z) <= tolerance))
        return AxesFault::NotRightHanded;
    return AxesFault::None;
}

}  // namespace kin
