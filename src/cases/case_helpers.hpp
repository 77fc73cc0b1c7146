#pragma once
//! Pieces shared by the case solvers (internal to cases/).

#include <cmath>

#include "cases/case_solvers.hpp"
#include "numeric/tolerances.hpp"

namespace kin::detail {

//! u(theta2) = cos*Uc + sin*Us + Uk for a turning joint 2 (componentwise
//! from w and link frame 2).
struct TurningJoint2 {
    Vec3 Uc, Us, Uk;
};

inline TurningJoint2 turningJoint2(const Frame& L2, const Vec3& w) {
    TurningJoint2 t;
    t.Uc = {w.x * L2.X.x + w.y * L2.Y.x, w.x * L2.X.y + w.y * L2.Y.y, w.x * L2.X.z + w.y * L2.Y.z};
    t.Us = {w.x * L2.Y.x - w.y * L2.X.x, w.x * L2.Y.y - w.y * L2.X.y, w.x * L2.Y.z - w.y * L2.X.z};
    t.Uk = {w.z * L2.Z.x + L2.O.x, w.z * L2.Z.y + L2.O.y, w.z * L2.Z.z + L2.O.z};
    return t;
}

//! Columns of posCoef: V(theta0) = cos*Vc + sin*Vs + Vk.
struct TurningJoint0 {
    Vec3 Vc, Vs, Vk;
};

inline TurningJoint0 turningJoint0(const StageOneCoefficients& s1) {
    const auto& a = s1.posCoef;
    return {{a[0][0], a[1][0], a[2][0]}, {a[0][1], a[1][1], a[2][1]}, {a[0][2], a[1][2], a[2][2]}};
}

//! Planar-rotation rule: the turn theta1 about joint 1's Z axis that carries
//! (ux, uy) onto (vx, vy). False (no candidate) when u is within sqrt(eps)
//! of the axis.
inline bool planarRotation(double ux, double uy, double vx, double vy, double& theta1,
                           double eps = ikEps) {
    const double n = ux * ux + uy * uy;
    if (!(n > eps)) return false;
    const double c = (vx * ux + vy * uy) / n;
    const double s = (vy * ux - vx * uy) / n;
    theta1 = std::atan2(s, c);
    return true;
}

}  // namespace kin::detail
