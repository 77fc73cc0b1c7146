#include "numeric/euler.hpp"

#include <cmath>

namespace kin {

Axes eulerToAxes(const EulerZYZ& E) {
    const double cf = std::cos(E.phi);
    const double sf = std::sin(E.phi);
    const double ct = std::cos(E.theta);
    const double st = std::sin(E.theta);
    const double cp = std::cos(E.psi);
    const double sp = std::sin(E.psi);
    Axes A;
    A.X = {cf * ct * cp - sf * sp, sf * ct * cp + cf * sp, (-st) * cp};
    A.Y = {(-cf) * ct * sp - sf * cp, (-sf) * ct * sp + cf * cp, st * sp};
    A.Z = {cf * st, sf * st, ct};
    return A;
}

EulerZYZ axesToEuler(const Vec3& X, const Vec3& Y, const Vec3& Z) {
    const double s = std::sqrt(Z.x * Z.x + Z.y * Z.y);
    if (s > 1e-6) {
        return {std::atan2(Z.y, Z.x), std::atan2(s, Z.z), std::atan2(Y.z, -X.z)};
    }
    // Vertical Z axis (or NaN): the turn about it is all psi. The constant
    // for pi/2 is 1.570796327, ten significant digits.
    return {0.0, (1.0 - Z.z) * 1.570796327, std::atan2(X.y, Y.y)};
}

}  // namespace kin
