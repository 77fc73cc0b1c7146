//! The constants of the closed forms' equations, formed once per arm from
//! its link frames and what classification found.

#include <cmath>
#include <limits>

#include "numeric/frame.hpp"
#include "solver/internal.hpp"

namespace kin::solver {

namespace {

//! The turn about Z of the xy-part of v.
JointTrig planarTrig(const Vec3& v) {
    const double h = std::sqrt(v.x * v.x + v.y * v.y);
    return h > 0.0 ? JointTrig{v.x / h, v.y / h} : JointTrig{};
}

//! |A + Rz(phi) w|^2 in the plane = (A.A + w.w) + a cos phi + b sin phi.
CosSinEquation planarReach(const Vec3& A, const Vec3& w) {
    return cosSinEquation(2.0 * (A.x * w.x + A.y * w.y), 2.0 * (A.y * w.x - A.x * w.y));
}

}  // namespace

void deriveClosedForms(SolverModel& m) {
    const std::array<Frame, kMaxJoints>& L = m.model.linkFrames;
    ClosedFormConstants& k = m.closed;
    const Vec3& u = L[5].Z;  // axis 5 in joint frame 4
    k.wristTilt = cosSinEquation(L[4].X.z * u.x + L[4].Y.z * u.y, L[4].Y.z * u.x - L[4].X.z * u.y);
    k.tiltOffset = L[4].Z.z * u.z;
    k.shoulderReach = planarReach(L[2].O, m.wristCentreArm);
    k.elbowReach = planarReach(L[2].O, L[3].O);
    const Vec3& n = L[1].Z;
    k.shoulderHeight = dot3(n, frameApplyPoint(frameMul(L[1], L[2]), m.wristCentreArm));
    const Frame zero3 = frameMul(frameMul(L[1], L[2]), L[3]);
    const Frame zero5 = frameMul(frameMul(zero3, L[4]), L[5]);
    k.meetHeight = dot3(n, frameApplyPoint(zero5, m.axisMeetLast));
    k.turn2 = std::atan2(L[2].X.y, L[2].X.x);
    k.turn2Trig = planarTrig(L[2].X);
    k.turn3Trig = planarTrig(L[3].X);

    // Joint k's origin lies within the sum of the link offsets after joint
    // 0 of joint 0's origin when joints 0..k all turn. The wrist axes pass
    // (to the classification's tolerance) through the wrist centre, axes 4
    // and 5 through their meeting point: both fixed to the tool.
    const double room = 1e-8 * m.scale;
    double along = 0.0;
    for (int j = 0; j < 6; ++j) {
        if (j > 0) along += vecNorm(L[j].O);
        if (m.model.jointTypes[j] != 'R') along = std::numeric_limits<double>::infinity();
        k.columnReach[j] = {1.0, along + room};
    }
    const bool spherical = m.kind == WristKind::Spherical;
    if (spherical || m.kind == WristKind::ParallelAxes) {
        const Vec3& fixed = spherical ? m.wristCentreLast : m.axisMeetLast;
        const double reach = vecNorm(sub3(m.toolPoint, fixed)) + room;
        for (int j = spherical ? 3 : 4; j < 6; ++j) k.columnReach[j] = {0.0, reach};
    }
}

}  // namespace kin::solver
