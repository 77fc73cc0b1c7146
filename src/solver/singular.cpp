//! The singular test of a solution: the Jacobian's volume ratio below the
//! tolerance. For the closed-form families the determinant factors into
//! two 3x3 determinants, which settle almost every pose without the 6x6
//! elimination; only a pose near the tolerance takes it.

#include <cmath>

#include "numeric/frame.hpp"
#include "solver/chain.hpp"

namespace kin::solver {

namespace {

double det3(const Vec3& a, const Vec3& b, const Vec3& c) { return dot3(a, cross3(b, c)); }

//! The linear part of joint k's column, taken about point x.
Vec3 linearAbout(const SolverModel& m, const ChainPose& c, int k, const Vec3& x) {
    const Frame& F = c.joint[k];
    return m.model.jointTypes[k] == 'R' ? cross3(F.Z, sub3(x, F.O)) : F.X;
}

//! det J from its factors, or NaN when the arm has none. Moving the point
//! the linear parts are taken about does not change the determinant.
//! Spherical wrist, about the wrist centre: the wrist's linear parts vanish,
//! so det J = det(arm's linear parts) det(wrist axes). Three parallel axes
//! n, about the point where axes 4 and 5 meet: subtracting column 3 from
//! columns 1 and 2 leaves them purely linear and at right angles to n, as
//! is column 3's linear part, so det J = det(linear parts of 1 - 3, 2 - 3,
//! 0) det(n, axis 4, axis 5).
double factoredDeterminant(const SolverModel& m, const ChainPose& c) {
    switch (m.kind) {
    case WristKind::Spherical: {
        const Vec3 w = frameApplyPoint(c.joint[2], m.wristCentreArm);
        return det3(linearAbout(m, c, 0, w), linearAbout(m, c, 1, w), linearAbout(m, c, 2, w)) *
               det3(c.joint[3].Z, c.joint[4].Z, c.joint[5].Z);
    }
    case WristKind::ParallelAxes: {
        const Vec3 x = frameApplyPoint(c.joint[5], m.axisMeetLast);
        const Vec3 v3 = linearAbout(m, c, 3, x);
        return det3(sub3(linearAbout(m, c, 1, x), v3), sub3(linearAbout(m, c, 2, x), v3),
                    linearAbout(m, c, 0, x)) *
               det3(c.joint[1].Z, c.joint[4].Z, c.joint[5].Z);
    }
    case WristKind::SlidingArm:
    case WristKind::Elimination:
    case WristKind::General: break;
    }
    return std::nan("");
}

}  // namespace

bool singularAt(const SolverModel& m, const ChainPose& c, double tolerance) {
    const double det = factoredDeterminant(m, c);
    if (!std::isnan(det)) {
        // The product of the squared column norms of J (linear parts about
        // the tool point).
        double norms2 = 1.0;
        for (int k = 0; k < 6; ++k) {
            const Frame& F = c.joint[k];
            if (m.model.jointTypes[k] == 'R') {
                const Vec3 v = cross3(F.Z, sub3(c.toolPos, F.O));
                norms2 *= dot3(v, v) + dot3(F.Z, F.Z);
            } else {
                norms2 *= dot3(F.X, F.X);
            }
        }
        // The factors hold exactly for the ideal geometry; the model admits
        // axes off by 1e-10 of the arm's size, which moves the ratio by less
        // than 1e-9 of it. Well clear of the tolerance the answer is known.
        const double clear = 2.0 * tolerance + 1e-8 * m.scale;
        if (norms2 > 0.0 && det * det >= clear * clear * norms2) return false;
    }
    Jacobian J;
    jacobian(m, c, J);
    return volumeRatio(J) < tolerance;
}

}  // namespace kin::solver
