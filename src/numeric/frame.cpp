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

Frame frameInverse(const Frame& A) {
    Frame B;
    // B's axes are the rows of A's rotation.
    B.X = {A.X.x, A.Y.x, A.Z.x};
    B.Y = {A.X.y, A.Y.y, A.Z.y};
    B.Z = {A.X.z, A.Y.z, A.Z.z};
    // Origin i = -(A's axis i . A's origin), with B[i] = A axis i x-component.
    B.O = {(-B.X.x) * A.O.x - B.Y.x * A.O.y - B.Z.x * A.O.z,
           (-B.X.y) * A.O.x - B.Y.y * A.O.y - B.Z.y * A.O.z,
           (-B.X.z) * A.O.x - B.Y.z * A.O.y - B.Z.z * A.O.z};
    return B;
}

}  // namespace kin
